// The game record's byte layout, the game file and notes file, the bulk
// header reader, default names, thinking time and the conversion of
// previous-format files.
#include "chess/gamerecord.h"

#include "platform/binary.h"
#include "platform/codepage.h"
#include "platform/datetime.h"
#include "platform/files.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace quorel::chess {

namespace {

// Header offsets and string capacities.
struct StringField {
    std::string TGameRecord::*member;
    size_t offset, capacity;
};
constexpr StringField kStrings[] = {
    {&TGameRecord::Version, 0, 6},         {&TGameRecord::Event, 7, 40},
    {&TGameRecord::Site, 48, 40},          {&TGameRecord::Date, 89, 40},
    {&TGameRecord::Round, 130, 2},         {&TGameRecord::White, 133, 40},
    {&TGameRecord::Black, 174, 40},        {&TGameRecord::Result, 215, 10},
    {&TGameRecord::WhiteAddress, 226, 80}, {&TGameRecord::BlackAddress, 307, 80},
    {&TGameRecord::WhiteElo, 388, 4},      {&TGameRecord::BlackElo, 393, 4},
    {&TGameRecord::ECO, 398, 10},          {&TGameRecord::WhiteCountry, 409, 3},
    {&TGameRecord::BlackCountry, 413, 3},  {&TGameRecord::SetupEPD, 418, 89},
    {&TGameRecord::IfMove, 575, 100},
};
struct ByteField {
    uint8_t TGameRecord::*member;
    size_t offset;
};
constexpr ByteField kBytes[] = {
    {&TGameRecord::SetupPosition, 417},    {&TGameRecord::SetupWhiteFirst, 508},
    {&TGameRecord::NotationFormat, 557},   {&TGameRecord::SendDates, 558},
    {&TGameRecord::Reserved559, 559},      {&TGameRecord::SendDiagram, 560},
    {&TGameRecord::MoveListLanguage, 561}, {&TGameRecord::BoardReversed, 562},
    {&TGameRecord::SendSignature, 563},    {&TGameRecord::SendGameFile, 564},
};
constexpr size_t kBoardOffset = 509, kMoveCountOffset = 543, kCurrentPlyOffset = 545;
constexpr size_t kReserved547 = 547, kReserved565 = 565;

// Days between 1 January of year 1 and 30 December 1899: the origin of the
// dates of an earlier version.
constexpr double kOldDateShift = 693594.0;

bool HasVersion(const uint8_t* header) {
    return header[0] == 6 && std::memcmp(header + 1, kGameFileVersion, 6) == 0;
}

// The file name without any folder part; "" for names that cannot name a
// file in the folder.
std::string BareName(std::string_view fileName) {
    std::string name = fs::path(std::string(fileName)).filename().string();
    if (name == "." || name == "..") return "";
    return name;
}

// Reads at most limit bytes of path into out. False when it cannot be opened.
bool ReadFilePrefix(const fs::path& path, size_t limit, std::string& out) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(limit, '\0');
    in.read(out.data(), std::streamsize(limit));
    out.resize(size_t(in.gcount()));
    return !in.bad();
}

