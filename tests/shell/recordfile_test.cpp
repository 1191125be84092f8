// TRecordFile against hand-built files: layout, positioning, deletion marks,
// packing and the lock held while a file is open.
#include "platform/recordfile.h"
#include "testutil.h"

#include <cstring>

using namespace quorel;
using namespace shelltest;

namespace {

constexpr size_t kSize = 5; // 4 data bytes + deletion mark; 6 bytes on disk

// One on-disk record: four bytes of c, the mark, then a pad byte.
std::string Rec(char c, char mark = 0, char pad = 0) {
    return std::string(4, c) + mark + pad;
}
std::string BufferText(const TRecordFile& f) {
    return std::string(reinterpret_cast<const char*>(f.Buffer()), f.RecordSize());
}

class RecordFileTest : public ::testing::Test {
  protected:
    TempDir dir;
    fs::path path = dir / "test.lst";
    TRecordFile f;
    void SetUp() override { f.Init(kSize); }
};

} // namespace

TEST_F(RecordFileTest, PositionsAreClampedAndPadBytesIgnored) {
    // Pad bytes that are not zero (as another writer may leave them) are skipped.
    WriteBytes(path, Rec('A', 0, '\x7F') + Rec('B', 0, '\x7F') + Rec('C', 1, '\x7F'));
    ASSERT_TRUE(f.Open(path));
    EXPECT_EQ(f.Count(), 3);
    EXPECT_EQ(f.DiskRecordLength(), 6u);
    struct {
        long go;
        long current;
        char content;
    } rows[] = {{0, 1, 'A'}, {-4, 1, 'A'}, {2, 2, 'B'}, {3, 3, 'C'}, {8, 3, 'C'}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.go);
        f.Go(r.go);
        EXPECT_EQ(f.Current(), r.current);
        EXPECT_EQ(BufferText(f).substr(0, 4), std::string(4, r.content));
    }
    EXPECT_TRUE(f.IsDeleted()); // record 3 carries the mark
    f.Next();                   // at the last record: nothing happens
    EXPECT_EQ(f.Current(), 3);
    f.First();
    f.Next();
    EXPECT_EQ(f.Current(), 2);
    EXPECT_EQ(BufferText(f), std::string(4, 'B') + '\0');
}

TEST_F(RecordFileTest, EmptyFileAndReadAtEndLeaveTheBuffer) {
    WriteBytes(path, "");
    ASSERT_TRUE(f.Open(path));
    EXPECT_EQ(f.Count(), 0);
    EXPECT_EQ(f.Current(), 0);
    f.Buffer()[0] = 'Z';
    f.Next();
    f.Go(1);
    EXPECT_FALSE(f.Read());
    EXPECT_EQ(f.Buffer()[0], 'Z');
    f.ToggleDeleted(); // nothing to toggle
    EXPECT_EQ(ReadBytes(path), "");
    // A trailing partial record is not counted.
    f.Close();
    WriteBytes(path, Rec('A') + "xyz");
    ASSERT_TRUE(f.Open(path));
    EXPECT_EQ(f.Count(), 1);
    TRecordFile closed;
    closed.Init(kSize);
    EXPECT_EQ(closed.Current(), 0);
    EXPECT_EQ(closed.Count(), 0);
}

TEST_F(RecordFileTest, WriteAppendAndToggleProduceTheExactBytes) {
    WriteBytes(path, Rec('A', 0, '\x7F') + Rec('B'));
    ASSERT_TRUE(f.Open(path));
    f.Go(1);
    f.Buffer()[0] = 'a';
    ASSERT_TRUE(f.Write()); // rewrites the pad byte as 0 and stays on record 1
    EXPECT_EQ(f.Current(), 1);
    std::memcpy(f.Buffer(), "NEW!\x01", 5); // Append clears the mark
    ASSERT_TRUE(f.Append());
    EXPECT_EQ(f.Current(), 3);
    EXPECT_EQ(ReadBytes(path),
              "aAAA" + std::string(2, '\0') + Rec('B') + "NEW!" + std::string(2, '\0'));

    f.Go(2);
    f.ToggleDeleted();
    EXPECT_TRUE(f.IsDeleted());
    EXPECT_EQ(ReadBytes(path).substr(6, 6), Rec('B', 1));
    f.ToggleDeleted();
    EXPECT_FALSE(f.IsDeleted());
    EXPECT_EQ(ReadBytes(path).substr(6, 6), Rec('B', 0));

    f.Clear();
    EXPECT_EQ(BufferText(f), std::string(5, '\0'));
    ASSERT_TRUE(f.Truncate());
    EXPECT_EQ(f.Count(), 0);
    EXPECT_EQ(ReadBytes(path), "");
}

