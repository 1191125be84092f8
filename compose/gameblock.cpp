// The game block of a move message: tags, move text, "if move" text, date
// register, text diagram and the ICCF move tables, plus the subject part and
// the opponent. Whose move a record is follows the game's set-up (a set-up
// game may let Black move first); moves are numbered as the move text numbers
// them everywhere in the block.
#include "compose/gameblock.h"

#include "chess/notation.h"
#include "platform/codepage.h"
#include "platform/datetime.h"

#include <algorithm>

namespace quorel::compose {

using chess::TGameRecord;

namespace {

constexpr const char* kBorder = "    +---+---+---+---+---+---+---+---+";

int Plies(const TGameRecord& rec) {
    return std::min<int>(rec.MoveCount, int(chess::kMaxMoveRecords));
}

bool BlackMovesFirst(const TGameRecord& rec) {
    return rec.SetupPosition == 1 && rec.SetupWhiteFirst == 0;
}

// The number the move text gives the full move holding record k: White's
// moves count k div 2 + 1, and Black's move belongs to the White move before
// it (or to move 1 when Black moved first).
int MoveNumber(const TGameRecord& rec, int k) {
    return (k + (BlackMovesFirst(rec) ? 2 : 1)) / 2;
}

std::string San(const TGameRecord& rec, int k) {
    return chess::SanOfMove(rec.Move(k), rec.MoveListLanguage);
}

std::string PadRight(std::string s, size_t n) {
    s.resize(n, ' ');
    return s;
}

std::string PadLeft(std::string s, size_t n) {
    if (s.size() < n) s.insert(0, n - s.size(), ' ');
    return s;
}

std::string DatePattern(char sep, bool withYear) {
    std::string p = std::string("mm") + sep + "dd";
    if (withYear) p += std::string(1, sep) + "yy";
    return p;
}

std::string Tag(const std::string& name, const std::string& value) {
    return "[" + name + " \"" + (value.empty() ? "?" : value) + "\"]";
}

void Tags(const TGameRecord& rec, bool extended, std::vector<std::string>& out) {
    out.push_back(Tag("Event", rec.Event));
    out.push_back(Tag("Site", rec.Site));
    out.push_back(Tag("Date", rec.Date));
    out.push_back(Tag("Round", rec.Round));
    out.push_back(Tag("White", PgnPlayerName(rec.White)));
    out.push_back(Tag("Black", PgnPlayerName(rec.Black)));
    out.push_back(Tag("Result", rec.Result));
    if (extended) {
        out.push_back(Tag("WhiteELO", rec.WhiteElo));
        out.push_back(Tag("BlackELO", rec.BlackElo));
        out.push_back(Tag("WhiteNA", rec.WhiteAddress));
        out.push_back(Tag("BlackNA", rec.BlackAddress));
        out.push_back(Tag("WhiteCountry", rec.WhiteCountry));
        out.push_back(Tag("BlackCountry", rec.BlackCountry));
        out.push_back(Tag("ECO", rec.ECO));
    }
    if (rec.SetupPosition == 1) out.push_back("[FEN \"" + rec.SetupEPD + "\"]");
}

// The move text, wrapped before a White move once a line would reach 70
// characters; a Black move never starts a line after its White move.
void MoveText(const TGameRecord& rec, std::vector<std::string>& out) {
    std::string buffer;
    for (int k = 1, p = Plies(rec); k <= p; ++k) {
        const bool white = chess::IsWhitesRecord(rec, k);
        std::string token;
        if (white) token = std::to_string(MoveNumber(rec, k)) + ".";
        token += San(rec, k);
        if (rec.Move(k).Annotation == 2) token += "#";
        token += " ";
        if (white && buffer.size() + token.size() >= 70) {
            out.push_back(buffer);
            buffer.clear();
        }
        buffer += token;
    }
    buffer += rec.Result.empty() ? "*" : rec.Result;
    out.push_back(buffer);
    out.push_back("");
}

void IfMoveLines(const TGameRecord& rec, std::vector<std::string>& out) {
    if (rec.IfMove.empty()) return;
    out.push_back(rec.IfMove);
    out.push_back("");
}

// The date register: the dates of the last record and each side's time for
// its last move and in total. A game without moves has no dates to show and
// writes no register.
void DateSummary(const TGameRecord& rec, char sep, std::vector<std::string>& out) {
    const int p = Plies(rec);
    if (p == 0) return;
    const std::string pattern = DatePattern(sep, true);
    auto date = [&](double d) { return FormatDateTime(pattern, d); };
    const chess::TMoveRecord& last = rec.Move(p);
    out.push_back(" Sent     : " + date(p > 1 ? rec.Move(p - 1).Replied : last.Replied));
    out.push_back(" Received : " + date(last.Received));
    out.push_back(" Replied  : " + date(last.Replied));
    out.push_back("");
    auto shown = [&](int k) { return k < 1 ? 0L : chess::ShownMoveThinkingTime(rec, k); };
    const chess::TThinkingTotals totals = chess::ThinkingTotals(rec);
    const bool whiteLast = chess::IsWhitesRecord(rec, p);
    const long whiteTime = shown(whiteLast ? p : p - 1);
    const long blackTime = shown(whiteLast ? p - 1 : p);
    out.push_back("White\u00B4s time :  " + std::to_string(whiteTime) + "/" +
                  std::to_string(totals.ShownWhite()) + "\t (" + rec.White + ")");
    out.push_back("Black\u00B4s time :  " + std::to_string(blackTime) + "/" +
                  std::to_string(totals.ShownBlack()) + "\t (" + rec.Black + ")");
    out.push_back("");
}

// Diagram letter of a piece code in the move-list language: White upper
// case, Black lower case; "" for an empty square.
std::string DiagramLetter(int piece, int language) {
    const int kind = chess::PieceKind(piece);
    if (kind == 0) return "";
    std::string letter;
    if (kind == 1)
        letter = language == chess::kGerman ? "B" : "P";
    else
        letter = chess::PieceLetter(kind, language);
    return chess::IsWhitePiece(piece) ? letter : AsciiLower(letter);
}

void Diagram(const TGameRecord& rec, std::vector<std::string>& out) {
    out.push_back("");
    out.push_back("");
    out.push_back("    Black: " + rec.Black);
    out.push_back("");
    out.push_back(kBorder);
    const chess::TChessPosition pos(rec.Board);
    for (int rank = 7; rank >= 0; --rank) {
        std::string line = " " + std::to_string(rank + 1) + "  | ";
        for (int file = 0; file < 8; ++file) {
            const int piece = pos.PieceOnSquare(chess::MakeSquare(file, rank));
            const std::string letter = DiagramLetter(piece, rec.MoveListLanguage);
            if (letter.empty())
                line += "  ";
            else
                line += letter + (chess::IsWhitePiece(piece) ? " " : "*");
            line += "| ";
        }
        out.push_back(line);
        out.push_back(kBorder);
    }
    out.push_back("      a   b   c   d   e   f   g   h");
    out.push_back("");
    out.push_back("    White : " + rec.White);
    out.push_back("");
    const int c = std::min<int>(rec.CurrentPly, Plies(rec));
    if (c > 0)
        out.push_back(" Position after : " + std::to_string(MoveNumber(rec, c)) +
                      (chess::IsWhitesRecord(rec, c) ? "." : "..") + San(rec, c));
    else
        out.push_back(" Initial position");
    out.push_back("");
}

// The ICCF move table: one row per full move, White's record on the left and
// Black's on the right, each with its dates and its thinking time over the
// side's running total. When Black moved first, the first row's White column
// is blank.
void MoveTable(const TGameRecord& rec, bool numeric, char sep, std::vector<std::string>& out) {
    const size_t w = numeric ? 5 : 10;
    out.push_back(" Event      : " + rec.Event);
    out.push_back(" Start Date : " + rec.Date);
    out.push_back(" White      : " + rec.White + "\t (" + rec.WhiteElo + ") \t" + rec.WhiteCountry);
    out.push_back(" Black      : " + rec.Black + "\t (" + rec.BlackElo + ") \t" + rec.BlackCountry);
    out.push_back("");
    if (rec.SetupPosition == 1) {
        out.push_back("Initial position : " + rec.SetupEPD);
        out.push_back("");
    }
    if (numeric) {
        out.push_back("                          White   Black");
        out.push_back("Rec.  Sent  Total   No.   Move    Move   Rec.   Sent   Total");
    } else {
        out.push_back("                          White        Black");
        out.push_back("Rec.  Sent  Total   No.   Move         Move        Rec.   Sent   Total");
    }
    const std::string pattern = DatePattern(sep, false);
    auto date = [&](double d) { return FormatDateTime(pattern, d); };
    auto move = [&](int k) {
        return numeric ? chess::IccfOfMove(rec.Move(k)) : San(rec, k);
    };
    long whiteTotal = 0, blackTotal = 0;
    auto time = [&](int k, long& total) {
        const long d = chess::MoveThinkingTime(rec, k);
        total += d;
        return PadRight(std::to_string(d) + "/" + std::to_string(total), 8);
    };
    const int p = Plies(rec);
    const int first = BlackMovesFirst(rec) ? 0 : 1; // White's record of row 1
    for (int n = 1; first + 2 * (n - 1) <= p; ++n) {
        const int wk = first + 2 * (n - 1), bk = wk + 1;
        std::string row;
        if (wk >= 1) {
            const chess::TMoveRecord& m = rec.Move(wk);
            row = date(m.Received) + " " + date(m.Replied) + " " + time(wk, whiteTotal);
        } else {
            row = std::string(20, ' ');
        }
        row += PadRight(std::to_string(n) + ".", 5) + " " +
               PadRight(wk >= 1 ? move(wk) : std::string(), w) + "  ";
        if (bk <= p) {
            const chess::TMoveRecord& m = rec.Move(bk);
            row += " " + PadRight(move(bk), w) + "  " + date(m.Received) + "  " + date(m.Replied) +
                   "  " + time(bk, blackTotal);
        }
        out.push_back(row);
    }
    out.push_back("");
}

} // namespace

std::string PgnPlayerName(std::string_view name) {
    const size_t space = name.find(' ');
    if (space == name.npos || name.find(',') != name.npos) return std::string(name);
    return std::string(name.substr(space + 1)) + ", " + std::string(name.substr(0, space));
}

std::string CleanDisplayName(std::string_view name) {
    std::string s(name);
    for (char& c : s)
        if (c == ',' || c == '.') c = ' ';
    return s;
}

TOpponent Opponent(const TGameRecord& rec, std::string_view ownAddress) {
    if (ownAddress.empty()) return {"?", "?"};
    if (EqualNoCase(ownAddress, rec.WhiteAddress)) return {rec.Black, rec.BlackAddress};
    if (EqualNoCase(ownAddress, rec.BlackAddress)) return {rec.White, rec.WhiteAddress};
    return {"?", "?"};
}

std::string MoveLabel(const TGameRecord& rec) {
    const int p = Plies(rec);
    if (p == 0) return "";
    const bool white = chess::IsWhitesRecord(rec, p);
    return PadLeft(std::to_string(MoveNumber(rec, p)), 3) + (white ? "." : "....") + San(rec, p);
}

std::string SubjectPart(const TGameRecord& rec) {
    return "[" + rec.Event + " (" + rec.Round + "). Move : " + MoveLabel(rec) + "] ";
}

std::vector<std::string> GameBlockLines(const TGameRecord& rec, char dateSeparator) {
    std::vector<std::string> out;
    const bool dates = rec.SendDates != 0, diagram = rec.SendDiagram != 0;
    switch (rec.NotationFormat) {
    case 0:
    case 1:
        Tags(rec, rec.NotationFormat == 1, out);
        out.push_back(rec.NotationFormat == 1 ? " " : "");
        break;
    case 2:
        out.push_back(rec.White + " - " + rec.Black);
        out.push_back("");
        if (rec.SetupPosition == 1) {
            out.push_back("Initial position : " + rec.SetupEPD);
            out.push_back("");
        }
        break;
    case 3:
    case 4:
        MoveTable(rec, rec.NotationFormat == 3, dateSeparator, out);
        IfMoveLines(rec, out);
        if (diagram) Diagram(rec, out);
        return out;
    default:
        return out;
    }
    MoveText(rec, out);
    IfMoveLines(rec, out);
    if (dates) DateSummary(rec, dateSeparator, out);
    if (diagram) Diagram(rec, out);
    return out;
}

void WriteGame(TMessageDraft& draft, const TGameRecord& rec, const TBlockOptions& opt) {
    for (auto& line : GameBlockLines(rec, opt.DateSeparator))
        draft.Body.push_back(std::move(line));
    draft.EditedFile.clear();
    const TOpponent o = Opponent(rec, opt.OwnAddress);
    draft.Recipient = CleanDisplayName(o.Name);
    draft.Address = o.Address;
    draft.Subject += SubjectPart(rec);
    draft.Signature = rec.SendSignature != 0;
    if (rec.SendGameFile != 0 && !draft.GameFile.empty())
        draft.Attachments.push_back(draft.GameFile.string());
}

} // namespace quorel::compose
