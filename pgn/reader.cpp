// TPGNReader: scanning a PGN file game by game and converting a game's
// movetext into the game record through QRLPGN32.
#include "pgn/reader.h"

#include "movelib/qrlpgn32.h"
#include "platform/codepage.h"
#include "platform/files.h"

#include <algorithm>
#include <cstring>

namespace quorel::pgn {

namespace {

constexpr size_t kBufferSize = 1 << 20;

std::string_view TrimStart(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ')
        ++i;
    return s.substr(i);
}

std::string_view TrimEnd(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= ' ')
        --n;
    return s.substr(0, n);
}

std::string_view Trim(std::string_view s) {
    return TrimEnd(TrimStart(s));
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool IsValidUtf8(std::string_view s) {
    const size_t n = s.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t extra;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
        } else {
            return false;
        }
        if (i + extra >= n) return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

// Tag text from the file as UTF-8: valid UTF-8 is kept, anything else is
// Windows-1252.
std::string ToUtf8(std::string_view raw) {
    if (IsAscii(raw) || IsValidUtf8(raw)) return std::string(raw);
    return Cp1252ToUtf8(raw);
}

// The first n characters of UTF-8 text.
std::string CutChars(std::string s, size_t n) {
    size_t chars = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (chars == n) {
                s.resize(i);
                break;
            }
            ++chars;
        }
    }
    return s;
}

// The tag table: a line is of the first kind whose text it contains.
struct TagKind {
    std::string_view pattern;
    std::string TPGNReader::*field;
    size_t width;
};

const TagKind kTagKinds[] = {
    {"[Event ", &TPGNReader::Event, TagWidths::Event},
    {"[Site ", &TPGNReader::Site, TagWidths::Site},
    {"[Date \"", &TPGNReader::Date, TagWidths::Date},
    {"[Round ", &TPGNReader::Round, TagWidths::Round},
    {"[White ", &TPGNReader::White, TagWidths::White},
    {"[Black ", &TPGNReader::Black, TagWidths::Black},
    {"[Result ", &TPGNReader::Result, TagWidths::Result},
    {"[WhiteELO ", &TPGNReader::WhiteELO, TagWidths::WhiteELO},
    {"[BlackELO ", &TPGNReader::BlackELO, TagWidths::BlackELO},
    // The standard spelling of the rating tags.
    {"[WhiteElo ", &TPGNReader::WhiteELO, TagWidths::WhiteELO},
    {"[BlackElo ", &TPGNReader::BlackELO, TagWidths::BlackELO},
    {"[WhiteNA ", &TPGNReader::WhiteNA, TagWidths::WhiteNA},
    {"[BlackNA ", &TPGNReader::BlackNA, TagWidths::BlackNA},
    {"[WhiteCountry ", &TPGNReader::WhiteCountry, TagWidths::WhiteCountry},
    {"[BlackCountry ", &TPGNReader::BlackCountry, TagWidths::BlackCountry},
    {"[ECO ", &TPGNReader::ECO, TagWidths::ECO},
    {"[FEN ", &TPGNReader::FEN, TagWidths::FEN},
};
constexpr int kTagKindCount = int(sizeof kTagKinds / sizeof kTagKinds[0]);

// Comment/variation filter shared by StripAnnotations (Emit) and the scan
// that only steps over a game's movetext (state only).
template <bool Emit> void Filter(std::string_view line, TStripState& st, std::string* out) {
    const size_t n = line.size();
    for (size_t i = 0; i < n; ++i) {
        const char c = line[i];
        if (st.InComment) {
            if (c == '}') {
                st.InComment = false;
                if constexpr (Emit) out->push_back(' ');
            }
            continue;
        }
        switch (c) {
        case '{':
            st.InComment = true;
            continue;
        case '}': // a stray closing brace: no comment to end, nothing to keep
            if constexpr (Emit) out->push_back(' ');
            continue;
        case ';': // a comment to the end of the line
            if constexpr (Emit) out->push_back(' ');
            return;
        case '(':
            ++st.VariationDepth;
            continue;
        case ')':
            if (st.VariationDepth > 0 && --st.VariationDepth == 0) {
                if constexpr (Emit) out->push_back(' ');
            }
            continue;
        default:
            break;
        }
        if (st.VariationDepth > 0) continue;
        if constexpr (Emit) {
            if (c == '!' || c == '?') continue;
            if (c == '$' && i + 1 < n && line[i + 1] >= '0' && line[i + 1] <= '9') {
                while (i + 1 < n && line[i + 1] >= '0' && line[i + 1] <= '9')
                    ++i;
                out->push_back(' ');
                continue;
            }
            out->push_back(c == '\t' ? ' ' : c);
        }
    }
}