// Text → lines written with CR LF, in Windows-1252.
std::string NotesToFile(std::string_view notes) {
    std::string out;
    size_t start = 0;
    while (start < notes.size()) {
        size_t end = notes.find('\n', start);
        std::string_view line = notes.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        out += Utf8ToCp1252(line);
        out += "\r\n";
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return out;
}

// Windows-1252 upper case of the letters the code page has in both cases.
std::string UpperCp1252(std::string_view utf8) {
    std::string cp = Utf8ToCp1252(utf8);
    for (char& ch : cp) {
        auto c = uint8_t(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
            c = uint8_t(c - 0x20);
        else if (c == 0x9A || c == 0x9C || c == 0x9E)
            c = uint8_t(c - 0x10);
        else if (c == 0xFF)
            c = 0x9F;
        ch = char(c);
    }
    return Cp1252ToUtf8(cp);
}

// First n UTF-8 characters of s.
std::string FirstChars(const std::string& s, size_t n) {
    size_t i = 0, count = 0;
    while (i < s.size() && count < n) {
        ++i;
        while (i < s.size() && (uint8_t(s[i]) & 0xC0) == 0x80)
            ++i;
        ++count;
    }
    return s.substr(0, i);
}

fs::path ResolveNoCase(const fs::path& folder, const std::string& name) {
    if (auto found = FindFileNoCase(folder, name)) return *found;
    return folder / name;
}

} // namespace

// ---------------------------------------------------------------------------
std::string EnglishText(std::string_view key) {
    static const std::pair<const char*, const char*> kTexts[] = {
        {"@DataFileNotValid", "Data file not valid or not found"},
        {"@ErrorWrittingToFile", "Error writing to file"},
        {"@TextFileNotLoaded", "Cannot load the text file"},
        {"@FileAlreadyExists", "File already exist, overwrite?"},
        {"@OldFilesNotFound", "Old QRL files not found"},
        {"@GamesImportedMessage", "games imported. Your former QRL files have been saved as *.OLD"},
        {"@KingWouldBeInCheck", "The king would be in check"},
        {"@KingInCheck", "The king is in check and cannot castle"},
        {"@KingHasBeenMoved", "The king has already moved and cannot castle"},
    };
    for (const auto& [k, text] : kTexts)
        if (key == k) return text;
    return "";
}

std::string EnglishMessage(const TUserMessage& m) {
    return m.Before + EnglishText(m.Key) + m.After;
}

// ---------------------------------------------------------------------------
TMoveRecord& TGameRecord::Move(int k) {
    if (k < 1 || k > int(kMaxMoveRecords)) throw std::out_of_range("move record number");
    return Moves[size_t(k - 1)];
}

const TMoveRecord& TGameRecord::Move(int k) const {
    if (k < 1 || k > int(kMaxMoveRecords)) throw std::out_of_range("move record number");
    return Moves[size_t(k - 1)];
}

TGameRecord TGameRecord::NewGame() {
    TGameRecord rec;
    TChessPosition pos;
    rec.Board = pos.GetBoard();
    return rec;
}

void TGameRecord::CutToCapacity() {
    for (const StringField& f : kStrings) {
        std::string& text = this->*f.member;
        text = Cp1252ToUtf8(Utf8ToCp1252(text).substr(0, f.capacity));
    }
}

bool TGameRecord::HasTextOutsideCodePage() const {
    for (const StringField& f : kStrings)
        if (NeedsTransliteration(this->*f.member)) return true;
    return false;
}

std::string TGameRecord::HeaderBytes() const {
    std::string out(kGameHeaderSize, '\0');
    auto* p = reinterpret_cast<uint8_t*>(out.data());
    for (const StringField& f : kStrings)
        PutShortString(p + f.offset, f.capacity, this->*f.member);
    if (Result.empty()) PutShortString(p + 215, 10, "*");
    for (const ByteField& f : kBytes)
        p[f.offset] = this->*f.member;
    std::memcpy(p + kBoardOffset, Board.data(), Board.size());
    PutU16(p + kMoveCountOffset, MoveCount);
    PutU16(p + kCurrentPlyOffset, CurrentPly);
    std::memcpy(p + kReserved547, Reserved547.data(), Reserved547.size());
    std::memcpy(p + kReserved565, Reserved565.data(), Reserved565.size());
    return out;
}

void TGameRecord::HeaderFromBytes(const uint8_t* p) {
    for (const StringField& f : kStrings)
        this->*f.member = GetShortString(p + f.offset, f.capacity);
    for (const ByteField& f : kBytes)
        this->*f.member = p[f.offset];
    std::memcpy(Board.data(), p + kBoardOffset, Board.size());
    MoveCount = GetU16(p + kMoveCountOffset);
    CurrentPly = GetU16(p + kCurrentPlyOffset);
    std::memcpy(Reserved547.data(), p + kReserved547, Reserved547.size());
    std::memcpy(Reserved565.data(), p + kReserved565, Reserved565.size());
}

std::string TGameRecord::ToFileBytes() const {
    const size_t count = std::min<size_t>(MoveCount, kMaxMoveRecords);
    std::string out = HeaderBytes();
    if (count != MoveCount)
        PutU16(reinterpret_cast<uint8_t*>(out.data()) + kMoveCountOffset, uint16_t(count));
    out.resize(kGameHeaderSize + count * TMoveRecord::kSize, '\0');
    for (size_t i = 0; i < count; ++i)
        Moves[i].ToBytes(reinterpret_cast<uint8_t*>(out.data()) + kGameHeaderSize +
                         i * TMoveRecord::kSize);
    return out;
}

// ---------------------------------------------------------------------------
bool WhiteToMoveAt(const TGameRecord& rec, int ply) {
    const bool odd = ply % 2 != 0;
    if (rec.SetupPosition == 1 && rec.SetupWhiteFirst == 0) return odd;
    return !odd;
}

bool WhiteToMove(const TGameRecord& rec) {
    return WhiteToMoveAt(rec, rec.CurrentPly);
}

bool IsWhitesRecord(const TGameRecord& rec, int k) {
    return WhiteToMoveAt(rec, k - 1);
}

int FullMoveCount(int moveCount) {
    return moveCount / 2 + (moveCount % 2 != 0 ? 1 : 0);
}

// ---------------------------------------------------------------------------
fs::path GameFilePath(const fs::path& gamesFolder, std::string_view fileName) {
    return ResolveNoCase(gamesFolder, BareName(fileName));
}

double ConvertOldDate(double date) {
    if (std::isfinite(date) && std::trunc(date) > kOldDateShift) return date - kOldDateShift;
    return date;
}

TLoadResult LoadFromBytes(std::string_view bytes, const fs::path& path, TGameRecord& rec) {
    TLoadResult r;
    r.Path = path;
    rec.Clear();
    auto fail = [&] {
        r.Ok = false;
        r.Messages = {TUserMessage{"@DataFileNotValid", "", " : " + path.string()}};
        return r;
    };
    if (bytes.size() < kGameHeaderSize) return fail();
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    rec.HeaderFromBytes(p);
    if (!HasVersion(p)) return fail();
    // A count beyond the record's 400 slots cannot be a file of this program.
    if (rec.MoveCount > kMaxMoveRecords) return fail();
    for (int k = 1; k <= rec.MoveCount; ++k) {
        const size_t at = kGameHeaderSize + size_t(k - 1) * TMoveRecord::kSize;
        if (at + TMoveRecord::kSize > bytes.size()) return fail();
        TMoveRecord m = TMoveRecord::FromBytes(p + at);
        m.Received = ConvertOldDate(m.Received);
        m.Replied = ConvertOldDate(m.Replied);
        rec.Move(k) = m;
    }
    if (rec.CurrentPly > rec.MoveCount) rec.CurrentPly = rec.MoveCount;
    r.Ok = true;
    return r;
}

TLoadResult LoadFromFile(const fs::path& gamesFolder, std::string_view fileName, TGameRecord& rec) {
    const std::string name = BareName(fileName);
    const fs::path path =
        name.empty() ? gamesFolder / std::string(fileName) : ResolveNoCase(gamesFolder, name);
    std::string bytes;
    if (name.empty() || !ReadFilePrefix(path, kGameRecordSize, bytes)) bytes.clear();
    return LoadFromBytes(bytes, path, rec);
}

fs::path NotesFilePath(const fs::path& gamesFolder, std::string_view gameFileName) {
    fs::path name(BareName(gameFileName));
    name.replace_extension(".TXT");
    return ResolveNoCase(gamesFolder, name.string());
}

TSaveResult SaveToFile(const fs::path& gamesFolder, std::string_view fileName, TGameRecord& rec,
                       std::string_view notes) {
    TSaveResult r;
    rec.Version = kGameFileVersion;
    if (rec.Result.empty()) rec.Result = "*";
    const std::string name = BareName(fileName);
    auto fail = [&](std::string error) {
        r.Ok = false;
        r.Error = std::move(error);
        r.Messages = {TUserMessage{"@ErrorWrittingToFile", "", ""}};
        return r;
    };
    if (name.empty()) return fail("no file name");
    r.Path = ResolveNoCase(gamesFolder, name);
    r.NotesPath = NotesFilePath(gamesFolder, name);
    std::string error;
    if (!AtomicWriteFile(r.Path, rec.ToFileBytes(), &error)) return fail(error);
    if (!AtomicWriteFile(r.NotesPath, NotesToFile(notes), &error)) return fail(error);
    r.Ok = true;
    return r;
}

bool LoadNotesFile(const fs::path& gamesFolder, std::string_view gameFileName, std::string& notes,
                   TUserMessage* message) {
    const fs::path path = NotesFilePath(gamesFolder, gameFileName);
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        // Created empty when missing.
        std::ofstream create(path, std::ios::binary);
        notes.clear();
        if (create) return true;
        if (message) *message = TUserMessage{"@TextFileNotLoaded", "", ""};
        return false;
    }
    std::string raw;
    if (!ReadWholeFile(path, raw)) {
        if (message) *message = TUserMessage{"@TextFileNotLoaded", "", ""};
        return false;
    }
    std::string text;
    text.reserve(raw.size());
    for (char c : raw)
        if (c != '\r') text += c;
    notes = Cp1252ToUtf8(text);
    return true;
}

