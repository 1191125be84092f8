#include "platform/files.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quorel;

namespace {
struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() / ("quorel-platform-" + std::to_string(::getpid()) + "-" +
                                            std::to_string(reinterpret_cast<uintptr_t>(this)));
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
};
void Touch(const fs::path& p, const std::string& text = "x") {
    std::ofstream(p) << text;
}
} // namespace

TEST(Files, FindsNamesWithoutCase) {
    TempDir dir;
    Touch(dir.path / "Smith-Jones.QRL");
    Touch(dir.path / "smith-jones.txt");
    auto hit = FindFileNoCase(dir.path, "SMITH-JONES.qrl");
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->filename(), "Smith-Jones.QRL");
    EXPECT_FALSE(FindFileNoCase(dir.path, "smith-jones.qr"));
    // An exact match wins over another case variant.
    Touch(dir.path / "smith-jones.qrl");
    EXPECT_EQ(FindFileNoCase(dir.path, "smith-jones.qrl")->filename(), "smith-jones.qrl");
}

TEST(Files, WildcardListing) {
    TempDir dir;
    for (const char* n : {"a.QRL", "b.qrl", "c.qrl.bak", "d.txt", "x.Qrl"})
        Touch(dir.path / n);
    fs::create_directories(dir.path / "sub.qrl");
    auto list = ListFilesMatching(dir.path, "*.qrl");
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].filename(), "a.QRL");
    EXPECT_EQ(list[2].filename(), "x.Qrl");
    EXPECT_TRUE(WildcardMatchNoCase("msg_?.eml", "MSG_7.EML"));
    EXPECT_FALSE(WildcardMatchNoCase("msg_?.eml", "msg_17.eml"));
    EXPECT_TRUE(WildcardMatchNoCase("*", ""));
    EXPECT_TRUE(WildcardMatchNoCase("*.*", "a.b.c"));
}

TEST(Files, AtomicWriteReplacesAndKeepsMode) {
    TempDir dir;
    fs::path f = dir.path / "secret.ini";
    ASSERT_TRUE(AtomicWriteFile(f, "one", nullptr, 0600));
    struct stat st;
    ASSERT_EQ(::stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_TRUE(AtomicWriteFile(f, "two\r\n"));
    std::string text;
    ASSERT_TRUE(ReadWholeFile(f, text));
    EXPECT_EQ(text, "two\r\n");
    ASSERT_EQ(::stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "a rewrite must not widen a secret file's mode";
    // No temporary files left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

TEST(Files, FailedAtomicWriteLeavesOldFileAndReports) {
    TempDir dir;
    fs::path target = dir.path / "game.qrl";
    fs::create_directories(target); // a folder in the way: rename must fail
    Touch(target / "keep", "old");
    std::string err;
    EXPECT_FALSE(AtomicWriteFile(target, "new", &err));
    EXPECT_NE(err.find("game.qrl"), std::string::npos);
    std::string kept;
    ASSERT_TRUE(ReadWholeFile(target / "keep", kept));
    EXPECT_EQ(kept, "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1)
        << "temporary file left behind";
    EXPECT_FALSE(AtomicWriteFile(dir.path / "missing" / "x", "y", &err));
}

TEST(Files, AppendAndLineEnds) {
    TempDir dir;
    fs::path f = dir.path / "pgn.log";
    ASSERT_TRUE(AppendToFile(f, "a\r\n"));
    ASSERT_TRUE(AppendToFile(f, "b\r\n"));
    std::string text;
    ASSERT_TRUE(ReadWholeFile(f, text));
    EXPECT_EQ(text, "a\r\nb\r\n");
    EXPECT_EQ(ToCrLf("x\ny\r\nz\r"), "x\r\ny\r\nz\r\n");
    EXPECT_FALSE(ReadWholeFile(dir.path / "none", text));
}

TEST(Files, DeferredSyncScopesCollectFlushesUntilCommit) {
    TempDir dir;
    EXPECT_EQ(TDeferredSync::Active(), nullptr);
    {
        TDeferredSync outer;
        EXPECT_EQ(TDeferredSync::Active(), &outer);
        EXPECT_FALSE(outer.Pending());
        EXPECT_TRUE(outer.Commit()); // nothing to flush
        {
            TDeferredSync inner;
            EXPECT_EQ(TDeferredSync::Active(), &inner);
            ASSERT_TRUE(AtomicWriteFile(dir.path / "a.mai", "one"));
            ASSERT_TRUE(AppendToFile(dir.path / "b.log", "two"));
            EXPECT_TRUE(inner.Pending());
            EXPECT_FALSE(outer.Pending());
        } // the inner scope hands its notes to the outer one
        EXPECT_EQ(TDeferredSync::Active(), &outer);
        EXPECT_TRUE(outer.Pending());
        std::string text;
        ASSERT_TRUE(ReadWholeFile(dir.path / "a.mai", text)); // written, only not yet flushed
        EXPECT_EQ(text, "one");
        std::string error;
        EXPECT_TRUE(outer.Commit(&error)) << error;
        EXPECT_FALSE(outer.Pending());
    }
    EXPECT_EQ(TDeferredSync::Active(), nullptr);
    // Without a scope every write flushes itself and nothing is noted.
    ASSERT_TRUE(AtomicWriteFile(dir.path / "c.mai", "three"));
    EXPECT_EQ(TDeferredSync::Active(), nullptr);
}
