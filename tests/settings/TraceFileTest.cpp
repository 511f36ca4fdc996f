// The trace's file as Windows has it: where the TraceFile value sends it (a path the ANSI code
// page cannot spell included), its rollover at the bound, several writers appending to one
// file, and the writer's thread writing what is left when it stops.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "ConfigurationKey.h"
#include "base/TraceBuffer.h"
#include "base/TraceWriter.h"
#include "settings/TraceSetting.h"

namespace {

// A folder of its own under the temp folder, named in Cyrillic; gone with the object.
class TraceFolder {
public:
    TraceFolder()
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"\u0442\u0440\u0430\u0441\u0441\u0430-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder_.c_str(), nullptr);
    }
    ~TraceFolder()
    {
        for (const wchar_t* name : {L"\\trace.log", L"\\trace.log.1"}) DeleteFileW((folder_ + name).c_str());
        RemoveDirectoryW(folder_.c_str());
    }
    std::wstring File() const { return folder_ + L"\\trace.log"; }

private:
    std::wstring folder_;
};

std::string Contents(const std::wstring& path)
{
    std::string text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(no file)";
    char chunk[4096];
    DWORD count = 0;
    while (ReadFile(file, chunk, sizeof chunk, &count, nullptr) && count > 0) text.append(chunk, count);
    CloseHandle(file);
    return text;
}

TEST(TraceFile, TheValueIsReadAsWideTextAndAnEmptyOneIsNoTrace)
{
    ConfigurationKey key;
    std::wstring path;
    EXPECT_FALSE(ConfiguredTraceFile(path));
    const std::wstring wanted = L"C:\\\u0436\u0443\u0440\u043d\u0430\u043b\\trace.log";
    key.SetWideString(kTraceFileValue, wanted);
    ASSERT_TRUE(ConfiguredTraceFile(path));
    EXPECT_EQ(path, wanted);
    key.SetWideString(kTraceFileValue, L"");
    EXPECT_FALSE(ConfiguredTraceFile(path));
}

TEST(TraceFile, PastItsBoundTheFileBecomesTheOlderOneAndANewOneBegins)
{
    TraceFolder folder;
    TraceBuffer buffer;
    TraceWriter writer(folder.File(), buffer, 200);
    const std::string line(98, 'a');  // with its mark and line end, 100 bytes
    auto round = [&](char mark) {
        buffer.Add(std::string(1, mark) + line + "\n");
        writer.WriteBuffered();
    };
    round('1');
    round('2');
    EXPECT_EQ(Contents(folder.File() + L".1"), "(no file)");
    round('3');  // at the bound, not past it: still the same file
    EXPECT_EQ(Contents(folder.File()).size(), 300u);
    round('4');
    EXPECT_EQ(Contents(folder.File()), "4" + line + "\n");
    EXPECT_EQ(Contents(folder.File() + L".1").substr(0, 1), "1");
    round('5');
    round('6');
    round('7');  // rolls again: the older file is replaced
    EXPECT_EQ(Contents(folder.File() + L".1"), "4" + line + "\n" + "5" + line + "\n" + "6" + line + "\n");
    EXPECT_EQ(Contents(folder.File()), "7" + line + "\n");
}

// Two browsers append to one file: neither holds it open between its rounds, and neither
// overwrites the other.
TEST(TraceFile, WritersShareTheFileAndTheThreadWritesWhatIsLeftWhenItStops)
{
    TraceFolder folder;
    TraceBuffer first, second;
    TraceWriter one(folder.File(), first), other(folder.File(), second);
    ASSERT_TRUE(one.Start());
    ASSERT_TRUE(other.Start());
    first.Add("from one\r\n");
    second.Add("from the other\r\n");
    one.Stop();
    other.Stop();
    const std::string text = Contents(folder.File());
    EXPECT_NE(text.find("from one\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("from the other\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.size(), std::string("from one\r\nfrom the other\r\n").size());
}

}  // namespace