bool CarryNotesOver(const fs::path& gamesFolder, std::string_view oldName,
                    std::string_view newName) {
    const fs::path from = NotesFilePath(gamesFolder, oldName);
    const fs::path to = NotesFilePath(gamesFolder, newName);
    std::error_code ec;
    if (fs::equivalent(from, to, ec)) return true;
    fs::remove(to, ec);
    if (!fs::exists(from, ec)) return true;
    return CopyFile(from, to);
}

bool ReadGameHeader(const fs::path& gamesFolder, std::string_view fileName, TGameRecord& rec,
                    std::string* message) {
    const std::string name = BareName(fileName);
    std::string bytes;
    rec.Clear();
    if (name.empty() || !ReadFilePrefix(ResolveNoCase(gamesFolder, name), kGameRecordSize, bytes) ||
        bytes.size() < kGameHeaderSize) {
        if (message) *message = "Error loading file : " + std::string(fileName);
        return false;
    }
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    rec.HeaderFromBytes(p);
    if (!HasVersion(p) || rec.MoveCount > kMaxMoveRecords) {
        if (message) *message = "Data file not valid : " + std::string(fileName);
        return false;
    }
    bool ok = true;
    for (int k = 1; k <= rec.MoveCount; ++k) {
        const size_t at = kGameHeaderSize + size_t(k - 1) * TMoveRecord::kSize;
        if (at + TMoveRecord::kSize > bytes.size()) {
            ok = false;
            break;
        }
        rec.Move(k) = TMoveRecord::FromBytes(p + at);
    }
    if (rec.CurrentPly > rec.MoveCount) rec.CurrentPly = rec.MoveCount;
    if (!ok && message) *message = "Error loading file : " + std::string(fileName);
    return ok;
}

