// Nothing outlives a page: every ResourceEntry, StreamRequest and StreamManager is gone
// once the page is closed, whatever became of its requests, no file it kept is left in the
// temporary folder, and opening and closing a page a hundred times leaves the process's
// handles and private memory where they were. The
// plug-in runs in this process with a browser of our own that answers from its loop; the
// scripted renderer is launched for real.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

#include <algorithm>
#include <string>
#include <vector>

#include "InProcessPage.h"
#include "TestFiles.h"
#include "requests/ResourceEntry.h"
#include "requests/ResourceTable.h"
#include "streams/StreamManager.h"
#include "streams/StreamRequest.h"

namespace {

struct LiveObjects {
    long entries = ResourceEntry::Live();
    long requests = StreamRequest::Live();
    long managers = StreamManager::Live();
    std::vector<std::string> tempFiles = TempFiles();
};

// Files and folders in %TEMP% now that were not there `before`.
std::vector<std::string> NewTempFiles(const LiveObjects& before)
{
    std::vector<std::string> added;
    for (const std::string& name : TempFiles()) {
        if (std::find(before.tempFiles.begin(), before.tempFiles.end(), name) == before.tempFiles.end()) {
            added.push_back(name);
        }
    }
    return added;
}

// An old browser, so that a request whose stream never comes is failed by the start
// time-out; the page also holds a mapping nobody asks for, a navigation, a request still
// outstanding when it closes, and requests that finish and fail.
TEST(NoLeaks, PageWithEveryKindOfRequestLeavesNothingBehind)
{
    const LiveObjects before;
    {
        InProcessPage page(0x0008,
                  "ask $applet\nask data/plain.txt\nask sky\nask data/missing.txt\nask data/never.txt\n"
                  "navigate _blank:next.html\nwait\nask data/never-again.txt\npause 300\n",
                  "leaks");
        ASSERT_TRUE(page.Open());
        ASSERT_TRUE(page.RunScript());
        EXPECT_TRUE(page.Script().Reported("delivered id=2 name=\"data/plain.txt\""));
        EXPECT_TRUE(page.Script().Reported("delivered id=3 name=\"sky\""));
        EXPECT_TRUE(page.Script().Reported("failed id=4 name=\"data/missing.txt\""));
        EXPECT_TRUE(page.Script().Reported("failed id=5 name=\"data/never.txt\""));
        // Still there while the page is open: the pinned mapping, the outstanding request.
        EXPECT_GE(ResourceEntry::Live(), before.entries + 2);
        EXPECT_EQ(StreamRequest::Live(), before.requests + 1);
        EXPECT_EQ(StreamManager::Live(), before.managers + 1);
        page.Close();
    }
    EXPECT_EQ(ResourceEntry::Live(), before.entries);
    EXPECT_EQ(StreamRequest::Live(), before.requests);
    EXPECT_EQ(StreamManager::Live(), before.managers);
    EXPECT_EQ(NewTempFiles(before), std::vector<std::string>{});
}

struct Usage {
    DWORD handles = 0;
    SIZE_T privateBytes = 0;
};

// The process's own figures where the system keeps them; Wine leaves both at 0, so then
// the handle table is probed and committed private memory summed region by region.
Usage ProcessUsage()
{
    Usage usage;
    if (!GetProcessHandleCount(GetCurrentProcess(), &usage.handles) || usage.handles == 0) {
        usage.handles = 0;
        DWORD flags;
        for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
            usage.handles += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
        }
    }
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    usage.privateBytes = counters.PrivateUsage;
    if (usage.privateBytes == 0) {
        MEMORY_BASIC_INFORMATION region;
        uintptr_t at = 0;
        while (VirtualQuery(reinterpret_cast<void*>(at), &region, sizeof region) == sizeof region) {
            if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) usage.privateBytes += region.RegionSize;
            const uintptr_t next = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
            if (next <= at) break;
            at = next;
        }
    }
    return usage;
}