TEST_F(RecordFileTest, PackDropsDeletedRecordsAndKeepsModeAndLock) {
    WriteBytes(path, Rec('A', 1) + Rec('B', 0, '\x7F') + Rec('C', 1) + Rec('D'));
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(f.Open(path));
    ASSERT_TRUE(f.Pack());
    EXPECT_EQ(ReadBytes(path), Rec('B') + Rec('D'));
    EXPECT_EQ(f.Count(), 2);
    EXPECT_EQ(f.Current(), 1);
    EXPECT_EQ(BufferText(f), std::string(4, 'B') + '\0');
    EXPECT_EQ(Mode(path), 0600u);
    // No temporary file is left beside the packed one.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    // The packed file is still held against other writers.
    TRecordFile other;
    other.Init(kSize);
    EXPECT_FALSE(other.Open(path));
    EXPECT_TRUE(other.LockedByOther());
    // And it is still the file we write to.
    f.Go(2);
    f.Buffer()[0] = 'd';
    ASSERT_TRUE(f.Write());
    EXPECT_EQ(ReadBytes(path), Rec('B') + "dDDD" + std::string(2, '\0'));
}

TEST_F(RecordFileTest, PackOfOnlyDeletedRecordsLeavesAnEmptyFile) {
    WriteBytes(path, Rec('A', 1) + Rec('B', 1));
    ASSERT_TRUE(f.Open(path));
    f.Go(2);
    ASSERT_TRUE(f.Pack());
    EXPECT_EQ(ReadBytes(path), "");
    EXPECT_EQ(f.Count(), 0);
    EXPECT_EQ(f.Current(), 0);
    EXPECT_EQ(BufferText(f), std::string(5, '\0'));
}

TEST_F(RecordFileTest, AnOpenFileRefusesOtherWritersButNotReaders) {
    WriteBytes(path, Rec('A') + Rec('B'));
    ASSERT_TRUE(f.Open(path));
    TRecordFile second;
    second.Init(kSize);
    EXPECT_FALSE(second.Open(path));
    EXPECT_TRUE(second.LockedByOther());
    EXPECT_FALSE(second.Create(path)); // never truncates a held file
    EXPECT_EQ(f.Count(), 2);
    ASSERT_TRUE(second.OpenReadOnly(path));
    second.Go(2);
    EXPECT_EQ(second.Buffer()[0], 'B');
    EXPECT_FALSE(second.Write());
    EXPECT_FALSE(second.Append());
    second.Close();
    f.Close();
    EXPECT_TRUE(second.Open(path)); // released on close
    EXPECT_FALSE(f.Open(dir / "missing.lst"));
    EXPECT_FALSE(f.LockedByOther());
}

// The program changes its current directory after opening its record files
// (the games folder becomes current), so a file opened under a relative
// name must still be packed where it was opened. Disabled: TRecordFile keeps
// the path as given and packs into the new current directory (reported to
// the platform layer's owner; enable once the open keeps an absolute path).
TEST_F(RecordFileTest, PackAfterTheCurrentDirectoryChanged) {
    KeepCurrentDir keep;
    fs::create_directories(dir / "elsewhere");
    WriteBytes(path, Rec('A', 1) + Rec('B'));
    fs::current_path(dir.path());
    ASSERT_TRUE(f.Open("test.lst"));
    fs::current_path(dir / "elsewhere");
    ASSERT_TRUE(f.Pack());
    EXPECT_EQ(ReadBytes(path), Rec('B'));
    EXPECT_FALSE(fs::exists(dir / "elsewhere" / "test.lst"));
}
