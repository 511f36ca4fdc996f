// The instance's own copies of the browser's stream files, on the real file system.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "TestFiles.h"
#include "base/UniqueHandle.h"
#include "streams/KeptFiles.h"

namespace {

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(FileNameOf, TakesTheLastSegmentOfEitherSeparator)
{
    EXPECT_EQ(FileNameOf("C:\\cache\\a b.obv"), "a b.obv");
    EXPECT_EQ(FileNameOf("C:/cache\\x/tex.obv"), "tex.obv");
    EXPECT_EQ(FileNameOf("plain.txt"), "plain.txt");
    EXPECT_EQ(FileNameOf("C:\\cache\\"), "stream");
}

class KeptFilesTest : public ::testing::TestWithParam<KeptFiles::Method> {};

// Whichever way a file is kept, the copy outlives the browser's file, keeps its name and
// bytes, and goes when dropped or when the folder is cleared.
TEST_P(KeptFilesTest, CopyOutlivesTheBrowsersFileUntilDroppedOrCleared)
{
    KeptFiles kept;
    const std::string first = CacheFile("first.obv", "first bytes");
    const std::string second = CacheFile("same.obv", "second bytes");
    const std::string a = kept.Keep(first, GetParam());
    const std::string b = kept.Keep(second, GetParam());
    const std::string c = kept.Keep(second, GetParam());
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(c.empty());
    EXPECT_NE(b, c) << "each file asked for again has a copy of its own";
    EXPECT_EQ(FileNameOf(a), "first.obv");
    EXPECT_EQ(FileNameOf(c), "same.obv");
    EXPECT_EQ(a.rfind(kept.Folder(), 0), 0u);
    DeleteFileA(first.c_str());
    DeleteFileA(second.c_str());
    EXPECT_EQ(ReadFile(a), "first bytes");
    EXPECT_EQ(ReadFile(c), "second bytes");
    EXPECT_EQ(kept.Count(), 3u);

    // Different names share a folder; the same name twice never does.
    EXPECT_EQ(a.substr(0, a.size() - 9), b.substr(0, b.size() - 8));
    kept.Drop(b);
    EXPECT_FALSE(Exists(b));
    EXPECT_TRUE(Exists(c));
    EXPECT_EQ(kept.Keep(CacheFile("same.obv", "third bytes"), GetParam()), b) << "a dropped name is free again";
    EXPECT_EQ(ReadFile(b), "third bytes");
    const std::string folder = kept.Folder();
    kept.Clear();
    EXPECT_FALSE(Exists(a));
    EXPECT_FALSE(Exists(c));
    EXPECT_FALSE(Exists(folder));
    EXPECT_EQ(kept.Count(), 0u);
}

// Someone still reading a file when it is dropped: it stays, its name is not handed out
// again meanwhile, and it goes with the folder.
TEST_P(KeptFilesTest, AFileStillOpenStaysUntilCleared)
{
    KeptFiles kept;
    const std::string source = CacheFile("open.obv", "open bytes");
    const std::string path = kept.Keep(source, GetParam());
    ASSERT_FALSE(path.empty());
    {
        FileHandle reader(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(reader);
        kept.Drop(path);
        EXPECT_TRUE(Exists(path));
        EXPECT_EQ(kept.Count(), 1u);
        const std::string again = kept.Keep(source, GetParam());
        EXPECT_FALSE(again.empty());
        EXPECT_NE(again, path);
    }
    kept.Clear();
    EXPECT_FALSE(Exists(path));
}

INSTANTIATE_TEST_SUITE_P(Methods, KeptFilesTest,
                         ::testing::Values(KeptFiles::Method::LinkOrCopy, KeptFiles::Method::LinkOnly,
                                           KeptFiles::Method::CopyOnly));

TEST(KeptFiles, MissingFileOrTooLongAPathKeepsNothing)
{
    KeptFiles kept;
    EXPECT_EQ(kept.Keep(""), "");
    EXPECT_EQ(kept.Keep(CacheFile("gone.obv") + ".missing"), "");
    EXPECT_EQ(kept.Keep(CacheFile(std::string(240, 'n') + ".obv")), "");
    EXPECT_EQ(kept.Count(), 0u);
    std::string scopedFolder;
    std::string scopedPath;
    {
        KeptFiles scoped;
        scopedPath = scoped.Keep(CacheFile("scoped.obv"));
        ASSERT_FALSE(scopedPath.empty());
        scopedFolder = scoped.Folder();
        EXPECT_TRUE(Exists(scopedPath));
    }
    EXPECT_FALSE(Exists(scopedPath)) << "the folder goes with its owner";
    EXPECT_FALSE(Exists(scopedFolder));
}

}  // namespace