// A hundred pages opened and closed, each launching the renderer, which asks for the
// applet, a file and a missing file: handles and private memory stay flat between the
// tenth and the hundredth.
TEST(NoLeaks, HundredPagesKeepHandlesAndMemoryFlat)
{
    const LiveObjects before;
    Usage afterTen;
    for (int cycle = 1; cycle <= 100; ++cycle) {
        InProcessPage page(0x000B, "ask $applet\nask data/plain.txt\nask data/missing.txt\nwait\n", "cycles");
        ASSERT_TRUE(page.Open());
        ASSERT_TRUE(page.RunScript()) << "cycle " << cycle;
        ASSERT_TRUE(page.Script().Reported("delivered id=2 ")) << "cycle " << cycle;
        page.Close();
        if (cycle == 10) afterTen = ProcessUsage();
    }
    const Usage afterHundred = ProcessUsage();
    EXPECT_EQ(ResourceEntry::Live(), before.entries);
    EXPECT_EQ(StreamRequest::Live(), before.requests);
    EXPECT_EQ(StreamManager::Live(), before.managers);
    const std::vector<std::string> leftFiles = NewTempFiles(before);
    std::printf("files left in the temporary folder: %zu\n", leftFiles.size());
    EXPECT_EQ(leftFiles, std::vector<std::string>{});
    std::printf("handles %lu -> %lu, private bytes %lu -> %lu\n", afterTen.handles, afterHundred.handles,
                static_cast<unsigned long>(afterTen.privateBytes),
                static_cast<unsigned long>(afterHundred.privateBytes));
    EXPECT_GT(afterTen.handles, 0u);
    EXPECT_LE(afterHundred.handles, afterTen.handles + 5);
    EXPECT_GT(afterTen.privateBytes, 0u);
    EXPECT_LE(afterHundred.privateBytes, afterTen.privateBytes + 512 * 1024);
}

// A renderer that asks for a new name in every free slot for a minute and never takes a
// delivery: every file is found, so entries pile up behind the full delivery slots until
// the table's bound, and the browser side's memory stops growing there.
TEST(NoLeaks, ARendererThatHoardsForAMinuteCostsBoundedMemory)
{
    const LiveObjects before;
    {
        // Every flood name ("f<n>.obv") is found.
        InProcessPage page(0x000B, "flood 60\n", "hoard", [](const std::string& url) {
            const std::string name = url.substr(url.find_last_of('/') + 1);
            const bool flood = name.size() > 1 && name[0] == 'f' && std::isdigit(static_cast<unsigned char>(name[1]));
            return PageFile(flood ? "data/plain.txt" : url);
        });
        ASSERT_TRUE(page.Open());
        long mostEntries = 0;
        Usage early;
        const DWORD start = GetTickCount();
        const bool done = page.RunScript([&] {
            mostEntries = std::max(mostEntries, ResourceEntry::Live() - before.entries);
            if (early.privateBytes == 0 && GetTickCount() - start > 15000) early = ProcessUsage();
        }, 90000);
        const Usage late = ProcessUsage();
        ASSERT_TRUE(done);
        std::printf("most entries %ld, private bytes %lu at 15 s -> %lu at the end\n", mostEntries,
                    static_cast<unsigned long>(early.privateBytes), static_cast<unsigned long>(late.privateBytes));
        EXPECT_TRUE(page.Script().Reported("flood asked="));
        EXPECT_GE(mostEntries, static_cast<long>(ResourceTable::kEntryLimit) / 2) << "the flood never filled the table";
        EXPECT_LE(mostEntries, static_cast<long>(ResourceTable::kEntryLimit) + 16);
        EXPECT_GT(early.privateBytes, 0u);
        EXPECT_LE(late.privateBytes, early.privateBytes + 2 * 1024 * 1024);
        page.Close();
    }
    EXPECT_EQ(ResourceEntry::Live(), before.entries);
    EXPECT_EQ(StreamRequest::Live(), before.requests);
}

}  // namespace
