// TChessPosition: the 34-byte board record, its EPD text, squares and the
// 42-byte move record.
#include "chess/position.h"

#include "platform/binary.h"

#include <cstring>

namespace quorel::chess {

std::string SquareName(Square sq) {
    if (IsEdgeSquare(sq)) return "";
    return std::string{char('a' + FileOf(sq)), char('1' + RankOf(sq))};
}

Square SquareFromText(std::string_view text) {
    if (text.size() < 2) return -1;
    int file = (text[0] >= 'a' && text[0] <= 'h') ? text[0] - 'a' : 0;
    int rank = text[1] - '1';
    if (rank < 0 || rank > 7) return -1;
    return MakeSquare(file, rank);
}

void TMoveRecord::ToBytes(uint8_t* p) const {
    p[0] = uint8_t(From);
    p[1] = uint8_t(To);
    p[2] = Promotion;
    p[3] = Annotation;
    p[4] = Piece;
    p[5] = Captured;
    p[6] = Disambiguation;
    p[7] = EnPassant;
    p[8] = Check;
    std::memcpy(p + 9, Reserved9.data(), Reserved9.size());
    PutDouble(p + 18, Received);
    PutDouble(p + 26, Replied);
    p[34] = uint8_t(Penalization);
    std::memcpy(p + 35, Reserved35.data(), Reserved35.size());
}

TMoveRecord TMoveRecord::FromBytes(const uint8_t* p) {
    TMoveRecord m;
    m.From = int8_t(p[0]);
    m.To = int8_t(p[1]);
    m.Promotion = p[2];
    m.Annotation = p[3];
    m.Piece = p[4];
    m.Captured = p[5];
    m.Disambiguation = p[6];
    m.EnPassant = p[7];
    m.Check = p[8];
    std::memcpy(m.Reserved9.data(), p + 9, m.Reserved9.size());
    m.Received = GetDouble(p + 18);
    m.Replied = GetDouble(p + 26);
    m.Penalization = int8_t(p[34]);
    std::memcpy(m.Reserved35.data(), p + 35, m.Reserved35.size());
    return m;
}

namespace {
// Byte and shift of the nibble of board index i (0..63): word w = i div 4
// occupies bytes 2w (low) and 2w + 1 (high); i mod 4 = 0 is bits 12..15.
struct NibbleAt {
    int byte;
    int shift;
};
constexpr NibbleAt Locate(int i) {
    const int w = i / 4;
    switch (i % 4) {
    case 0:
        return {2 * w + 1, 4};
    case 1:
        return {2 * w + 1, 0};
    case 2:
        return {2 * w, 4};
    default:
        return {2 * w, 0};
    }
}

constexpr char kPieceLetters[] = " PNBRQKpnbrqk";

int PieceOfLetter(char c) {
    for (int p = 1; p <= 12; ++p)
        if (kPieceLetters[p] == c) return p;
    return 0;
}

// The text up to the first blank, and what follows that blank. has_rest is
// false when there is no blank (the text ran out).
struct Split {
    std::string_view field, rest;
    bool has_rest;
};
Split SplitField(std::string_view text) {
    size_t b = text.find(' ');
    if (b == std::string_view::npos) return {text, {}, false};
    return {text.substr(0, b), text.substr(b + 1), true};
}
} // namespace

void TChessPosition::Initialize() {
    board_.fill(0);
    static constexpr int kBackRank[8] = {4, 2, 3, 5, 6, 3, 2, 4};
    for (int f = 0; f < 8; ++f) {
        PutPieceOnSquare(kBackRank[f], MakeSquare(f, 0));
        PutPieceOnSquare(kWhitePawn, MakeSquare(f, 1));
        PutPieceOnSquare(kBlackPawn, MakeSquare(f, 6));
        PutPieceOnSquare(kBackRank[f] + 6, MakeSquare(f, 7));
    }
    board_[32] = 0x1F;
    board_[33] = 0;
}

void TChessPosition::SetEnPassantSquareTo(Square sq) {
    board_[33] = IsEdgeSquare(sq) ? 0 : uint8_t(sq);
}

int TChessPosition::PieceOnSquare(Square sq) const {
    const int i = BoardIndex(sq);
    if (i < 0) return 0;
    const NibbleAt n = Locate(i);
    return (board_[size_t(n.byte)] >> n.shift) & 0x0F;
}

void TChessPosition::PutPieceOnSquare(int piece, Square sq) {
    const int i = BoardIndex(sq);
    if (i < 0) return;
    const NibbleAt n = Locate(i);
    uint8_t& b = board_[size_t(n.byte)];
    b = uint8_t((b & ~(0x0F << n.shift)) | ((piece & 0x0F) << n.shift));
}

std::string TChessPosition::GetEPDString() const {
    std::string out;
    for (int rank = 7; rank >= 0; --rank) {
        int run = 0;
        for (int file = 0; file < 8; ++file) {
            const int p = PieceOnSquare(MakeSquare(file, rank));
            if (p < 1 || p > 12) {
                ++run;
                continue;
            }
            if (run) out += char('0' + run);
            run = 0;
            out += kPieceLetters[p];
        }
        if (run) out += char('0' + run);
        if (rank > 0) out += '/';
    }
    out += WhiteOnMove() ? " w " : " b ";
    const size_t before = out.size();
    if (WhiteCanCastleKingside()) out += 'K';
    if (WhiteCanCastleQueenside()) out += 'Q';
    if (BlackCanCastleKingside()) out += 'k';
    if (BlackCanCastleQueenside()) out += 'q';
    if (out.size() == before) out += '-';
    const Square ep = EnPassantSquare();
    if (ep == 0 || IsEdgeSquare(ep))
        out += " - ";
    else
        out += " " + SquareName(ep) + " ";
    return out;
}

bool TChessPosition::MakeBoardFromEPD(std::string_view text, TBoardRecord& out) {
    SetWhiteOnMove(true);
    Split s = SplitField(text);

    // Placement: squares from a8 to h1; at most 64 square-giving characters.
    int rank = 7, file = 0;
    auto advance = [&] {
        ++file;
        if (file == 8 && rank > 0) {
            --rank;
            file = 0;
        }
    };
    int taken = 0;
    for (size_t i = 0; i < s.field.size() && taken < 64; ++i) {
        const char c = s.field[i];
        if (c == '/') continue;
        ++taken;
        if (c >= '1' && c <= '8') {
            const int n = c - '0';
            if (file + n > 9) return false;
            for (int k = 0; k < n; ++k) {
                PutPieceOnSquare(kEmpty, MakeSquare(file, rank));
                advance();
            }
        } else if (int p = PieceOfLetter(c)) {
            PutPieceOnSquare(p, MakeSquare(file, rank));
            advance();
        } else {
            return false;
        }
    }
    if (rank != 0 || file != 8) return false;
    if (!s.has_rest) return false;

    // Side to move.
    s = SplitField(s.rest);
    if (s.field.empty() || (s.field[0] != 'w' && s.field[0] != 'b')) return false;
    SetWhiteOnMove(s.field[0] == 'w');
    // A text that ends after the side (a PGN set-up given as placement only
    // gets " w") or after the castling field has no castling rights or no
    // en-passant square, as when those fields are read from the side's "w".
    auto finish = [&](Square ep) {
        SetEnPassantSquareTo(ep);
        out = board_;
        return true;
    };
    if (!s.has_rest) {
        SetWhiteCanCastleKingside(false);
        SetWhiteCanCastleQueenside(false);
        SetBlackCanCastleKingside(false);
        SetBlackCanCastleQueenside(false);
        return finish(0);
    }

    // Castling rights: each letter anywhere in the field.
    s = SplitField(s.rest);
    if (s.field.empty()) return false;
    SetWhiteCanCastleKingside(s.field.find('K') != std::string_view::npos);
    SetWhiteCanCastleQueenside(s.field.find('Q') != std::string_view::npos);
    SetBlackCanCastleKingside(s.field.find('k') != std::string_view::npos);
    SetBlackCanCastleQueenside(s.field.find('q') != std::string_view::npos);
    if (!s.has_rest) return finish(0);

    // En-passant square: rank 6 with White to move, rank 3 with Black.
    s = SplitField(s.rest);
    if (s.field.empty()) return false;
    Square ep = 0;
    if (s.field[0] != '-') {
        ep = SquareFromText(s.field);
        const bool ok = WhiteOnMove() ? (ep >= 50 && ep <= 57) : (ep >= 20 && ep <= 27);
        if (!ok) ep = 0;
    }
    return finish(ep);
}

} // namespace quorel::chess
