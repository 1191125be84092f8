// SAN, ICCF numeric, annotation and EPD texts of stored moves and boards.
#include "chess/notation.h"

namespace quorel::chess {

namespace {
// Piece letters of knight, bishop, rook, queen, king per move-list language.
constexpr const char* kLetters[5][5] = {
    {"N", "B", "R", "Q", "K"}, // English
    {"C", "A", "T", "D", "R"}, // Spanish
    {"S", "L", "T", "D", "K"}, // German
    {"C", "A", "T", "D", "R"}, // Italian
    {"C", "F", "T", "D", "R"}, // French
};

char FileLetter(Square sq) {
    return char('a' + ((sq % 10 + 10) % 10));
}
char RankDigit(Square sq) {
    return char('1' + sq / 10);
}
} // namespace

std::string PieceLetter(int kind, int language) {
    if (kind < 2 || kind > 6) return "";
    if (language < 0 || language > 4) language = kEnglish;
    return kLetters[language][kind - 2];
}

std::string AnnotationText(int annotation) {
    static constexpr const char* kTexts[] = {"", "", "#", "!", "!!", "?", "??", "?!", "!?", "*"};
    if (annotation < 0 || annotation > 9) return "";
    return kTexts[annotation];
}

std::string AnnotationText(const TMoveRecord& move) {
    return AnnotationText(move.Annotation);
}

std::string SanOfMove(const TMoveRecord& move, int language) {
    const int kind = PieceKind(move.Piece);
    const bool check = move.Check && AnnotationText(move) != "#";
    if (kind == 6) {
        const int from = move.From, to = move.To;
        if ((from == 4 && to == 6) || (from == 74 && to == 76)) return check ? "O-O+" : "O-O";
        if ((from == 4 && to == 2) || (from == 74 && to == 72)) return check ? "O-O-O+" : "O-O-O";
    }
    const bool capture = move.Captured != 0 || move.EnPassant;
    std::string s;
    if (kind == 1) {
        if (capture) s += FileLetter(move.From);
    } else {
        s += PieceLetter(kind, language);
        if (move.Promotion == 0) {
            if (move.Disambiguation & kDisambiguateFile) s += FileLetter(move.From);
            if (move.Disambiguation & kDisambiguateRank) s += RankDigit(move.From);
        }
    }
    if (capture) s += 'x';
    s += FileLetter(move.To);
    s += RankDigit(move.To);
    if (move.Promotion != 0) s += "=" + PieceLetter(PieceKind(move.Promotion), kEnglish);
    if (check) s += '+';
    if (move.EnPassant) s += " {e.p.}";
    return s;
}

std::string IccfOfMove(const TMoveRecord& move) {
    auto digits = [](int sq) {
        return std::to_string((sq % 10 + 10) % 10 + 1) + std::to_string(sq / 10 + 1);
    };
    std::string s = digits(move.From) + digits(move.To);
    switch (PieceKind(move.Promotion)) {
    case 5:
        s += '1';
        break;
    case 4:
        s += '2';
        break;
    case 3:
        s += '3';
        break;
    case 2:
        s += '4';
        break;
    default:
        break;
    }
    return s;
}

std::string EPDFromBoard(const TBoardRecord& board) {
    return TChessPosition(board).GetEPDString();
}

bool BoardFromEPD(std::string_view epd, TBoardRecord& out) {
    TChessPosition pos(TBoardRecord{});
    return pos.MakeBoardFromEPD(epd, out);
}

std::string LongAlgebraic(const TMoveRecord& move) {
    std::string s = SquareName(move.From) + SquareName(move.To);
    switch (PieceKind(move.Promotion)) {
    case 5:
        s += 'q';
        break;
    case 4:
        s += 'r';
        break;
    case 3:
        s += 'b';
        break;
    case 2:
        s += 'n';
        break;
    default:
        break;
    }
    return s;
}

} // namespace quorel::chess