// Every header field of rec as in fresh (the move slots are left alone).
void ResetHeader(chess::TGameRecord& rec, const chess::TGameRecord& fresh) {
    rec.Version = fresh.Version;
    rec.Event = fresh.Event;
    rec.Site = fresh.Site;
    rec.Date = fresh.Date;
    rec.Round = fresh.Round;
    rec.White = fresh.White;
    rec.Black = fresh.Black;
    rec.Result = fresh.Result;
    rec.WhiteAddress = fresh.WhiteAddress;
    rec.BlackAddress = fresh.BlackAddress;
    rec.WhiteElo = fresh.WhiteElo;
    rec.BlackElo = fresh.BlackElo;
    rec.ECO = fresh.ECO;
    rec.WhiteCountry = fresh.WhiteCountry;
    rec.BlackCountry = fresh.BlackCountry;
    rec.SetupPosition = fresh.SetupPosition;
    rec.SetupEPD = fresh.SetupEPD;
    rec.SetupWhiteFirst = fresh.SetupWhiteFirst;
    rec.Board = fresh.Board;
    rec.MoveCount = fresh.MoveCount;
    rec.CurrentPly = fresh.CurrentPly;
    rec.Reserved547 = fresh.Reserved547;
    rec.NotationFormat = fresh.NotationFormat;
    rec.SendDates = fresh.SendDates;
    rec.Reserved559 = fresh.Reserved559;
    rec.SendDiagram = fresh.SendDiagram;
    rec.MoveListLanguage = fresh.MoveListLanguage;
    rec.BoardReversed = fresh.BoardReversed;
    rec.SendSignature = fresh.SendSignature;
    rec.SendGameFile = fresh.SendGameFile;
    rec.Reserved565 = fresh.Reserved565;
    rec.IfMove = fresh.IfMove;
}

bool HasNonBlank(std::string_view s) {
    for (char c : s)
        if (c != ' ') return true;
    return false;
}

} // namespace

bool IsResultToken(std::string_view token) {
    for (auto r : ResultTokens)
        if (token == r) return true;
    return false;
}

std::string LibraryErrorText(int error) {
    switch (error) {
    case 0:
        return "No error";
    case 1:
        return "Error in memory allocation";
    case 2:
        return "Invalid parameter";
    case 3:
        return "Invalid color";
    case 4:
        return "Invalid field";
    case 5:
        return "Invalid piece type";
    default:
        return "";
    }
}

TPGNReader::TPGNReader() {
    ResetTags();
}

TPGNReader::~TPGNReader() {
    CloseFile();
}

void TPGNReader::ResetTags() {
    for (const auto& k : kTagKinds)
        (this->*k.field).clear();
    for (std::string TPGNReader::*f :
         {&TPGNReader::Event, &TPGNReader::Site, &TPGNReader::Date, &TPGNReader::Round,
          &TPGNReader::White, &TPGNReader::Black, &TPGNReader::Result, &TPGNReader::ECO})
        (this->*f).assign(1, '?');
    MovetextLines.clear();
}

bool TPGNReader::OpenFile(const fs::path& fileName) {
    CloseFile();
    FileName = fileName;
    std::error_code ec;
    if (!fs::is_regular_file(fileName, ec)) return false;
    file_ = std::fopen(fileName.c_str(), "rb");
    if (!file_) return false;
    fileSize_ = fs::file_size(fileName, ec);
    if (ec) fileSize_ = 0;
    buf_.resize(kBufferSize);
    pos_ = len_ = 0;
    eof_ = false;
    consumed_ = 0;
    hasPending_ = false;
    pending_.clear();
    return true;
}

void TPGNReader::CloseFile() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    pos_ = len_ = 0;
    eof_ = true;
    hasPending_ = false;
}

bool TPGNReader::Fill() {
    if (pos_ < len_) return true;
    if (!file_ || eof_) return false;
    len_ = std::fread(buf_.data(), 1, buf_.size(), file_);
    pos_ = 0;
    if (len_ == 0) {
        eof_ = true;
        return false;
    }
    return true;
}

bool TPGNReader::AtEnd() {
    return !Fill();
}

