#include "rebeng/game_text.h"

#include "chess/notation.h"
#include "chess/rules.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>

namespace quorel::rebeng {

using namespace quorel::chess;

namespace {

bool IsFileChar(char c) {
    return c >= 'a' && c <= 'h';
}
bool IsRankChar(char c) {
    return c >= '1' && c <= '8';
}

// Kind 2..5 of a promotion letter: English first (the SAN writer always uses
// it), then the letters of language. 0 when it names no piece.
int PromotionKind(char letter, int language) {
    char up = char(std::toupper(static_cast<unsigned char>(letter)));
    for (int kind = 2; kind <= 5; ++kind)
        if (PieceLetter(kind, kEnglish) == std::string(1, up)) return kind;
    for (int kind = 2; kind <= 5; ++kind)
        if (PieceLetter(kind, language) == std::string(1, up)) return kind;
    return 0;
}

std::string Trim(std::string_view s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])))
        --b;
    return std::string(s.substr(a, b - a));
}

bool IsResultToken(std::string_view t) {
    return t == "1-0" || t == "0-1" || t == "1/2-1/2" || t == "*" || t == "1/2";
}

} // namespace

std::string UciFen(const TChessPosition& start) {
    std::string epd = start.GetEPDString();
    std::istringstream in(epd);
    std::string placement, side, castling, ep;
    in >> placement >> side >> castling >> ep;
    auto at = [&](int file, int rank) { return start.PieceOnSquare(MakeSquare(file, rank)); };
    std::string c;
    if (start.WhiteCanCastleKingside() && at(4, 0) == kWhiteKing && at(7, 0) == kWhiteRook)
        c += 'K';
    if (start.WhiteCanCastleQueenside() && at(4, 0) == kWhiteKing && at(0, 0) == kWhiteRook)
        c += 'Q';
    if (start.BlackCanCastleKingside() && at(4, 7) == kBlackKing && at(7, 7) == kBlackRook)
        c += 'k';
    if (start.BlackCanCastleQueenside() && at(4, 7) == kBlackKing && at(0, 7) == kBlackRook)
        c += 'q';
    if (c.empty()) c = "-";
    Square e = start.EnPassantSquare();
    bool whiteMoves = side == "w";
    if (e != 0) {
        // The pawn that passed stands one rank beyond the square; the square
        // itself and the one it came from are empty.
        Square pawn = whiteMoves ? e - 10 : e + 10;
        Square origin = whiteMoves ? e + 10 : e - 10;
        int passed = whiteMoves ? kBlackPawn : kWhitePawn;
        if (start.PieceOnSquare(pawn) != passed || start.SomethingOn(e) ||
            start.SomethingOn(origin))
            e = 0;
    }
    return placement + " " + side + " " + c + " " + (e == 0 ? "-" : SquareName(e)) + " 0 1";
}

namespace {

struct Token {
    std::string text;
    bool marked = false;
};

// Splits movetext into move tokens, dropping move numbers, comments (a
// comment "*" marks the move before it), variations, NAGs and the result.
std::vector<Token> Tokenize(std::string_view mt) {
    std::vector<Token> out;
    size_t i = 0;
    auto flush = [&](std::string& tok) -> bool {
        if (tok.empty()) return true;
        std::string t = tok;
        tok.clear();
        if (IsResultToken(t)) return false;
        if (t[0] == '$') return true;
        size_t d = 0;
        while (d < t.size() && std::isdigit(static_cast<unsigned char>(t[d])))
            ++d;
        if (d > 0 && d < t.size() && t[d] == '.') {
            while (d < t.size() && t[d] == '.')
                ++d;
            t = t.substr(d);
        } else if (d == t.size()) {
            return true; // a bare number
        }
        while (!t.empty() && t[0] == '.')
            t.erase(0, 1);
        if (!t.empty()) out.push_back({t, false});
        return true;
    };
    std::string tok;
    while (i < mt.size()) {
        char c = mt[i];
        if (c == '{') {
            size_t end = mt.find('}', i + 1);
            if (!flush(tok)) return out;
            std::string comment =
                Trim(mt.substr(i + 1, (end == std::string_view::npos ? mt.size() : end) - i - 1));
            if (comment == "*" && !out.empty()) out.back().marked = true;
            i = end == std::string_view::npos ? mt.size() : end + 1;
        } else if (c == ';') {
            if (!flush(tok)) return out;
            size_t end = mt.find('\n', i);
            i = end == std::string_view::npos ? mt.size() : end + 1;
        } else if (c == '(') {
            if (!flush(tok)) return out;
            int depth = 0;
            for (; i < mt.size(); ++i) {
                if (mt[i] == '(') ++depth;
                if (mt[i] == ')' && --depth == 0) break;
            }
            ++i;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            if (!flush(tok)) return out;
            ++i;
        } else {
            tok += c;
            ++i;
        }
    }
    flush(tok);
    return out;
}

} // namespace