bool IsGameFile(const fs::path& gamesFolder, std::string_view fileName, std::string* message) {
    const std::string name = BareName(fileName);
    std::string bytes;
    if (name.empty() || !ReadFilePrefix(ResolveNoCase(gamesFolder, name), 7, bytes) ||
        bytes.size() < 7) {
        if (message) *message = "Error Loading : " + std::string(fileName);
        return false;
    }
    return bytes == std::string("\x06") + kOldGameFileMark;
}

std::string DefaultGameFileName(const fs::path& gamesFolder, std::string_view white,
                                std::string_view black) {
    // Names come from opponents and PGN files: nothing in them may make the
    // file name leave the games folder or hold control characters.
    auto clean = [](std::string_view in) {
        std::string s = in.empty() ? std::string("Unknown") : std::string(in);
        for (char& c : s) {
            const auto u = uint8_t(c);
            if (c == ',' || c == '.' || c == '/' || c == '\\' || u < 0x20 || u == 0x7F) c = ' ';
        }
        return FirstChars(s, 40);
    };
    const std::string stem = clean(white) + " - " + clean(black) + " (";
    for (long n = 1;; ++n) {
        const std::string candidate = UpperCp1252(stem + std::to_string(n) + ").QRL");
        if (!FindFileNoCase(gamesFolder, candidate)) return candidate;
    }
}

bool CopyFile(const fs::path& source, const fs::path& destination) {
    std::FILE* in = std::fopen(source.c_str(), "rb");
    if (!in) return false;
    std::FILE* out = std::fopen(destination.c_str(), "wb");
    if (!out) {
        std::fclose(in);
        return false;
    }
    bool ok = true;
    char block[2048];
    for (;;) {
        const size_t n = std::fread(block, 1, sizeof block, in);
        if (n > 0 && std::fwrite(block, 1, n, out) != n) {
            ok = false;
            break;
        }
        if (n < sizeof block) {
            ok = !std::ferror(in);
            break;
        }
    }
    std::fclose(in);
    if (std::fflush(out) != 0) ok = false;
    if (std::fclose(out) != 0) ok = false;
    return ok;
}

// ---------------------------------------------------------------------------
long DayNumberOf(double date) {
    // Years 1..9999 only; anything else (garbage in a file) counts as day 0.
    if (!std::isfinite(date) || date < -693594.0 || date > 2958466.0) return 0;
    return DayNumber(date);
}

long MoveThinkingTime(const TGameRecord& rec, int k) {
    const TMoveRecord& m = rec.Move(k);
    return DayNumberOf(m.Replied) - DayNumberOf(m.Received) + m.Penalization;
}

