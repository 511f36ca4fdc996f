// The instance's own copies of the browser's stream files, on the real file system.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "TestFiles.h"
#include "base/UniqueHandle.h"
#include "streams/KeptFiles.h"

namespace {

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Variable(const wchar_t* name)
{
    std::vector<wchar_t> value(32768);
    const DWORD length = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    return std::wstring(value.data(), length);
}

// TMP and TEMP point at `folder` for the object's life.
class TempFolderVariables {
public:
    explicit TempFolderVariables(const std::wstring& folder) : tmp_(Variable(L"TMP")), temp_(Variable(L"TEMP"))
    {
        SetEnvironmentVariableW(L"TMP", folder.c_str());
        SetEnvironmentVariableW(L"TEMP", folder.c_str());
    }
    ~TempFolderVariables()
    {
        SetEnvironmentVariableW(L"TMP", tmp_.empty() ? nullptr : tmp_.c_str());
        SetEnvironmentVariableW(L"TEMP", temp_.empty() ? nullptr : temp_.c_str());
    }

private:
    std::wstring tmp_;
    std::wstring temp_;
};

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

// A profile named in another script: GetTempPathA spells its temporary folder with '?',
// which no narrow call can create or open. The files go there all the same, by a path the
// renderer can open.
TEST(KeptFiles, ATemporaryFolderOutsideTheAnsiCodePageStillKeepsFiles)
{
    const std::string source = CacheFile("far.obv", "far bytes");
    wchar_t temp[MAX_PATH + 1] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring folder = std::wstring(temp) + L"kept-\u0412\u0440\u0435\u043c\u044f \u4e00\u6642";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::string path;
    {
        TempFolderVariables variables(folder);
        char narrow[MAX_PATH + 1] = {};
        ASSERT_NE(GetTempPathA(MAX_PATH, narrow), 0u);
        ASSERT_FALSE(Exists(narrow)) << "the ANSI code page spells " << narrow;

        KeptFiles kept;
        path = kept.Keep(source);
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(ReadFile(path), "far bytes");
        // It is in that folder (the short form names the same one).
        WIN32_FIND_DATAW found;
        const FindHandle search(FindFirstFileW((folder + L"\\orbkeep-*").c_str(), &found));
        EXPECT_TRUE(search.Valid());
    }
    EXPECT_FALSE(Exists(path)) << "the folder goes with its owner";
    EXPECT_TRUE(RemoveDirectoryW(folder.c_str())) << "nothing is left in it";
}

// Another copy of the plug-in in this process (a second browser's plug-in folder) numbers
// its folders from 1 as this one does, and an earlier process with the same id may have
// left its folders behind. A folder of the name this module would take next, holding a
// file of the same name, belongs to someone else: nothing in it is replaced or deleted.
TEST(KeptFiles, AFolderOfTheNextNameAlreadyThereIsLeftToItsOwner)
{
    std::string taken;
    {
        KeptFiles earlier;
        ASSERT_FALSE(earlier.Keep(CacheFile("same.obv", "earlier")).empty());
        const std::string& folder = earlier.Folder();
        const size_t dash = folder.rfind('-');
        taken = folder.substr(0, dash + 1) + std::to_string(std::stoul(folder.substr(dash + 1)) + 1);
    }
    const std::string theirs = taken + "\\1\\same.obv";
    ASSERT_TRUE(CreateDirectoryA(taken.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((taken + "\\1").c_str(), nullptr));
    {
        FileHandle file(CreateFileA(theirs.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file.Get(), "theirs", 6, &written, nullptr));
    }

    KeptFiles kept;
    const std::string path = kept.Keep(CacheFile("same.obv", "ours"));
    ASSERT_FALSE(path.empty());
    EXPECT_NE(kept.Folder(), taken);
    EXPECT_EQ(ReadFile(path), "ours");
    EXPECT_EQ(ReadFile(theirs), "theirs");
    kept.Clear();
    EXPECT_EQ(ReadFile(theirs), "theirs");
    DeleteFileA(theirs.c_str());
    RemoveDirectoryA((taken + "\\1").c_str());
    RemoveDirectoryA(taken.c_str());
}

}  // namespace