bool TPGNReader::ReadLine(std::string& line) {
    line.clear();
    if (AtEnd()) return false;
    const bool atStart = consumed_ == 0;
    for (;;) {
        const char* start = buf_.data() + pos_;
        // A line never grows beyond kMaxLineBytes: the rest of a longer one
        // is returned by the next calls.
        const size_t avail = std::min(len_ - pos_, kMaxLineBytes - line.size());
        const void* nl = std::memchr(start, '\n', avail);
        if (nl) {
            size_t k = size_t(static_cast<const char*>(nl) - start);
            line.append(start, k);
            pos_ += k + 1;
            consumed_ += k + 1;
            break;
        }
        line.append(start, avail);
        consumed_ += avail;
        pos_ += avail;
        if (line.size() >= kMaxLineBytes || !Fill()) break;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // A UTF-8 byte-order mark at the start of the file is no part of the text.
    if (atStart && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    return true;
}

std::string TPGNReader::TagValue(std::string_view line) {
    size_t q = line.find('"');
    if (q == std::string_view::npos || line.size() < 2) return {};
    size_t end = line.size() - 2;
    if (end <= q + 1) return {};
    return std::string(line.substr(q + 1, end - q - 1));
}

void TPGNReader::StoreTag(std::string_view line) {
    // The first kind of the table whose text the line contains; every text
    // begins with "[", so only those places are tried.
    int best = kTagKindCount;
    for (size_t at = line.find('['); at != std::string_view::npos; at = line.find('[', at + 1)) {
        std::string_view here = line.substr(at);
        for (int k = 0; k < best; ++k) {
            if (StartsWith(here, kTagKinds[k].pattern)) {
                best = k;
                break;
            }
        }
    }
    if (best == kTagKindCount) return;
    const TagKind& kind = kTagKinds[best];
    // Blanks after the closing bracket would otherwise end up in the value.
    this->*kind.field = CutChars(ToUtf8(TagValue(TrimEnd(line))), kind.width);
}

std::string TPGNReader::StripAnnotations(std::string_view line, TStripState& state) {
    std::string out;
    out.reserve(line.size());
    Filter<true>(line, state, &out);
    return out;
}

bool TPGNReader::ReadNextGame(bool readMoves) {
    ResetTags();
    auto cancelled = [this] { return Cancel && Cancel->load(std::memory_order_relaxed); };
    if (!file_ || cancelled()) return false;
    std::string& line = line_;
    std::string_view t;

    // The start of a game: a tag line, or a movetext that begins at move 1.
    if (hasPending_) {
        line.swap(pending_);
        hasPending_ = false;
        t = TrimStart(line);
    } else {
        for (;;) {
            if (!ReadLine(line)) return false;
            t = TrimStart(line);
            if (StartsWith(t, "[") || StartsWith(t, "1.")) break;
        }
    }

    // Tag section: ends at the first line that holds something other than a
    // tag (a move number, a move, a comment, a result).
    if (StartsWith(t, "[")) {
        for (;;) {
            StoreTag(t);
            if (AtEnd()) {
                if (OnMessage) OnMessage(kEndOfFileInTagsText);
                return false;
            }
            ReadLine(line);
            t = TrimStart(line);
            if (!t.empty() && t[0] != '[') break;
        }
    }

    // Movetext, up to the next game's first tag line. A line that begins with
    // "[" outside any comment or variation starts the next game; "[Event "
    // always does, so that an unterminated comment costs one game only.
    TStripState state;
    std::string filtered;
    size_t kept = 0;   // bytes of MovetextLines
    bool full = false; // kMaxMovetextBytes reached: the rest is only scanned
    for (;;) {
        t = TrimStart(line);
        if (!t.empty() && t[0] == '[' && (state.Clean() || StartsWith(t, "[Event "))) {
            pending_.swap(line);
            hasPending_ = true;
            return true;
        }
        if (!line.empty() && line[0] == '%' && !state.InComment) {
            // An escape line: not part of the game.
        } else if (readMoves) {
            filtered.clear();
            Filter<true>(line, state, &filtered);
            if (!full && HasNonBlank(filtered)) {
                full = kept + filtered.size() > kMaxMovetextBytes;
                if (!full) {
                    kept += filtered.size();
                    MovetextLines.push_back(filtered);
                }
            }
        } else {
            Filter<false>(line, state, nullptr);
        }
        if (!ReadLine(line)) return true;
        if (cancelled()) return false;
    }
}

bool TPGNReader::SeekGame(long count, bool readMoves) {
    if (!file_) return false;
    std::rewind(file_);
    pos_ = len_ = 0;
    eof_ = false;
    consumed_ = 0;
    hasPending_ = false;
    pending_.clear();
    if (count < 1) return true;
    for (long i = 1; i <= count; ++i) {
        if (AtEnd() && !hasPending_) return false;
        // The N-th call counts whatever it found; an earlier miss ends the seek.
        if (!ReadNextGame(readMoves) && i < count) return false;
    }
    return true;
}

chess::TMoveRecord TPGNReader::ApplySanMove(const std::string& positionText,
                                            const std::string& token) {
    const int32_t r = QRLpgn2move(positionText.c_str(), token.c_str());
    const int error = QRLgetTRVGerrno();
    if (error != 0 || r == 0 || r == -1)
        throw PGNtoQRLexception(LibraryErrorText(error != 0 ? error : 2));

    const uint32_t v = uint32_t(r);
    const int flags = int((v >> 16) & 0xFF);
    chess::TMoveRecord m{};
    m.From = int8_t(v & 0xFF);
    m.To = int8_t((v >> 8) & 0xFF);
    const int from = m.From, to = m.To;
    // Squares from the library are board squares; anything else is refused.
    if (chess::IsEdgeSquare(from) || chess::IsEdgeSquare(to))
        throw PGNtoQRLexception(LibraryErrorText(2));
    const bool white = mirrorWhite_;
    const int piece = mirror_[size_t(from)];
    m.Piece = uint8_t(piece);
    m.Captured = mirror_[size_t(to)];

    // The rook of a castling move.
    if (piece == chess::kWhiteKing && from == 4 && (to == 6 || to == 2)) {
        mirror_[to == 6 ? 5 : 3] = chess::kWhiteRook;
        mirror_[to == 6 ? 7 : 0] = chess::kEmpty;
    } else if (piece == chess::kBlackKing && from == 74 && (to == 76 || to == 72)) {
        mirror_[to == 76 ? 75 : 73] = chess::kBlackRook;
        mirror_[to == 76 ? 77 : 70] = chess::kEmpty;
    }

    // Disambiguation as written: Nbd7/Nbxd7 by file, R1e2/R1xe2 by rank,
    // Qa1b2/Qa1xb2 by both (so that a game exported again still names the
    // same piece).
    auto isFile = [](char c) { return c >= 'a' && c <= 'h'; };
    auto isRank = [](char c) { return c >= '1' && c <= '8'; };
    if (token.size() >= 3 && (isFile(token[2]) || token[2] == 'x')) {
        if (isFile(token[1])) {
            m.Disambiguation = chess::kDisambiguateFile;
        } else if (token[1] >= '0' && token[1] <= '8') {
            m.Disambiguation = chess::kDisambiguateRank;
        }
    } else if (token.size() >= 4 && isFile(token[1]) && isRank(token[2]) &&
               (isFile(token[3]) || token[3] == 'x')) {
        m.Disambiguation = chess::kDisambiguateFile | chess::kDisambiguateRank;
    }
    if (token.find('+') != std::string::npos) m.Check = 1;
    if (token.find('#') != std::string::npos) {
        m.Annotation = 2;
        m.Check = 1;
    }

    // The promoted piece as the library made it (also for "e8" without "=").
    int promoted = 0;
    if (flags & 2) {
        switch ((v >> 24) & 0xFF) {
        case 2:
            promoted = chess::MakePiece(chess::kWhiteQueen, white);
            break;
        case 3:
            promoted = chess::MakePiece(chess::kWhiteBishop, white);
            break;
        case 4:
            promoted = chess::MakePiece(chess::kWhiteKnight, white);
            break;
        case 5:
            promoted = chess::MakePiece(chess::kWhiteRook, white);
            break;
        default:
            break;
        }
    }
    m.Promotion = uint8_t(promoted);

    if (flags & 1) {
        m.EnPassant = 1;
        const int victim = white ? to - 10 : to + 10;
        if (!chess::IsEdgeSquare(victim)) mirror_[size_t(victim)] = chess::kEmpty;
    }
    mirror_[size_t(from)] = chess::kEmpty;
    mirror_[size_t(to)] = uint8_t(promoted != 0 ? promoted : piece);
    return m;
}

bool TPGNReader::BuildGameRecord() {
    ParseError.clear();
    Notice.clear();
    QRLpgn2move("", "");
    static const chess::TGameRecord kNewGame = chess::TGameRecord::NewGame();
    static const std::array<uint8_t, 78> kStartMirror = [] {
        std::array<uint8_t, 78> a{};
        chess::TChessPosition start;
        for (int s = 0; s < 78; ++s)
            a[size_t(s)] = uint8_t(start.PieceOnSquare(s));
        return a;
    }();
    mirror_ = kStartMirror;
    mirrorWhite_ = true;

    // The record of a new game: the header as NewGame has it and every slot
    // zero (only the slots a conversion may have filled need clearing).
    chess::TGameRecord& rec = GameRecord;
    const int clear = std::max<int>(slotsUsed_, rec.MoveCount);
    for (int k = 0; k < clear && k < int(chess::kMaxMoveRecords); ++k)
        rec.Moves[size_t(k)] = {};
    ResetHeader(rec, kNewGame);
    slotsUsed_ = 0;
    rec.Version = chess::kGameFileVersion;
    rec.MoveCount = 0;
    rec.CurrentPly = 0;
    rec.Event = CutChars(Event, 40);
    rec.Site = CutChars(Site, 40);
    rec.Date = CutChars(Date, 40);
    rec.Round = CutChars(Round, 2);
    rec.White = CutChars(White, 40);
    rec.Black = CutChars(Black, 40);
    rec.Result = CutChars(Result, 10);
    rec.WhiteElo = CutChars(WhiteELO, 4);
    rec.BlackElo = CutChars(BlackELO, 4);
    rec.WhiteAddress = CutChars(WhiteNA, 80);
    rec.BlackAddress = CutChars(BlackNA, 80);
    rec.WhiteCountry = CutChars(WhiteCountry, 3);
    rec.BlackCountry = CutChars(BlackCountry, 3);
    rec.ECO = CutChars(ECO, 10);
    if (!FEN.empty()) {
        rec.SetupPosition = 1;
        std::string text = FEN;
        if (text.find(" w") == std::string::npos && text.find(" b") == std::string::npos)
            text = CutChars(text + " w", 89);
        rec.SetupEPD = text;
        chess::TChessPosition setup;
        if (!setup.MakeBoardFromEPD(text, rec.Board)) {
            // A set-up the game window cannot show would be replayed from the
            // wrong position: refuse the game rather than store it.
            rec.Board = chess::TGameRecord::NewGame().Board;
            ParseError = "Error parsing \rFEN        : [" + FEN + "]";
            return true;
        }
        for (int s = 0; s < 78; ++s)
            mirror_[size_t(s)] = uint8_t(setup.PieceOnSquare(s));
        rec.SetupWhiteFirst = setup.WhiteOnMove() ? 1 : 0;
    }
    const bool blackFirst = rec.SetupPosition == 1 && rec.SetupWhiteFirst == 0;
    const std::string noPosition;

    int ply = 1;
    std::string token;
    for (const std::string& line : MovetextLines) {
        std::string_view work = line;
        size_t semi = work.find(';');
        if (semi != std::string_view::npos) work = work.substr(0, semi);
        for (;;) {
            work = TrimStart(work);
            if (work.empty()) break;
            std::string_view tok;
            size_t blank = work.find(' ');
            if (blank != std::string_view::npos) {
                tok = work.substr(0, blank + 1);
                work = work.substr(blank + 1);
            } else {
                tok = work;
                work = {};
            }
            tok = Trim(tok);
            for (size_t dot = tok.find('.'); dot != std::string_view::npos; dot = tok.find('.'))
                tok = tok.substr(dot + 1);
            tok = Trim(tok);
            if (tok.empty()) continue;
            if (tok == "0-0") {
                tok = "O-O";
            } else if (tok == "0-0-0") {
                tok = "O-O-O";
            } else if (tok == "0-0+") {
                tok = "O-O+";
            } else if (tok == "0-0-0+") {
                tok = "O-O-O+";
            }
            mirrorWhite_ = blackFirst ? ply % 2 == 0 : ply % 2 == 1;
            if (tok[0] == '$') continue;
            // A result ends the movetext; the library would refuse it anyway.
            if (IsResultToken(tok)) return true;
            if (ply > int(chess::kMaxMoveRecords)) {
                Notice = kTooManyHalfMovesText;
                return true;
            }
            token.assign(tok);
            try {
                const std::string& position =
                    (ply == 1 && rec.SetupPosition == 1) ? rec.SetupEPD : noPosition;
                rec.Moves[size_t(ply - 1)] = ApplySanMove(position, token);
            } catch (const std::exception&) {
                if (DebugMode) WriteParseLog(ProgramFolder);
                ParseError = "Error parsing \rMove Num   : " + std::to_string((ply + 1) / 2) +
                             "\rMove       : [" + token + "]";
                return true;
            }
            rec.MoveCount = uint16_t(ply);
            slotsUsed_ = ply;
            ++ply;
        }
    }
    return true;
}

bool TPGNReader::WriteParseLog(const fs::path& programFolder) const {
    std::string text;
    for (const auto& l : MovetextLines) {
        text += l;
        text += "\r\n";
    }
    return AtomicWriteFile(programFolder / "pgn.log", text);
}

} // namespace quorel::pgn
