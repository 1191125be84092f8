#pragma once
// The game handed to the engine: the PGN game text (tag lines, an optional
// FEN tag, movetext with the piece letters of any of the five move-list
// languages), played through the chess core so that every move is known
// square by square and can be given to a UCI engine.
#include "chess/gamerecord.h"
#include "chess/position.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorel::rebeng {

// A position on the way through a game: the game record up to it (the rules
// need the move history for castling and the side to move) and the board.
class GameWalker {
  public:
    // The normal initial position.
    GameWalker();
    // A set-up position from an EPD or FEN text; false when it is not one.
    bool SetUp(std::string_view epd);

    const chess::TChessPosition& Position() const { return pos_; }
    const chess::TGameRecord& Record() const { return rec_; }
    int Ply() const { return rec_.CurrentPly; }
    bool WhiteToMove() const;
    // Every legal move of the side to move, long algebraic ("e2e4", "e7e8q").
    std::vector<std::string> LegalMoves() const;
    // Whether a described move (Describe) is legal here: the rules accept it
    // for the side to move and it does not leave that side's king attacked.
    bool IsLegal(const chess::TMoveRecord& move) const;
    // The side to move is in check.
    bool InCheck() const;

    // Plays a move given in long algebraic form when it is legal here. out
    // (may be null) gets the stored record: piece, capture, en passant,
    // promotion, disambiguation and check filled. False (nothing changed)
    // for an illegal move or a full game record.
    bool Play(const std::string& uci, chess::TMoveRecord* out = nullptr);
    // The move record uci would be on this position, without legality checks
    // (for the engine's own variations); false for malformed text.
    bool Describe(const std::string& uci, chess::TMoveRecord& out) const;
    // Plays a move of the engine's own variation without the legality test
    // (fast; disambiguation and check are not filled). False for malformed
    // text, an empty from-square or a full game record.
    bool PlayUnchecked(const std::string& uci, chess::TMoveRecord* out = nullptr);

  private:
    chess::TGameRecord rec_;
    chess::TChessPosition pos_;
};

// The FEN a UCI engine is given for a start position: castling letters only
// where king and rook stand on their squares, the en-passant square only
// where a pawn can just have passed it, and the two move counters.
std::string UciFen(const chess::TChessPosition& start);

// The text of a move on the position before it in the form of the analysis
// lines: piece letter (none for a pawn), from-square, "-" or "x", to-square,
// the promotion letter: "Ng1-f3", "e5xd6", "Ke1-g1" (castling), "e7-e8Q".
std::string LongMoveText(const chess::TMoveRecord& move);

// One half-move of the game.
struct GameMove {
    chess::TMoveRecord record; // as the game window stores it
    std::string uci;           // "e2e4"
    std::string san;           // English SAN ("Nf3", "O-O", "exd6")
    bool marked = false;       // followed by the mark "{*}"
    bool white = true;         // White made it
    int number = 1;            // the move number shown with it
};

// The first game of a PGN text.
struct GameText {
    bool analyseAll = false; // the text begins with the all-moves line [Event "ALL"]
    std::vector<std::pair<std::string, std::string>> tags; // in file order
    std::string fen;  // the FEN tag's value, "" for the normal start
    int language = 0; // move-list language whose piece letters the movetext used
    std::vector<GameMove> moves;

    // The value of the first tag of that name, "" when missing.
    std::string Tag(std::string_view name) const;
    // A walker at the start position.
    GameWalker Start() const;
    // A walker after the first plies half-moves (plies ≤ moves.size()).
    GameWalker After(size_t plies) const;
    // The UCI command that sets up the position after plies half-moves.
    std::string PositionCommand(size_t plies) const;
    // "12." for White's moves, "12..." for Black's.
    static std::string NumberText(const GameMove& m);
};

// Reads the first game of text (Windows-1252 or UTF-8; tag values are kept as
// bytes). False with a reason in why when the text holds no game or a move
// cannot be played in any of the five languages.
bool ReadGameText(std::string_view text, GameText& out, std::string& why);

// Parses a movetext token (move number, check and annotation signs already
// allowed) into a legal move of walker's position, using the piece letters of
// language. Returns the long algebraic move or "" when it names none.
std::string MatchSan(const GameWalker& walker, std::string_view token, int language);

} // namespace quorel::rebeng