// ---------------------------------------------------------------------------

GameWalker::GameWalker() : rec_(TGameRecord::NewGame()) {
    rec_.Board = pos_.GetBoard();
}

bool GameWalker::SetUp(std::string_view epd) {
    TBoardRecord board;
    if (!BoardFromEPD(epd, board)) return false;
    TChessPosition p(board);
    rec_ = TGameRecord::NewGame();
    rec_.SetupPosition = 1;
    rec_.SetupEPD = p.GetEPDString();
    rec_.SetupWhiteFirst = p.WhiteOnMove() ? 1 : 0;
    rec_.Board = board;
    pos_ = p;
    // A position the engine cannot take: not one king each, or the side not
    // to move already in check.
    int kings[2] = {0, 0};
    for (int i = 0; i < 64; ++i) {
        int piece = pos_.PieceOnSquare(SquareOfIndex(i));
        if (piece == kWhiteKing) ++kings[0];
        if (piece == kBlackKing) ++kings[1];
    }
    return kings[0] == 1 && kings[1] == 1 && !SideNotToMoveInCheck(rec_, pos_);
}

bool GameWalker::WhiteToMove() const {
    return WhiteToMoveAt(rec_, rec_.CurrentPly);
}

bool GameWalker::IsLegal(const TMoveRecord& m) const {
    if (!IsValidMove(rec_, pos_, m, true, rec_.CurrentPly)) return false;
    TChessPosition after = pos_;
    MakeMove(after, m);
    const bool white = WhiteToMove();
    Square king = FindKing(after, white);
    return king < 0 || !SquareAttacked(after, king, !white);
}

