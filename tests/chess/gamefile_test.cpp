// The game file against hand-built bytes: loading field by field, saving byte
// for byte, the old-date conversion, the refusals, the atomic save, the notes
// file, default names, thinking time and the previous-format conversion.
#include "chess/gamerecord.h"
#include "chess_test_util.h"
#include "chess/position.h"
#include "platform/datetime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sys/resource.h>

namespace {

using namespace quorel::chess;

// A fresh folder per test, removed afterwards.
class TempFolder {
  public:
    TempFolder() {
        std::string tmpl = (fs::temp_directory_path() / "quorel-chess-XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
void WriteBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

using quorel::chess::testing::Bytes;

const TBoardRecord kInitialBoard = TChessPosition().GetBoard();

// A game file of two half-moves with every header field set.
Bytes HandBuiltGame(double received1, double replied1) {
    Bytes f(676 + 2 * 42);
    f.Str(0, "QRL300")
        .Str(7, "Club Championship")
        .Str(48, "Z\xFCrich") // "Zürich" in Windows-1252
        .Str(89, "2026.12.07")
        .Str(130, "3")
        .Str(133, "Smith, J.")
        .Str(174, "M\xFCller")
        .Str(215, "1/2-1/2")
        .Str(226, "smith@example.org")
        .Str(307, "mueller@example.net")
        .Str(388, "2100")
        .Str(393, "1985")
        .Str(398, "C20")
        .Str(409, "ENG")
        .Str(413, "GER")
        .U8(417, 1)
        .Str(418, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - ")
        .U8(508, 1)
        .Raw(509, kInitialBoard.data(), 34)
        .U16(543, 2)
        .U16(545, 1)
        .U8(557, 3)
        .U8(558, 1)
        .U8(559, 1)
        .U8(560, 1)
        .U8(561, 2)
        .U8(562, 1)
        .U8(563, 0)
        .U8(564, 1)
        .Str(575, "if 2...Nc6 then 3.Bb5");
    // Record 1: e2-e4 "!", Penalization -2.
    f.U8(676 + 0, 14).U8(676 + 1, 34).U8(676 + 3, 3).U8(676 + 4, 1);
    f.F64(676 + 18, received1).F64(676 + 26, replied1).U8(676 + 34, 0xFE);
    // Record 2: e7-e5 with the rank bit and Check set.
    const size_t r2 = 676 + 42;
    f.U8(r2 + 0, 64).U8(r2 + 1, 44).U8(r2 + 4, 7).U8(r2 + 6, 0x10).U8(r2 + 8, 1);
    f.F64(r2 + 18, 36601.0).F64(r2 + 26, 36603.75).U8(r2 + 34, 5);
    return f;
}

TEST(GameFileLoad, EveryFieldFromHandBuiltBytes) {
    TempFolder dir;
    WriteBytes(dir.path() / "game.qrl", HandBuiltGame(36600.5, 730194.0).b);
    TGameRecord rec;
    const TLoadResult r = LoadFromFile(dir.path(), "game.qrl", rec);
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Path, dir.path() / "game.qrl");
    EXPECT_EQ(rec.Version, "QRL300");
    EXPECT_EQ(rec.Event, "Club Championship");
    EXPECT_EQ(rec.Site, "Zürich");
    EXPECT_EQ(rec.Date, "2026.12.07");
    EXPECT_EQ(rec.Round, "3");
    EXPECT_EQ(rec.White, "Smith, J.");
    EXPECT_EQ(rec.Black, "Müller");
    EXPECT_EQ(rec.Result, "1/2-1/2");
    EXPECT_EQ(rec.WhiteAddress, "smith@example.org");
    EXPECT_EQ(rec.BlackAddress, "mueller@example.net");
    EXPECT_EQ(rec.WhiteElo, "2100");
    EXPECT_EQ(rec.BlackElo, "1985");
    EXPECT_EQ(rec.ECO, "C20");
    EXPECT_EQ(rec.WhiteCountry, "ENG");
    EXPECT_EQ(rec.BlackCountry, "GER");
    EXPECT_EQ(rec.SetupPosition, 1);
    EXPECT_EQ(rec.SetupEPD, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - ");
    EXPECT_EQ(rec.SetupWhiteFirst, 1);
    EXPECT_EQ(rec.Board, kInitialBoard);
    EXPECT_EQ(rec.MoveCount, 2);
    EXPECT_EQ(rec.CurrentPly, 1);
    EXPECT_EQ(rec.NotationFormat, 3);
    EXPECT_EQ(rec.SendDates, 1);
    EXPECT_EQ(rec.Reserved559, 1);
    EXPECT_EQ(rec.SendDiagram, 1);
    EXPECT_EQ(rec.MoveListLanguage, 2);
    EXPECT_EQ(rec.BoardReversed, 1);
    EXPECT_EQ(rec.SendSignature, 0);
    EXPECT_EQ(rec.SendGameFile, 1);
    EXPECT_EQ(rec.IfMove, "if 2...Nc6 then 3.Bb5");
    const TMoveRecord& m1 = rec.Move(1);
    EXPECT_EQ(m1.From, 14);
    EXPECT_EQ(m1.To, 34);
    EXPECT_EQ(m1.Annotation, 3);
    EXPECT_EQ(m1.Piece, 1);
    EXPECT_EQ(m1.Received, 36600.5) << "a current date is kept";
    EXPECT_EQ(m1.Replied, 36600.0) << "a date of an earlier version is reduced by 693594";
    EXPECT_EQ(m1.Penalization, -2);
    const TMoveRecord& m2 = rec.Move(2);
    EXPECT_EQ(m2.Disambiguation, 0x10);
    EXPECT_EQ(m2.Check, 1);
    EXPECT_EQ(m2.Replied, 36603.75);
    EXPECT_EQ(m2.Penalization, 5);
    EXPECT_EQ(rec.Move(3), TMoveRecord{}) << "slots above MoveCount are zero";
}

TEST(GameFileLoad, OldDateConversionRule) {
    const double rows[][2] = {
        {36600.5, 36600.5}, {730194.0, 36600.0}, {693594.0, 693594.0}, {693594.9, 693594.9},
        {693595.25, 1.25},  {0.0, 0.0},          {-5.5, -5.5},
    };
    for (auto [stored, loaded] : rows)
        EXPECT_DOUBLE_EQ(ConvertOldDate(stored), loaded) << stored;
}

struct RefusedRow {
    const char* name;
    std::string bytes;
};

TEST(GameFileLoad, RefusedFilesReportDataFileNotValid) {
    const std::string good = HandBuiltGame(36600.5, 36601.5).b;
    std::string badVersion = good;
    badVersion[6] = '1'; // "QRL301"
    std::string badLength = good;
    badLength[0] = 5; // "QRL30"
    std::string tooMany = Bytes(676 + 401 * 42).b;
    std::memcpy(tooMany.data(), good.data(), 676);
    tooMany[543] = char(401 & 0xFF);
    tooMany[544] = char(401 >> 8);
    const RefusedRow rows[] = {
        {"CutShortByOneByte", good.substr(0, good.size() - 1)},
        {"HeaderOnlyPart", good.substr(0, 600)},
        {"Empty", ""},
        {"WrongVersion", badVersion},
        {"WrongLengthByte", badLength},
        {"MoreThan400Records", tooMany},
    };
    for (const RefusedRow& row : rows) {
        TempFolder dir;
        WriteBytes(dir.path() / "bad.qrl", row.bytes);
        TGameRecord rec;
        const TLoadResult r = LoadFromFile(dir.path(), "bad.qrl", rec);
        EXPECT_FALSE(r.Ok) << row.name;
        ASSERT_EQ(r.Messages.size(), 1u) << row.name;
        EXPECT_EQ(EnglishMessage(r.Messages[0]),
                  "Data file not valid or not found : " + (dir.path() / "bad.qrl").string())
            << row.name;
    }
    TempFolder dir;
    TGameRecord rec;
    EXPECT_FALSE(LoadFromFile(dir.path(), "missing.qrl", rec).Ok);
}

TEST(GameFileLoad, CurrentPlyAboveMoveCountIsMoveCount) {
    TempFolder dir;
    Bytes f = HandBuiltGame(1.0, 2.0);
    f.U16(545, 7);
    WriteBytes(dir.path() / "g.qrl", f.b);
    TGameRecord rec;
    ASSERT_TRUE(LoadFromFile(dir.path(), "g.qrl", rec).Ok);
    EXPECT_EQ(rec.CurrentPly, 2);
}

TEST(GameFileLoad, NamesWithoutCaseAndWithoutFolderParts) {
    TempFolder dir;
    WriteBytes(dir.path() / "Game One.qrl", HandBuiltGame(1.0, 2.0).b);
    TGameRecord rec;
    EXPECT_TRUE(LoadFromFile(dir.path(), "GAME ONE.QRL", rec).Ok);
    EXPECT_TRUE(LoadFromFile(dir.path(), "/elsewhere/../game one.QRL", rec).Ok);
    const TLoadResult r = LoadFromFile(dir.path(), "../../etc/passwd", rec);
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Path.parent_path(), dir.path());
}

TEST(GameFileLoad, StringLengthBeyondCapacityReadsCapacity) {
    TempFolder dir;
    Bytes f = HandBuiltGame(1.0, 2.0);
    f.Str(130, "12", 200); // Round: string[2] with a length byte of 200
    WriteBytes(dir.path() / "g.qrl", f.b);
    TGameRecord rec;
    ASSERT_TRUE(LoadFromFile(dir.path(), "g.qrl", rec).Ok);
    EXPECT_EQ(rec.Round, "12");
}

// ---------------------------------------------------------------------------
TEST(GameFileSave, ByteForByteAgainstHandBuiltImage) {
    TempFolder dir;
    TGameRecord rec = TGameRecord::NewGame();
    rec.Event = std::string(45, 'E'); // cut to 40
    rec.Site = "Café €";              // é and € exist in Windows-1252
    rec.White = "Ωmega";              // Ω does not: its nearest letter, O
    rec.Black = "Jones";
    rec.Result = ""; // saved as "*"
    rec.WhiteAddress = "w@example.org";
    rec.SetupEPD = "8/8/8/8/8/8/8/4K2k w - -";
    rec.SendDates = 1;
    rec.IfMove = "if 1...e5";
    rec.MoveCount = 1;
    rec.CurrentPly = 1;
    rec.Move(1).From = 14;
    rec.Move(1).To = 34;
    rec.Move(1).Piece = 1;
    rec.Move(1).Received = 46000.5;
    rec.Move(1).Replied = 46002.25;
    rec.Move(1).Penalization = -3;
    rec.Move(2).From = 64; // beyond MoveCount: not written
    const TSaveResult r = SaveToFile(dir.path(), "test.QRL", rec, "first line\nsecond é\n");
    ASSERT_TRUE(r.Ok) << r.Error;

    Bytes f(676 + 42);
    f.Str(0, "QRL300")
        .Str(7, std::string(40, 'E'))
        .Str(48, "Caf\xE9 \x80")
        .Str(133, "Omega")
        .Str(174, "Jones")
        .Str(215, "*")
        .Str(226, "w@example.org")
        .Str(418, "8/8/8/8/8/8/8/4K2k w - -")
        .Raw(509, kInitialBoard.data(), 34)
        .U16(543, 1)
        .U16(545, 1)
        .U8(558, 1)
        .Str(575, "if 1...e5");
    f.U8(676, 14).U8(677, 34).U8(680, 1).F64(676 + 18, 46000.5).F64(676 + 26, 46002.25);
    f.U8(676 + 34, 0xFD);
    EXPECT_EQ(ReadBytes(dir.path() / "test.QRL"), f.b);
    EXPECT_EQ(ReadBytes(dir.path() / "test.TXT"), "first line\r\nsecond \xE9\r\n");
    EXPECT_EQ(rec.Version, "QRL300");
    EXPECT_EQ(rec.Result, "*");
}

TEST(GameFileSave, CutToCapacityMatchesWhatIsStored) {
    TGameRecord rec;
    rec.Event = std::string(45, 'E');
    rec.Round = "123";
    rec.White = "Ωmega é";
    rec.WhiteCountry = "ÉÉÉÉ";
    rec.CutToCapacity();
    EXPECT_EQ(rec.Event, std::string(40, 'E'));
    EXPECT_EQ(rec.Round, "12");
    EXPECT_EQ(rec.White, "Omega é");
    EXPECT_EQ(rec.WhiteCountry, "ÉÉÉ");
}

TEST(GameFileSave, EmptyGameIsExactlyTheHeader) {
    TempFolder dir;
    TGameRecord rec = TGameRecord::NewGame();
    ASSERT_TRUE(SaveToFile(dir.path(), "empty.qrl", rec, "").Ok);
    EXPECT_EQ(fs::file_size(dir.path() / "empty.qrl"), 676u);
    EXPECT_EQ(fs::file_size(dir.path() / "empty.TXT"), 0u);
}

TEST(GameFileSave, LoadThenSaveKeepsEveryByte) {
    TempFolder dir;
    Bytes f = HandBuiltGame(36600.5, 36601.5);
    const uint8_t reserved[] = {1, 2, 3};
    f.Raw(547, reserved, 3).Raw(565, reserved, 3).Raw(676 + 9, reserved, 3);
    f.Raw(676 + 42 + 35, reserved, 3);
    WriteBytes(dir.path() / "a.qrl", f.b);
    TGameRecord rec;
    ASSERT_TRUE(LoadFromFile(dir.path(), "a.qrl", rec).Ok);
    ASSERT_TRUE(SaveToFile(dir.path(), "b.qrl", rec, "").Ok);
    EXPECT_EQ(ReadBytes(dir.path() / "b.qrl"), f.b);
}

TEST(GameFileSave, ExistingNamesAreMatchedWithoutCase) {
    TempFolder dir;
    WriteBytes(dir.path() / "game.qrl", "old");
    WriteBytes(dir.path() / "game.txt", "old notes");
    TGameRecord rec = TGameRecord::NewGame();
    const TSaveResult r = SaveToFile(dir.path(), "GAME.QRL", rec, "new notes");
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Path, dir.path() / "game.qrl");
    EXPECT_EQ(ReadBytes(dir.path() / "game.txt"), "new notes\r\n");
    int files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 2) << "no second file beside the one that differs in case";
}

// A save that cannot complete (here: the file size limit is hit while the
// temporary file is written) leaves the old game file exactly as it was.
TEST(GameFileSave, FailureKeepsTheOldFile) {
    TempFolder dir;
    TGameRecord rec = TGameRecord::NewGame();
    ASSERT_TRUE(SaveToFile(dir.path(), "keep.qrl", rec, "notes").Ok);
    const std::string before = ReadBytes(dir.path() / "keep.qrl");
    rec.MoveCount = 60;
    for (int k = 1; k <= 60; ++k)
        rec.Move(k).From = int8_t(k);

    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 2000; // the new file needs 676 + 60 * 42 = 3196 bytes
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const TSaveResult r = SaveToFile(dir.path(), "keep.qrl", rec, "notes");
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(r.Ok);
    ASSERT_EQ(r.Messages.size(), 1u);
    EXPECT_EQ(r.Messages[0].Key, "@ErrorWrittingToFile");
    EXPECT_EQ(EnglishMessage(r.Messages[0]), "Error writing to file");
    EXPECT_EQ(ReadBytes(dir.path() / "keep.qrl"), before);
    int files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 2) << "no temporary file left behind";
}

TEST(GameFileSave, MissingFolderIsAFailure) {
    TempFolder dir;
    TGameRecord rec;
    EXPECT_FALSE(SaveToFile(dir.path() / "nope", "x.qrl", rec, "").Ok);
    EXPECT_FALSE(SaveToFile(dir.path(), "", rec, "").Ok);
}

// ---------------------------------------------------------------------------
TEST(NotesFile, CreatedEmptyWhenMissingAndReadBack) {
    TempFolder dir;
    std::string notes = "stale";
    ASSERT_TRUE(LoadNotesFile(dir.path(), "G.QRL", notes));
    EXPECT_EQ(notes, "");
    EXPECT_TRUE(fs::exists(dir.path() / "G.TXT"));
    WriteBytes(dir.path() / "G.TXT", "a\r\nb \xE9\r\n");
    ASSERT_TRUE(LoadNotesFile(dir.path(), "g.qrl", notes));
    EXPECT_EQ(notes, "a\nb é\n");
    TUserMessage m;
    EXPECT_FALSE(LoadNotesFile(dir.path() / "nope", "g.qrl", notes, &m));
    EXPECT_EQ(m.Key, "@TextFileNotLoaded");
}

TEST(NotesFile, CarriedOverOnSaveAs) {
    TempFolder dir;
    WriteBytes(dir.path() / "old.txt", "keep me");
    WriteBytes(dir.path() / "NEW.TXT", "stale");
    ASSERT_TRUE(CarryNotesOver(dir.path(), "old.qrl", "new.QRL"));
    EXPECT_EQ(ReadBytes(dir.path() / "NEW.TXT"), "keep me");
    EXPECT_EQ(ReadBytes(dir.path() / "old.txt"), "keep me");
}

TEST(CopyFileInBlocks, CopiesEveryByte) {
    TempFolder dir;
    std::string data;
    for (int i = 0; i < 5000; ++i)
        data += char(i * 7);
    WriteBytes(dir.path() / "a", data);
    ASSERT_TRUE(CopyFile(dir.path() / "a", dir.path() / "b"));
    EXPECT_EQ(ReadBytes(dir.path() / "b"), data);
    EXPECT_FALSE(CopyFile(dir.path() / "missing", dir.path() / "c"));
}

// ---------------------------------------------------------------------------
TEST(BulkHeaderReader, MessagesAndNoDateConversion) {
    TempFolder dir;
    WriteBytes(dir.path() / "g.qrl", HandBuiltGame(36600.5, 730194.0).b);
    Bytes foreign(676);
    foreign.Str(0, "QRL200");
    WriteBytes(dir.path() / "f.qrl", foreign.b);
    WriteBytes(dir.path() / "s.qrl", "short");
    TGameRecord rec;
    std::string message;
    ASSERT_TRUE(ReadGameHeader(dir.path(), "g.qrl", rec, &message));
    EXPECT_EQ(rec.Move(1).Replied, 730194.0);
    EXPECT_EQ(rec.Black, "Müller");
    EXPECT_FALSE(ReadGameHeader(dir.path(), "f.qrl", rec, &message));
    EXPECT_EQ(message, "Data file not valid : f.qrl");
    EXPECT_FALSE(ReadGameHeader(dir.path(), "s.qrl", rec, &message));
    EXPECT_EQ(message, "Error loading file : s.qrl");
    EXPECT_FALSE(ReadGameHeader(dir.path(), "none.qrl", rec, &message));
    EXPECT_EQ(message, "Error loading file : none.qrl");
}

TEST(IsGameFileMark, PreviousFormatOnly) {
    TempFolder dir;
    WriteBytes(dir.path() / "old.qrl", std::string("\x06QUOREL") + std::string(100, '\0'));
    WriteBytes(dir.path() / "new.qrl", HandBuiltGame(1, 2).b);
    WriteBytes(dir.path() / "tiny.qrl", "\x06QUO");
    std::string message;
    EXPECT_TRUE(IsGameFile(dir.path(), "OLD.QRL", &message));
    EXPECT_FALSE(IsGameFile(dir.path(), "new.qrl", &message));
    EXPECT_FALSE(IsGameFile(dir.path(), "tiny.qrl", &message));
    EXPECT_EQ(message, "Error Loading : tiny.qrl");
}

// ---------------------------------------------------------------------------
struct NameRow {
    const char* name;
    const char* white;
    const char* black;
    const char* expected;
};
void PrintTo(const NameRow& r, std::ostream* os) {
    *os << r.name;
}

class DefaultName : public ::testing::TestWithParam<NameRow> {};

TEST_P(DefaultName, Rules) {
    TempFolder dir;
    const NameRow& r = GetParam();
    EXPECT_EQ(DefaultGameFileName(dir.path(), r.white, r.black), r.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DefaultName,
    ::testing::Values(
        NameRow{"CommaAndPointBecomeBlanks", "Smith, J.", "", "SMITH  J  - UNKNOWN (1).QRL"},
        NameRow{"BothEmpty", "", "", "UNKNOWN - UNKNOWN (1).QRL"},
        NameRow{"SlashesCannotLeaveTheFolder", "../../etc/x", "a\\b", "      ETC X - A B (1).QRL"},
        NameRow{"ControlCharacters", "Tab\tNew\nLine", "Nul\x7f", "TAB NEW LINE - NUL  (1).QRL"},
        NameRow{"AccentedLettersUpperCase", "José Müller", "Škoda œ",
                "JOSÉ MÜLLER - ŠKODA Œ (1).QRL"},
        NameRow{"CutToFortyCharacters", "ABCDEFGHIJABCDEFGHIJABCDEFGHIJABCDEFGHIJXYZ", "b",
                "ABCDEFGHIJABCDEFGHIJABCDEFGHIJABCDEFGHIJ - B (1).QRL"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DefaultNameNumber, NextFreeNumberWithoutCase) {
    TempFolder dir;
    WriteBytes(dir.path() / "smith  j  - unknown (1).qrl", "x");
    EXPECT_EQ(DefaultGameFileName(dir.path(), "Smith, J.", ""), "SMITH  J  - UNKNOWN (2).QRL");
    WriteBytes(dir.path() / "SMITH  J  - UNKNOWN (2).QRL", "x");
    EXPECT_EQ(DefaultGameFileName(dir.path(), "Smith, J.", ""), "SMITH  J  - UNKNOWN (3).QRL");
}

// ---------------------------------------------------------------------------
double Day(int y, int m, int d, double time = 0.0) {
    return quorel::EncodeDate(y, m, d) + time;
}

TEST(ThinkingTime, DaysPerMoveAndClampedTotals) {
    struct Row {
        double received, replied;
        int penalization;
        long raw, shown;
    } rows[] = {
        {Day(2026, 3, 30), Day(2026, 4, 2), -1, 2, 2},             // White
        {Day(2026, 4, 2), Day(2026, 3, 30), 0, -3, 0},             // Black
        {Day(2026, 1, 1, 0.999), Day(2026, 1, 2, 0.001), 0, 1, 1}, // White: days, not hours
        {Day(2026, 2, 27), Day(2026, 3, 1), 0, 2, 2},              // Black: across February
        {Day(2024, 2, 27), Day(2024, 3, 1), 3, 6, 6},              // White: leap year
        {Day(2026, 5, 1), Day(2026, 5, 3), -9, -7, 0},             // Black
    };
    TGameRecord rec;
    rec.MoveCount = 6;
    for (int k = 1; k <= 6; ++k) {
        rec.Move(k).Received = rows[k - 1].received;
        rec.Move(k).Replied = rows[k - 1].replied;
        rec.Move(k).Penalization = int8_t(rows[k - 1].penalization);
    }
    for (int k = 1; k <= 6; ++k) {
        EXPECT_EQ(MoveThinkingTime(rec, k), rows[k - 1].raw) << k;
        EXPECT_EQ(ShownMoveThinkingTime(rec, k), rows[k - 1].shown) << k;
    }
    TThinkingTotals t = ThinkingTotals(rec);
    EXPECT_EQ(t.White, 2 + 1 + 6);
    EXPECT_EQ(t.Black, -3 + 2 - 7);
    EXPECT_EQ(t.ShownWhite(), 9);
    EXPECT_EQ(t.ShownBlack(), 0);

    // Black moved first in a set-up game: record 1 is Black's.
    rec.SetupPosition = 1;
    rec.SetupWhiteFirst = 0;
    t = ThinkingTotals(rec);
    EXPECT_EQ(t.Black, 9);
    EXPECT_EQ(t.White, -8);
}

TEST(ThinkingTime, DayNumberAndGarbageDates) {
    EXPECT_EQ(DayNumberOf(Day(2000, 1, 1)), 2451545);
    EXPECT_EQ(DayNumberOf(Day(1899, 12, 30, 0.75)), 2415019);
    EXPECT_EQ(DayNumberOf(std::nan("")), 0);
    EXPECT_EQ(DayNumberOf(1e300), 0);
    TGameRecord rec;
    rec.MoveCount = 1;
    rec.Move(1).Received = -1e300;
    rec.Move(1).Replied = Day(2000, 1, 1);
    EXPECT_GT(MoveThinkingTime(rec, 1), 0);
}

// ---------------------------------------------------------------------------
// A previous-format block: 2745 bytes at the old offsets.
Bytes OldGame(uint16_t moveCount, uint16_t currentPly) {
    Bytes o(2745);
    o.Str(0, "QUOREL")
        .Str(7, "Old Event")
        .Str(48, "Old Site")
        .Str(89, "1996.05.01")
        .Str(130, "Old White")
        .Str(171, "1-0")
        .Str(182, "w@old.example")
        .Str(2465, "7")
        .U8(2468, 1)
        .Str(2469, "b@old.example")
        .Str(2570, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3")
        .U16(2651, moveCount)
        .U16(2653, currentPly)
        .U8(2655, 1)
        .U8(2656, 1)
        .U8(2657, 3)
        .U8(2658, 1)
        .U8(2659, 1)
        .Str(2695, "Old Black")
        .U8(2736, 1);
    for (int k = 0; k < 200; ++k)
        for (int i = 0; i < 11; ++i)
            o.U8(size_t(265 + 11 * k + i), uint8_t(k + i + 1));
    return o;
}

TEST(PreviousFormat, ConvertedFileAgainstHandBuiltImage) {
    TempFolder dir;
    const std::string old = OldGame(30, 30).b;
    WriteBytes(dir.path() / "OLD1.QRL", old);
    const std::string current = HandBuiltGame(1, 2).b;
    WriteBytes(dir.path() / "current.qrl", current);

    std::vector<TUserMessage> messages;
    EXPECT_EQ(ImportOldFiles(dir.path(), messages), 1);
    std::vector<std::string> texts;
    for (const auto& m : messages)
        texts.push_back(EnglishMessage(m));
    const std::vector<std::string> expectedTexts = {
        "Old QRL file version : OLD1.QRL",
        "1 games imported. Your former QRL files have been saved as *.OLD"};
    EXPECT_EQ(texts, expectedTexts);

    TBoardRecord board{};
    TChessPosition pos(TBoardRecord{});
    ASSERT_TRUE(
        pos.MakeBoardFromEPD("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3", board));
    Bytes f(676 + 30 * 42);
    f.Str(0, "QRL300")
        .Str(7, "Old Event")
        .Str(48, "Old Site")
        .Str(89, "1996.05.01")
        .Str(130, "7")
        .Str(133, "Old White")
        .Str(174, "Old Black")
        .Str(215, "1-0")
        .Str(226, "w@old.example")
        .Str(307, "b@old.example")
        .Raw(509, board.data(), 34)
        .U16(543, 30)
        .U16(545, 30)
        .U8(558, 1)
        .U8(559, 1)
        .U8(560, 1)
        .U8(561, 3)
        .U8(562, 1)
        .U8(563, 1)
        .U8(564, 1);
    for (int k = 0; k < 30; ++k)
        for (int i = 0; i < 11; ++i)
            f.U8(size_t(676 + 42 * k + i), uint8_t(k + i + 1));
    const std::string converted = ReadBytes(dir.path() / "OLD1.QRL");
    EXPECT_EQ(converted.size(), 676u + 30 * 42);
    EXPECT_EQ(converted, f.b);
    EXPECT_EQ(ReadBytes(dir.path() / "OLD1.old"), old);
    EXPECT_EQ(ReadBytes(dir.path() / "current.qrl"), current);

    TGameRecord rec;
    ASSERT_TRUE(LoadFromFile(dir.path(), "old1.qrl", rec).Ok);
    EXPECT_EQ(rec.Move(30).Received, 0.0) << "converted records carry zero dates";
    EXPECT_EQ(ShownMoveThinkingTime(rec, 30), 0);

    messages.clear();
    EXPECT_EQ(ImportOldFiles(dir.path(), messages), 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(EnglishMessage(messages[0]), "Old QRL files not found");
}

TEST(PreviousFormat, UnusableFilesAreLeftAlone) {
    TempFolder dir;
    const std::string tooMany = OldGame(201, 0).b;
    WriteBytes(dir.path() / "many.qrl", tooMany);
    WriteBytes(dir.path() / "short.qrl", OldGame(3, 3).b.substr(0, 2000));
    std::vector<TUserMessage> messages;
    EXPECT_EQ(ImportOldFiles(dir.path(), messages), 0);
    std::vector<std::string> texts;
    for (const auto& m : messages)
        texts.push_back(EnglishMessage(m));
    const std::vector<std::string> expected = {
        "Old QRL file version : many.qrl", "Data file not valid : many.qrl",
        "Old QRL file version : short.qrl", "Data file not valid : short.qrl",
        "Old QRL files not found"};
    EXPECT_EQ(texts, expected);
    EXPECT_EQ(ReadBytes(dir.path() / "many.qrl"), tooMany);
    EXPECT_FALSE(fs::exists(dir.path() / "many.old"));

    messages.clear();
    EXPECT_EQ(ImportOldFiles(dir.path() / "missing", messages), 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(EnglishMessage(messages[0]), "ERROR : Cannot get games directory");
}

TEST(PreviousFormat, CurrentPlyBeyondMoveCountIsCut) {
    std::string out;
    ASSERT_TRUE(ConvertOldGameBytes(OldGame(4, 9).b, out));
    EXPECT_EQ(out.size(), 676u + 4 * 42);
    EXPECT_EQ(uint8_t(out[545]), 4);
}

} // namespace