long ShownMoveThinkingTime(const TGameRecord& rec, int k) {
    const long t = MoveThinkingTime(rec, k);
    return t < 0 ? 0 : t;
}

TThinkingTotals ThinkingTotals(const TGameRecord& rec) {
    TThinkingTotals t;
    const int count = std::min<int>(rec.MoveCount, int(kMaxMoveRecords));
    for (int k = 1; k <= count; ++k)
        (IsWhitesRecord(rec, k) ? t.White : t.Black) += MoveThinkingTime(rec, k);
    return t;
}

// ---------------------------------------------------------------------------
bool ConvertOldGameBytes(std::string_view oldBytes, std::string& newBytes) {
    if (oldBytes.size() < kOldGameFileSize) return false;
    const auto* o = reinterpret_cast<const uint8_t*>(oldBytes.data());
    if (o[0] != 6 || std::memcmp(o + 1, kOldGameFileMark, 6) != 0) return false;
    uint16_t moveCount = GetU16(o + 2651);
    uint16_t currentPly = GetU16(o + 2653);
    if (moveCount > 200) return false; // the old block holds 200 records
    if (currentPly > moveCount) currentPly = moveCount;

    std::string out(kGameHeaderSize + size_t(moveCount) * TMoveRecord::kSize, '\0');
    auto* h = reinterpret_cast<uint8_t*>(out.data());
    PutShortStringRaw(h, 6, kGameFileVersion);
    // String fields are moved as stored bytes (same capacities).
    auto move = [&](size_t from, size_t to, size_t size) { std::memcpy(h + to, o + from, size); };
    move(7, 7, 41);      // Event
    move(48, 48, 41);    // Site
    move(89, 89, 41);    // Date
    move(130, 133, 41);  // White
    move(171, 215, 11);  // Result
    move(182, 226, 81);  // WhiteAddress
    move(2465, 130, 3);  // Round
    h[558] = o[2468];    // SendDates
    move(2469, 307, 81); // BlackAddress
    move(2655, 559, 5);  // option bytes 559..563
    move(2695, 174, 41); // Black
    h[564] = o[2736];    // SendGameFile
    PutU16(h + kMoveCountOffset, moveCount);
    PutU16(h + kCurrentPlyOffset, currentPly);
    // Board from the EPD of the position shown; an EPD that fails leaves it zero.
    TChessPosition pos(TBoardRecord{});
    TBoardRecord board{};
    if (pos.MakeBoardFromEPD(GetShortStringRaw(o + 2570, 80), board))
        std::memcpy(h + kBoardOffset, board.data(), board.size());
    for (size_t k = 0; k < moveCount; ++k)
        std::memcpy(h + kGameHeaderSize + k * TMoveRecord::kSize, o + 265 + k * 11, 11);
    newBytes = std::move(out);
    return true;
}

int ImportOldFiles(const fs::path& gamesFolder, std::vector<TUserMessage>& messages) {
    std::error_code ec;
    if (!fs::is_directory(gamesFolder, ec)) {
        messages.push_back({"", "ERROR : Cannot get games directory", ""});
        return 0;
    }
    int count = 0;
    for (const fs::path& file : ListFilesMatching(gamesFolder, "*.qrl")) {
        const std::string name = file.filename().string();
        std::string error;
        if (!IsGameFile(gamesFolder, name, &error)) {
            if (!error.empty()) messages.push_back({"", error, ""});
            continue;
        }
        messages.push_back({"", "Old QRL file version : " + name, ""});
        std::string oldBytes, newBytes;
        if (!ReadFilePrefix(file, kOldGameFileSize, oldBytes) ||
            !ConvertOldGameBytes(oldBytes, newBytes)) {
            messages.push_back({"", "Data file not valid : " + name, ""});
            continue;
        }
        fs::path oldName = fs::path(name).replace_extension(".old");
        if (!CopyFile(file, ResolveNoCase(gamesFolder, oldName.string())) ||
            !AtomicWriteFile(file, newBytes, &error)) {
            messages.push_back({"@ErrorWrittingToFile", "", " : " + name});
            continue;
        }
        ++count;
    }
    if (count == 0)
        messages.push_back({"@OldFilesNotFound", "", ""});
    else
        messages.push_back({"@GamesImportedMessage", std::to_string(count) + " ", ""});
    return count;
}

} // namespace quorel::chess
