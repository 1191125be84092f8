#include "rebeng/lines.h"

#include "chess/notation.h"

#include <cstdio>
#include <cstdlib>

namespace quorel::rebeng {

std::string ClockText(long long ms) {
    if (ms < 0) ms = 0;
    long long secs = ms / 1000;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld", secs / 60, secs % 60);
    return buf;
}

std::string PawnsText(int centipawns) {
    char buf[32];
    int a = std::abs(centipawns);
    std::snprintf(buf, sizeof buf, "%c%d.%02d", centipawns < 0 ? '-' : '+', a / 100, a % 100);
    return buf;
}

std::string FormatAnalysisLine(const SearchInfo& info, const GameWalker& root,
                               long long elapsedMs) {
    std::string line = std::to_string(info.depth) + ". " +
                       ClockText(info.timeMs >= 0 ? info.timeMs : elapsedMs) + " ";
    if (info.mate) {
        int n = std::abs(info.score);
        line += (info.score > 0 ? "Mate in " : "Mated in ") + std::to_string(n) + " moves ";
    } else {
        int white = root.WhiteToMove() ? info.score : -info.score;
        line += PawnsText(white) + "  ";
    }
    // Every move is followed by a blank, the last one too: the window takes
    // the suggested move up to the first blank after the score.
    GameWalker w = root;
    for (const std::string& uci : info.pv) {
        chess::TMoveRecord m;
        if (!w.PlayUnchecked(uci, &m)) break;
        std::string text = LongMoveText(m);
        if (line.size() + text.size() + 1 > kMaxLineLength) break;
        line += text;
        line += ' ';
    }
    if (line.size() > kMaxLineLength) line.resize(kMaxLineLength);
    return line;
}

std::string GameOverLine(bool inCheck) {
    return inCheck ? "Checkmate, no move to analyse" : "Draw by stalemate";
}

std::string EvalText(bool mate, int score, bool whiteToMove) {
    if (mate) {
        bool whiteMates = (score > 0) == whiteToMove;
        return std::string(whiteMates ? "+M" : "-M") + std::to_string(std::abs(score));
    }
    return PawnsText(whiteToMove ? score : -score);
}

namespace {
// A score on one scale: mates beyond every centipawn score, the nearer the
// larger (mated soon is the lowest).
long long ScoreValue(bool mate, int score) {
    constexpr long long kMate = 1000000;
    if (!mate) return score;
    return score > 0 ? kMate - score : -kMate - score;
}
} // namespace

std::string MoveMark(bool bestMate, int bestScore, bool playedMate, int playedScore) {
    const long long loss = ScoreValue(bestMate, bestScore) - ScoreValue(playedMate, playedScore);
    const bool intoMate = playedMate && playedScore <= 0 && !(bestMate && bestScore <= 0);
    if (intoMate || loss >= 300) return "??";
    if (loss >= 100) return "?";
    return "";
}

std::string SanLine(const GameWalker& root, const std::vector<std::string>& pv, size_t maxPlies) {
    GameWalker w = root;
    std::string out;
    const auto& rec = w.Record();
    int offset = (rec.SetupPosition == 1 && rec.SetupWhiteFirst == 0) ? 1 : 0;
    for (size_t i = 0; i < pv.size() && i < maxPlies; ++i) {
        bool white = w.WhiteToMove();
        int number = (w.Ply() + 1 + offset + 1) / 2;
        chess::TMoveRecord m;
        if (!w.Play(pv[i], &m)) break;
        if (!out.empty()) out += ' ';
        if (white)
            out += std::to_string(number) + ".";
        else if (i == 0)
            out += std::to_string(number) + "...";
        out += chess::SanOfMove(m, chess::kEnglish);
    }
    return out;
}

} // namespace quorel::rebeng