std::vector<std::string> GameWalker::LegalMoves() const {
    std::vector<std::string> out;
    const bool white = WhiteToMove();
    for (int i = 0; i < 64; ++i) {
        const Square from = SquareOfIndex(i);
        const int piece = pos_.PieceOnSquare(from);
        if (piece == kEmpty || IsWhitePiece(piece) != white) continue;
        for (int j = 0; j < 64; ++j) {
            const Square to = SquareOfIndex(j);
            TMoveRecord probe;
            probe.From = int8_t(from);
            probe.To = int8_t(to);
            if (!IsValidMove(rec_, pos_, probe, true, rec_.CurrentPly)) continue;
            std::string uci = SquareName(from) + SquareName(to);
            const bool promotes = PieceKind(piece) == 1 && (RankOf(to) == 7 || RankOf(to) == 0);
            for (const char* p : promotes ? std::vector<const char*>{"q", "r", "b", "n"}
                                          : std::vector<const char*>{""}) {
                TMoveRecord m;
                if (Describe(uci + p, m) && IsLegal(m)) out.push_back(uci + p);
            }
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

bool GameWalker::InCheck() const {
    return SideToMoveInCheck(rec_, pos_);
}

bool GameWalker::Describe(const std::string& uci, TMoveRecord& out) const {
    if (uci.size() < 4 || uci.size() > 5) return false;
    Square from = SquareFromText(uci.substr(0, 2));
    Square to = SquareFromText(uci.substr(2, 2));
    if (!IsFileChar(uci[0]) || !IsFileChar(uci[2]) || IsEdgeSquare(from) || IsEdgeSquare(to))
        return false;
    int piece = pos_.PieceOnSquare(from);
    if (piece == kEmpty) return false;
    TMoveRecord m;
    m.From = int8_t(from);
    m.To = int8_t(to);
    m.Piece = uint8_t(piece);
    m.Captured = uint8_t(pos_.PieceOnSquare(to));
    if (PieceKind(piece) == 1 && FileOf(from) != FileOf(to) && m.Captured == 0) m.EnPassant = 1;
    if (uci.size() == 5) {
        int kind = PromotionKind(uci[4], kEnglish);
        if (kind == 0 || PieceKind(piece) != 1) return false;
        m.Promotion = uint8_t(MakePiece(kind, IsWhitePiece(piece)));
    }
    out = m;
    return true;
}

bool GameWalker::Play(const std::string& uci, TMoveRecord* out) {
    if (rec_.CurrentPly >= int(kMaxMoveRecords)) return false;
    TMoveRecord m;
    if (!Describe(uci, m) || !IsLegal(m)) return false;
    // A pawn reaching the last rank must name its piece.
    if (PieceKind(m.Piece) == 1 && (RankOf(m.To) == 7 || RankOf(m.To) == 0) && m.Promotion == 0)
        return false;
    MakeMove(pos_, m);
    rec_.CurrentPly = uint16_t(rec_.CurrentPly + 1);
    rec_.MoveCount = rec_.CurrentPly;
    rec_.Move(rec_.CurrentPly) = m;
    m.Disambiguation = Coincidencia(rec_, pos_, m);
    m.Check = SideToMoveInCheck(rec_, pos_) ? 1 : 0;
    rec_.Move(rec_.CurrentPly) = m;
    rec_.Board = pos_.GetBoard();
    if (out) *out = m;
    return true;
}

bool GameWalker::PlayUnchecked(const std::string& uci, TMoveRecord* out) {
    if (rec_.CurrentPly >= int(kMaxMoveRecords)) return false;
    TMoveRecord m;
    if (!Describe(uci, m)) return false;
    MakeMove(pos_, m);
    rec_.CurrentPly = uint16_t(rec_.CurrentPly + 1);
    rec_.MoveCount = rec_.CurrentPly;
    rec_.Move(rec_.CurrentPly) = m;
    if (out) *out = m;
    return true;
}

std::string LongMoveText(const TMoveRecord& m) {
    std::string s = PieceLetter(PieceKind(m.Piece), kEnglish);
    s += SquareName(m.From);
    s += (m.Captured != 0 || m.EnPassant) ? "x" : "-";
    s += SquareName(m.To);
    if (m.Promotion != 0) s += PieceLetter(PieceKind(m.Promotion), kEnglish);
    return s;
}

// ---------------------------------------------------------------------------

std::string GameText::Tag(std::string_view name) const {
    for (const auto& [n, v] : tags)
        if (n == name) return v;
    return "";
}

GameWalker GameText::Start() const {
    GameWalker w;
    if (!fen.empty()) w.SetUp(fen);
    return w;
}

GameWalker GameText::After(size_t plies) const {
    GameWalker w = Start();
    for (size_t i = 0; i < plies && i < moves.size(); ++i)
        w.Play(moves[i].uci);
    return w;
}

std::string GameText::PositionCommand(size_t plies) const {
    std::string cmd =
        fen.empty() ? "position startpos" : "position fen " + UciFen(Start().Position());
    if (plies > 0 && !moves.empty()) {
        cmd += " moves";
        for (size_t i = 0; i < plies && i < moves.size(); ++i)
            cmd += " " + moves[i].uci;
    }
    return cmd;
}

std::string GameText::NumberText(const GameMove& m) {
    return std::to_string(m.number) + (m.white ? "." : "...");
}

std::string MatchSan(const GameWalker& walker, std::string_view token, int language) {
    std::string t(token);
    if (t.size() > 4 && t.compare(t.size() - 4, 4, "e.p.") == 0) t.resize(t.size() - 4);
    while (!t.empty() && std::strchr("+#!?", t.back()))
        t.pop_back();
    if (t.empty()) return "";
    bool white = walker.WhiteToMove();
    auto legal = [&](const std::string& uci) {
        TMoveRecord m;
        return walker.Describe(uci, m) && walker.IsLegal(m);
    };

    std::string castle;
    for (char c : t)
        castle += c == '0' ? 'O' : c;
    if (castle == "O-O" || castle == "O-O-O") {
        std::string uci = castle == "O-O" ? (white ? "e1g1" : "e8g8") : (white ? "e1c1" : "e8c8");
        int piece = walker.Position().PieceOnSquare(SquareFromText(uci.substr(0, 2)));
        if (PieceKind(piece) != 6) return "";
        return legal(uci) ? uci : "";
    }

    int kind = 1;
    size_t i = 0;
    if (std::isupper(static_cast<unsigned char>(t[0]))) {
        kind = 0;
        for (int k = 2; k <= 6 && kind == 0; ++k)
            if (PieceLetter(k, language) == std::string(1, t[0])) kind = k;
        if (kind == 0) return "";
        i = 1;
    }
    std::string rest;
    for (char c : t.substr(i))
        if (c != 'x' && c != ':' && c != '-') rest += c;
    int promo = 0;
    if (size_t eq = rest.find('='); eq != std::string::npos) {
        if (eq + 2 != rest.size()) return "";
        promo = PromotionKind(rest[eq + 1], language);
        if (promo == 0) return "";
        rest.resize(eq);
    } else if (rest.size() >= 3 && IsRankChar(rest[rest.size() - 2]) &&
               std::isalpha(static_cast<unsigned char>(rest.back()))) {
        promo = PromotionKind(rest.back(), language);
        if (promo == 0) return "";
        rest.pop_back();
    }
    if (rest.size() < 2 || rest.size() > 4) return "";
    std::string dest = rest.substr(rest.size() - 2);
    if (!IsFileChar(dest[0]) || !IsRankChar(dest[1])) return "";
    int hintFile = -1, hintRank = -1;
    for (char c : rest.substr(0, rest.size() - 2)) {
        if (IsFileChar(c))
            hintFile = c - 'a';
        else if (IsRankChar(c))
            hintRank = c - '1';
        else
            return "";
    }
    // The pieces of that kind that can reach the square; several (a
    // disambiguation too short for three pieces): the first in board order.
    const Square to = SquareFromText(dest);
    const bool promotes = kind == 1 && (RankOf(to) == 7 || RankOf(to) == 0);
    if (promo != 0 && !promotes) return "";
    const char* suffix[6] = {"", "", "n", "b", "r", "q"};
    for (int i = 0; i < 64; ++i) {
        const Square from = SquareOfIndex(i);
        const int piece = walker.Position().PieceOnSquare(from);
        if (PieceKind(piece) != kind || IsWhitePiece(piece) != white) continue;
        if (hintFile >= 0 && FileOf(from) != hintFile) continue;
        if (hintRank >= 0 && RankOf(from) != hintRank) continue;
        std::string uci = SquareName(from) + dest;
        if (promotes) uci += suffix[promo == 0 ? 5 : promo]; // no letter: a queen
        if (legal(uci)) return uci;
    }
    return "";
}

bool ReadGameText(std::string_view text, GameText& out, std::string& why) {
    out = GameText{};
    why.clear();
    std::string movetext;
    bool inMoves = false, first = true;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) nl = text.size();
        std::string line = Trim(text.substr(pos, nl - pos));
        pos = nl + 1;
        if (!inMoves) {
            if (line.empty() || line[0] == '%') continue;
            if (line[0] == '[') {
                size_t sp = line.find(' ');
                size_t q1 = line.find('"');
                size_t q2 = line.rfind('"');
                if (sp != std::string::npos && q1 != std::string::npos && q2 > q1) {
                    std::string name = Trim(line.substr(1, sp - 1));
                    std::string value = line.substr(q1 + 1, q2 - q1 - 1);
                    if (first && name == "Event" && value == "ALL")
                        out.analyseAll = true;
                    else
                        out.tags.emplace_back(name, value);
                }
                first = false;
                continue;
            }
            inMoves = true;
        } else if (!line.empty() && line[0] == '[') {
            break; // the next game begins
        }
        first = false;
        movetext += line;
        movetext += '\n';
    }
    out.fen = Trim(out.Tag("FEN"));
    GameWalker start;
    if (!out.fen.empty() && !start.SetUp(out.fen)) {
        why = "FEN tag is not a legal position: " + out.fen;
        return false;
    }
    std::vector<Token> tokens = Tokenize(movetext);

    size_t bestDone = 0;
    std::string bestWhy;
    for (int language = kEnglish; language <= kFrench; ++language) {
        GameWalker w = start;
        std::vector<GameMove> moves;
        size_t k = 0;
        for (; k < tokens.size(); ++k) {
            std::string uci = MatchSan(w, tokens[k].text, language);
            GameMove m;
            m.white = w.WhiteToMove();
            int offset = (w.Record().SetupPosition == 1 && w.Record().SetupWhiteFirst == 0) ? 1 : 0;
            m.number = (w.Ply() + 1 + offset + 1) / 2;
            if (uci.empty() || !w.Play(uci, &m.record)) break;
            m.uci = uci;
            m.san = SanOfMove(m.record, kEnglish);
            m.marked = tokens[k].marked;
            moves.push_back(std::move(m));
        }
        if (k == tokens.size()) {
            out.language = language;
            out.moves = std::move(moves);
            return true;
        }
        if (k >= bestDone) {
            if (bestWhy.empty() || k > bestDone)
                bestWhy = "move " + std::to_string(k + 1) + " \"" + tokens[k].text +
                          "\" cannot be played";
            bestDone = std::max(bestDone, k);
        }
    }
    why = bestWhy;
    return false;
}

} // namespace quorel::rebeng
