#pragma once
// The chess position of the main program (TChessPosition): one 34-byte board
// record holding 64 four-bit piece codes and a flag word, plus the squares,
// piece codes and the 42-byte move record every other part of the program
// exchanges with it. Qt-free; text is UTF-8.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorel::chess {

// ---------------------------------------------------------------------------
// Squares: rank × 10 + file, file 0..7 = a..h, rank 0..7 = 1..8 (a1 = 0,
// e1 = 4, h8 = 77). Anything below 0, above 77 or with units digit 8 or 9 is
// an edge square (off the board). Functions take squares as int so that
// arithmetic such as From + 10 never wraps.
using Square = int;

constexpr Square MakeSquare(int file, int rank) {
    return rank * 10 + file;
}
constexpr int FileOf(Square sq) {
    return sq % 10;
} // 0..7 on the board
constexpr int RankOf(Square sq) {
    return sq / 10;
} // 0..7 on the board
// True for every value that is not one of the 64 board squares.
constexpr bool IsEdgeSquare(Square sq) {
    return sq < 0 || sq > 77 || sq % 10 > 7;
}
// The board index rank × 8 + file (0..63) of a board square; -1 for an edge square.
constexpr int BoardIndex(Square sq) {
    return IsEdgeSquare(sq) ? -1 : RankOf(sq) * 8 + FileOf(sq);
}
// The square of board index 0..63.
constexpr Square SquareOfIndex(int index) {
    return MakeSquare(index % 8, index / 8);
}

// "e4" style name of a board square; "" for an edge square.
std::string SquareName(Square sq);
// Square from text: two characters such as "e4". The file letter a..h gives
// 0..7 (any other character gives file 0); the digit gives the rank (a
// character that is not 1..8 makes an edge square). Text shorter than two
// characters gives -1 (an edge square).
Square SquareFromText(std::string_view text);

// ---------------------------------------------------------------------------
// Piece codes: 0 empty; White 1..6, Black 7..12, in the order pawn, knight,
// bishop, rook, queen, king.
enum PieceCode : int {
    kEmpty = 0,
    kWhitePawn = 1,
    kWhiteKnight = 2,
    kWhiteBishop = 3,
    kWhiteRook = 4,
    kWhiteQueen = 5,
    kWhiteKing = 6,
    kBlackPawn = 7,
    kBlackKnight = 8,
    kBlackBishop = 9,
    kBlackRook = 10,
    kBlackQueen = 11,
    kBlackKing = 12,
};
constexpr bool IsWhitePiece(int piece) {
    return piece >= 1 && piece <= 6;
}
constexpr bool IsBlackPiece(int piece) {
    return piece >= 7 && piece <= 12;
}
// 1 pawn .. 6 king for either colour; 0 for an empty square or a bad code.
constexpr int PieceKind(int piece) {
    return IsWhitePiece(piece) ? piece : IsBlackPiece(piece) ? piece - 6 : 0;
}
// Kind 1..6 and colour → piece code.
constexpr int MakePiece(int kind, bool white) {
    return white ? kind : kind + 6;
}

// ---------------------------------------------------------------------------
// The board record: 34 bytes exactly as stored in the game file (field
// Board). Bytes 0..31 are 16 little-endian words of four nibbles (index
// 4w is the high nibble of byte 2w + 1, 4w + 1 its low nibble, 4w + 2 the high
// nibble of byte 2w, 4w + 3 its low nibble); bytes 32..33 the flag word: bit 0
// White may castle king-side, 1 White queen-side, 2 Black king-side, 3 Black
// queen-side, 4 White to move; byte 33 (the high byte) the en-passant square.
using TBoardRecord = std::array<uint8_t, 34>;
constexpr size_t kBoardRecordSize = 34;

// ---------------------------------------------------------------------------
// The 42-byte move record of the game file (record k = half-move k).
struct TMoveRecord {
    int8_t From = 0;                    // byte 0: square the piece leaves
    int8_t To = 0;                      // byte 1: square it reaches
    uint8_t Promotion = 0;              // byte 2: piece code of the promoted piece, 0 = none
    uint8_t Annotation = 0;             // byte 3: 0/1 none, 2 "#", 3 "!", 4 "!!", 5 "?", 6 "??",
                                        //         7 "?!", 8 "!?", 9 "*"
    uint8_t Piece = 0;                  // byte 4: piece code of the moving piece (before promotion)
    uint8_t Captured = 0;               // byte 5: captured piece code (0 for en passant)
    uint8_t Disambiguation = 0;         // byte 6: bit 0 write the from-file, bit 4 the from-rank
    uint8_t EnPassant = 0;              // byte 7: 1 = en-passant capture
    uint8_t Check = 0;                  // byte 8: 1 = the move gives check
    std::array<uint8_t, 9> Reserved9{}; // bytes 9..17, kept as read
    double Received = 0;                // bytes 18..25: date the opponent's previous move arrived
    double Replied = 0;                 // bytes 26..33: date this move was sent
    int8_t Penalization = 0;            // byte 34: days added to (negative: taken from) the time
    std::array<uint8_t, 7> Reserved35{}; // bytes 35..41, kept as read

    static constexpr size_t kSize = 42;
    // Writes the 42 bytes at p.
    void ToBytes(uint8_t* p) const;
    // Reads the 42 bytes at p (no date conversion).
    static TMoveRecord FromBytes(const uint8_t* p);
    bool operator==(const TMoveRecord&) const = default;
};

// Bits of TMoveRecord::Disambiguation.
constexpr uint8_t kDisambiguateFile = 0x01; // the from-file letter is written
constexpr uint8_t kDisambiguateRank = 0x10; // the from-rank digit is written

// ---------------------------------------------------------------------------
class TChessPosition {
  public:
    // A new position is the initial position (Initialize).
    TChessPosition() { Initialize(); }
    // Builds a position from a board record as is.
    explicit TChessPosition(const TBoardRecord& board) : board_(board) {}

    // The initial position: all four castling flags set, White to move, no
    // en-passant square.
    void Initialize();

    // The whole 34-byte board record.
    const TBoardRecord& GetBoard() const { return board_; }
    // Replaces the whole board record (no checks).
    void SetBoard(const TBoardRecord& board) { board_ = board; }
    // The board record (same content as GetBoard).
    TBoardRecord GetNormalizedBoard() const { return board_; }

    // Set or clear one flag bit.
    void SetWhiteCanCastleKingside(bool on) { SetFlag(0x01, on); }
    void SetWhiteCanCastleQueenside(bool on) { SetFlag(0x02, on); }
    void SetBlackCanCastleKingside(bool on) { SetFlag(0x04, on); }
    void SetBlackCanCastleQueenside(bool on) { SetFlag(0x08, on); }
    void SetWhiteOnMove(bool on) { SetFlag(0x10, on); }
    // Stores sq in the high byte of the flag word (0 = none); an edge square stores 0.
    void SetEnPassantSquareTo(Square sq);

    bool WhiteCanCastleKingside() const { return board_[32] & 0x01; }
    bool WhiteCanCastleQueenside() const { return board_[32] & 0x02; }
    bool BlackCanCastleKingside() const { return board_[32] & 0x04; }
    bool BlackCanCastleQueenside() const { return board_[32] & 0x08; }
    bool WhiteOnMove() const { return board_[32] & 0x10; }
    // The en-passant square (the square a capturing pawn moves to), 0 = none.
    Square EnPassantSquare() const { return board_[33]; }

    // True for an edge square (off the board).
    static bool EdgeSquare(Square sq) { return IsEdgeSquare(sq); }
    // Piece code on sq; 0 for an edge square.
    int PieceOnSquare(Square sq) const;
    // Writes the nibble of sq (piece & 15); an edge square is ignored.
    void PutPieceOnSquare(int piece, Square sq);
    // True when sq holds a piece (false for an edge square).
    bool SomethingOn(Square sq) const { return PieceOnSquare(sq) != 0; }

    // The EPD text: placement, side, castling, en-passant, followed by one
    // blank ("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - ").
    std::string GetEPDString() const;
    // Reads an EPD (or FEN: fields after the en-passant field are ignored)
    // onto this position and, on success, copies the board record to out.
    // On failure out is untouched, the result is false and the squares
    // already placed stay on this position.
    bool MakeBoardFromEPD(std::string_view text, TBoardRecord& out);

    bool operator==(const TChessPosition&) const = default;

  private:
    void SetFlag(uint8_t bit, bool on) {
        board_[32] = on ? uint8_t(board_[32] | bit) : uint8_t(board_[32] & ~bit);
    }
    TBoardRecord board_{};
};

} // namespace quorel::chess
