// The download worker against a real HTTP server on loopback, through Wine's own WinInet.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "LoopbackHttpServer.h"
#include "RecordingListener.h"
#include "TestFiles.h"
#include "VersionResource.h"
#include "base/AnsiPath.h"
#include "base/UniqueHandle.h"
#include "download/DownloadWorker.h"
#include "download/ReadBuffer.h"

namespace {

std::string Pattern(size_t size)
{
    std::string bytes(size, '\0');
    unsigned value = 12345;
    for (char& byte : bytes) {
        value = value * 1103515245u + 12345u;
        byte = static_cast<char>(value >> 16);
    }
    return bytes;
}

std::string Slashed(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void EmptyDirectory(const std::string& directory)
{
    CreateDirectoryA(directory.c_str(), nullptr);
    for (const std::string& name : FileNames(directory)) DeleteFileA((directory + "\\" + name).c_str());
}

std::wstring Widen(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                    static_cast<int>(wide.size())));
    return wide;
}

// The files in a folder the ANSI calls cannot name.
std::vector<std::wstring> WideFileNames(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const FindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(search.Get(), &found));
    return names;
}

int ThreadsInThisProcess()
{
    const FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    }
    return count;
}

using Calls = std::vector<std::string>;
const Calls kFailed{RecordingListener::StateCall(StateFailed), "release"};

constexpr DWORD kOutcomeWaitMs = 20000;

// Each test gets its own empty temporary folder through TMP and TEMP, so every file the
// worker leaves behind is seen.
class DownloadWorkerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string root = ORB_BUILD_DIR "/download-temp";
        CreateDirectoryA(root.c_str(), nullptr);
        UseTempFolder(root + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(server.Listening());
    }

    void TearDown() override
    {
        worker.reset();
        for (RecordingListener* listener : listeners) {
            // The worker gave back exactly the one reference it was handed.
            EXPECT_EQ(listener->Releases(), 1) << listener->GetUrl();
            EXPECT_EQ(listener->RefCount(), 1) << listener->GetUrl();
            listener->Release();
        }
        SetEnvironmentVariableA("TMP", nullptr);
        SetEnvironmentVariableA("TEMP", nullptr);
    }

    void UseTempFolder(const std::string& directory)
    {
        tempFolder = directory;
        std::replace(tempFolder.begin(), tempFolder.end(), '/', '\\');  // as GetTempPathA gives it
        EmptyDirectory(tempFolder);
        SetEnvironmentVariableA("TMP", tempFolder.c_str());
        SetEnvironmentVariableA("TEMP", tempFolder.c_str());
    }

    void StartWorker()
    {
        worker = std::make_unique<DownloadWorker>();
        ASSERT_TRUE(worker->Start());
    }

    // Hands the worker a listener with one reference of its own; the test keeps another.
    RecordingListener* Enqueue(const std::string& url)
    {
        auto* listener = new RecordingListener(url);
        listeners.push_back(listener);
        listener->AddRef();
        EXPECT_TRUE(worker->Enqueue(listener, url.c_str()));
        return listener;
    }

    static Calls Ready(const std::string& path)
    {
        return {"file:" + path, RecordingListener::StateCall(StateReady), "release"};
    }

    LoopbackHttpServer server;
    std::string tempFolder;
    std::unique_ptr<DownloadWorker> worker;
    std::vector<RecordingListener*> listeners;
};

TEST_F(DownloadWorkerTest, HttpAnswersBecomeTemporaryFilesOrFailures)
{
    std::string large = Pattern(3 * 1024 * 1024 + 17);
    server.Serve("/large.obv", HttpResponse{200, large});
    // Arrives a piece at a time, so the reads take whatever has come so far.
    std::string trickled = Pattern(100 * 1000 + 7);
    HttpResponse trickle{200, trickled};
    trickle.trickleBytes = 1000;
    trickle.trickleDelayMs = 1;
    server.Serve("/trickled.obv", trickle);
    server.Serve("/empty.obv", HttpResponse{200, ""});
    server.Serve("/missing.obv", HttpResponse{404, "no such resource"});
    server.Serve("/broken.obv", HttpResponse{500, "broken"});
    StartWorker();

    RecordingListener* full = Enqueue(server.Url("/large.obv"));
    RecordingListener* empty = Enqueue(server.Url("/empty.obv"));
    RecordingListener* missing = Enqueue(server.Url("/missing.obv"));
    RecordingListener* broken = Enqueue(server.Url("/broken.obv"));
    RecordingListener* pieces = Enqueue(server.Url("/trickled.obv"));
    for (RecordingListener* listener : listeners) ASSERT_TRUE(listener->WaitForRelease(kOutcomeWaitMs));

    std::string fullPath = full->LocalFile();
    std::string emptyPath = empty->LocalFile();
    EXPECT_EQ(full->Calls(), Ready(fullPath));
    EXPECT_EQ(empty->Calls(), Ready(emptyPath));
    EXPECT_EQ(missing->Calls(), kFailed);
    EXPECT_EQ(broken->Calls(), kFailed);
    EXPECT_NE(full->ReleasingThread(), GetCurrentThreadId());

    EXPECT_TRUE(ReadFile(fullPath) == large) << "the downloaded bytes differ";
    EXPECT_TRUE(FileExists(emptyPath));
    EXPECT_EQ(ReadFile(emptyPath), "");
    std::string piecesPath = pieces->LocalFile();
    EXPECT_EQ(pieces->Calls(), Ready(piecesPath));
    EXPECT_TRUE(ReadFile(piecesPath) == trickled) << "the trickled bytes differ";
    // Only the delivered files exist: the failed answers left nothing behind.
    std::vector<std::string> files = FileNames(tempFolder);
    ASSERT_EQ(files.size(), 3u);
    for (const std::string& name : files) EXPECT_EQ(name.substr(0, 3), "orb");
    EXPECT_EQ(fullPath.rfind(tempFolder, 0), 0u) << fullPath;

    // The version the program's version resource states, which is the plug-in's.
    ASSERT_FALSE(server.UserAgents().empty());
    for (const std::string& agent : server.UserAgents()) {
        EXPECT_EQ(agent, "Orbolanth Player Resource Downloader (Version " + ShortVersion(ProgramPath()) + " - Win32)");
    }

    worker.reset();
    EXPECT_FALSE(FileExists(fullPath));
    EXPECT_FALSE(FileExists(emptyPath));
    EXPECT_FALSE(FileExists(piecesPath));
    EXPECT_TRUE(FileNames(tempFolder).empty());
}

TEST_F(DownloadWorkerTest, FiveRequestsRunFourAtATime)
{
    HttpResponse held{200, Pattern(64 * 1024)};
    held.held = true;
    for (int i = 0; i < 5; ++i) server.Serve("/slow" + std::to_string(i) + ".obv", held);
    StartWorker();

    for (int i = 0; i < 5; ++i) Enqueue(server.Url("/slow" + std::to_string(i) + ".obv"));
    ASSERT_TRUE(server.WaitForStarted(4, kOutcomeWaitMs));
    // While four answers are held back, the fifth request waits in the queue.
    Sleep(1000);
    EXPECT_EQ(server.Started(), 4);
    EXPECT_EQ(server.Active(), 4);

    server.ReleaseHeld(1);
    ASSERT_TRUE(server.WaitForStarted(5, kOutcomeWaitMs));
    EXPECT_GE(server.Finished(), 1);
    server.ReleaseHeld(4);
    for (RecordingListener* listener : listeners) {
        ASSERT_TRUE(listener->WaitForRelease(kOutcomeWaitMs));
        EXPECT_EQ(listener->Calls(), Ready(listener->LocalFile()));
    }
    EXPECT_EQ(server.MaxActive(), 4);
}

TEST_F(DownloadWorkerTest, StopFailsTheRunningDownloadAndLaterRequestsFailAtDestruction)
{
    HttpResponse trickle{200, Pattern(1024 * 1024)};
    trickle.trickleBytes = 1024;
    trickle.trickleDelayMs = 50;  // most of a minute for the whole body
    server.Serve("/trickle.obv", trickle);
    StartWorker();

    RecordingListener* running = Enqueue(server.Url("/trickle.obv"));
    ASSERT_TRUE(server.WaitForStarted(1, kOutcomeWaitMs));
    Sleep(500);
    std::vector<std::string> partial = FileNames(tempFolder);
    ASSERT_EQ(partial.size(), 1u);

    DWORD before = GetTickCount();
    worker->Stop();
    DWORD stopMs = GetTickCount() - before;
    // The body comes 1 KB every 50 ms: the thread sees the stop after the next piece, so this
    // bound is generous. A read that asked for more than had arrived would wait for all of it
    // (64 KB take three seconds here) and go past it.
    EXPECT_LE(stopMs, 1000u);
    // The thread ended by itself and cleaned up: Stop answers for a terminated one from its
    // own thread.
    EXPECT_EQ(running->Calls(), kFailed);
    EXPECT_NE(running->ReleasingThread(), GetCurrentThreadId());
    EXPECT_TRUE(FileNames(tempFolder).empty());

    RecordingListener* late = Enqueue(server.Url("/trickle.obv"));
    worker->Stop();
    Sleep(200);
    EXPECT_TRUE(late->Calls().empty());
    worker.reset();
    EXPECT_EQ(late->Calls(), kFailed);
    EXPECT_EQ(late->ReleasingThread(), GetCurrentThreadId());
    EXPECT_EQ(server.Started(), 1);
}

// The server sends its headers and then nothing: the read blocks, and Wine's WinInet neither
// cancels it when the session is closed nor applies the session's receive time-out to it, so
// Stop has to terminate the thread. It must still answer for the request, leave no file, and
// leave nothing locked that a later worker in the same process needs.
TEST_F(DownloadWorkerTest, StopStillAnswersForAThreadItHadToTerminate)
{
    HttpResponse stalled{200, Pattern(4096)};
    stalled.held = true;
    server.Serve("/stalled.obv", stalled);
    std::string body = Pattern(2 * ReadBuffer::kCapacity + 5);
    server.Serve("/after.obv", HttpResponse{200, body});
    StartWorker();

    RecordingListener* listener = Enqueue(server.Url("/stalled.obv"));
    ASSERT_TRUE(server.WaitForStarted(1, kOutcomeWaitMs));
    Sleep(300);
    ASSERT_EQ(FileNames(tempFolder).size(), 1u);

    DWORD before = GetTickCount();
    worker->Stop();
    EXPECT_LE(GetTickCount() - before, DownloadWorker::kStopWaitMs + 1000);
    EXPECT_EQ(listener->Calls(), kFailed);
    EXPECT_EQ(listener->ReleasingThread(), GetCurrentThreadId());
    EXPECT_TRUE(FileNames(tempFolder).empty());
    worker.reset();
    EXPECT_TRUE(FileNames(tempFolder).empty());
    EXPECT_EQ(listener->Calls(), kFailed);

    StartWorker();
    RecordingListener* after = Enqueue(server.Url("/after.obv"));
    ASSERT_TRUE(after->WaitForRelease(kOutcomeWaitMs));
    EXPECT_EQ(after->Calls(), Ready(after->LocalFile()));
    EXPECT_TRUE(ReadFile(after->LocalFile()) == body) << "the downloaded bytes differ";
    server.ReleaseHeld(1);
}

TEST_F(DownloadWorkerTest, FileUrlsGiveLocalPathsThatAreNeverDeleted)
{
    std::string own = Slashed(tempFolder) + "/My World.obvm";
    std::ofstream(own) << "the user's own applet";
    std::string ownUrl = "file:///" + Slashed(tempFolder) + "/My%20World.obvm";
    StartWorker();

    RecordingListener* spaced = Enqueue("file:///C:/Applets/My%20World.obvm");
    RecordingListener* shared = Enqueue("file://server/share/a.obvm");
    RecordingListener* upper = Enqueue("FILE:///C:/Applets/a.obvm");
    RecordingListener* slashes = Enqueue("file:///");
    RecordingListener* existing = Enqueue(ownUrl);
    for (RecordingListener* listener : listeners) ASSERT_TRUE(listener->WaitForRelease(kOutcomeWaitMs));

    EXPECT_EQ(spaced->Calls(), Ready("C:/Applets/My World.obvm"));
    EXPECT_EQ(shared->Calls(), Ready("server/share/a.obvm"));
    EXPECT_EQ(upper->Calls(), Ready("C:/Applets/a.obvm"));
    EXPECT_EQ(slashes->Calls(), Ready(""));
    EXPECT_EQ(existing->Calls(), Ready(own));
    EXPECT_EQ(server.Started(), 0);

    worker.reset();
    EXPECT_EQ(ReadFile(own), "the user's own applet");
    EXPECT_EQ(FileNames(tempFolder), std::vector<std::string>{"My World.obvm"});
}

// A profile named in another script: its temporary folder has letters the ANSI code page
// lacks, so GetTempPathA gives a name with '?' in it that no narrow call can open.
TEST_F(DownloadWorkerTest, ATemporaryFolderOutsideTheAnsiCodePageStillTakesDownloads)
{
    std::wstring folder = Widen(ORB_BUILD_DIR "\\download-temp\\")
                          + L"\u0412\u0440\u0435\u043c\u044f \u4e00\u6642";
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const std::wstring& name : WideFileNames(folder)) DeleteFileW((folder + L"\\" + name).c_str());
    SetEnvironmentVariableW(L"TMP", folder.c_str());
    SetEnvironmentVariableW(L"TEMP", folder.c_str());
    char narrow[MAX_PATH + 1] = {};
    ASSERT_NE(GetTempPathA(MAX_PATH, narrow), 0u);
    std::cout << "GetTempPathA gives " << narrow << " (ANSI code page " << GetACP() << ")\n";
    ASSERT_EQ(GetFileAttributesA(narrow), INVALID_FILE_ATTRIBUTES) << "the ANSI code page spells " << narrow;

    std::string body = Pattern(200 * 1000);
    server.Serve("/far.obv", HttpResponse{200, body});
    StartWorker();
    RecordingListener* listener = Enqueue(server.Url("/far.obv"));
    ASSERT_TRUE(listener->WaitForRelease(kOutcomeWaitMs));
    std::string path = listener->LocalFile();
    ASSERT_EQ(listener->Calls(), Ready(path));
    std::cout << "the renderer is handed " << path << "\n";

    // The renderer opens it with the narrow calls.
    FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr) << path;
    std::fclose(file);
    FileHandle handle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(handle.Valid()) << path;
    handle.Reset();
    EXPECT_TRUE(ReadFile(path) == body) << "the downloaded bytes differ";
    // ... and it is in that folder, where the worker deletes it again.
    EXPECT_EQ(WideFileNames(folder).size(), 1u);
    worker.reset();
    EXPECT_TRUE(WideFileNames(folder).empty());
}

// A healthy server that takes seconds to answer (a busy shared host, one waking up) is
// waited for as long as WinInet waits by itself.
TEST_F(DownloadWorkerTest, AServerThatTakesSecondsToAnswerIsWaitedFor)
{
    std::string body = Pattern(100 * 1000);
    HttpResponse slow{200, body};
    slow.answerDelayMs = 4500;
    server.Serve("/slow.obv", slow);
    StartWorker();

    DWORD before = GetTickCount();
    RecordingListener* listener = Enqueue(server.Url("/slow.obv"));
    ASSERT_TRUE(listener->WaitForRelease(kOutcomeWaitMs));
    EXPECT_GE(GetTickCount() - before, slow.answerDelayMs);
    EXPECT_EQ(listener->Calls(), Ready(listener->LocalFile()));
    EXPECT_TRUE(ReadFile(listener->LocalFile()) == body) << "the downloaded bytes differ";
}

// With no time-out of ours, a server that has not answered yet still cannot hold up Stop
// longer than its wait for the threads.
TEST_F(DownloadWorkerTest, StopIsBoundedWhileAServerHasNotAnsweredYet)
{
    HttpResponse silent{200, Pattern(1000)};
    silent.answerDelayMs = 60000;
    server.Serve("/silent.obv", silent);
    StartWorker();
    RecordingListener* listener = Enqueue(server.Url("/silent.obv"));
    ASSERT_TRUE(server.WaitForStarted(1, kOutcomeWaitMs));

    DWORD before = GetTickCount();
    worker->Stop();
    EXPECT_LE(GetTickCount() - before, DownloadWorker::kStopWaitMs + 1000);
    EXPECT_EQ(listener->Calls(), kFailed);
    EXPECT_TRUE(FileNames(tempFolder).empty());
}

// Which characters a code page spells decides whether a path can go to the renderer. UTF-8
// (a system that uses it as its ANSI code page) and UTF-7 spell them all, and refuse the
// way the others are asked.
TEST(ToCodePage, GivesTheTextOnlyWhenTheCodePageSpellsEveryCharacter)
{
    const std::wstring cyrillic = L"\u0412\u0440\u0435\u043c\u044f";
    const std::wstring mixed = cyrillic + L" \u4e00\u6642";
    const struct {
        unsigned codePage;
        std::wstring wide;
        bool spelled;
    } cases[] = {
        {1252, L"C:\\Temp\\Caf\u00e9\\", true},
        {1252, cyrillic, false},
        {1252, L"\u0100", false},  // best fit would make it 'A'
        {1251, cyrillic, true},
        {1251, mixed, false},
        {CP_UTF8, mixed, true},
        {CP_UTF7, mixed, true},
    };
    for (const auto& c : cases) {
        std::string text;
        ASSERT_EQ(ToCodePage(c.wide, c.codePage, text), c.spelled) << c.codePage;
        if (!c.spelled) continue;
        std::wstring back(c.wide.size() + 1, L'\0');
        back.resize(MultiByteToWideChar(c.codePage, 0, text.c_str(), -1, &back[0], static_cast<int>(back.size())));
        EXPECT_EQ(back, c.wide + L'\0') << c.codePage;
    }
}

// Run by its own CTest entry in a process whose ANSI code page is UTF-8: there every folder
// name is spelled as it is, and the downloads land in it.
class Utf8AnsiCodePage : public DownloadWorkerTest {};

TEST_F(Utf8AnsiCodePage, DownloadsGoToATemporaryFolderNamedInAnyScript)
{
    ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8));
    std::wstring folder = Widen(ORB_BUILD_DIR "\\download-temp\\") + L"utf8 \u0412\u0440\u0435\u043c\u044f \u4e00\u6642";
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const std::wstring& name : WideFileNames(folder)) DeleteFileW((folder + L"\\" + name).c_str());
    SetEnvironmentVariableW(L"TMP", folder.c_str());
    SetEnvironmentVariableW(L"TEMP", folder.c_str());

    std::string body = Pattern(50 * 1000);
    server.Serve("/utf8.obv", HttpResponse{200, body});
    StartWorker();
    RecordingListener* listener = Enqueue(server.Url("/utf8.obv"));
    ASSERT_TRUE(listener->WaitForRelease(kOutcomeWaitMs));
    ASSERT_EQ(listener->Calls(), Ready(listener->LocalFile()));
    EXPECT_NE(listener->LocalFile().find("utf8 \xd0\x92\xd1\x80"), std::string::npos)
        << "not the folder's own name: " << listener->LocalFile();
    EXPECT_TRUE(ReadFile(listener->LocalFile()) == body) << "the downloaded bytes differ";
    EXPECT_EQ(WideFileNames(folder).size(), 1u);
    worker.reset();
    EXPECT_TRUE(WideFileNames(folder).empty());
}

// The temporary folder is a 256 KB volume (a tmpfs the test's fixture mounts): a download
// larger than that fills it, and the write into the temporary file fails as on a full disk.
TEST_F(DownloadWorkerTest, AFailedWriteFailsTheDownloadAndRemovesTheFile)
{
    UseTempFolder(ORB_SMALL_VOLUME);
    ULARGE_INTEGER available, total;
    ASSERT_TRUE(GetDiskFreeSpaceExA(tempFolder.c_str(), &available, &total, nullptr));
    ASSERT_LT(total.QuadPart, 1024u * 1024u) << "the small volume is not mounted at " << tempFolder;

    server.Serve("/big.obv", HttpResponse{200, Pattern(1024 * 1024)});
    server.Serve("/small.obv", HttpResponse{200, Pattern(10 * 1024)});
    StartWorker();

    RecordingListener* big = Enqueue(server.Url("/big.obv"));
    ASSERT_TRUE(big->WaitForRelease(kOutcomeWaitMs));
    EXPECT_EQ(big->Calls(), kFailed);
    EXPECT_TRUE(FileNames(tempFolder).empty());

    // The space it took is free again, so a download that fits still works there.
    RecordingListener* small = Enqueue(server.Url("/small.obv"));
    ASSERT_TRUE(small->WaitForRelease(kOutcomeWaitMs));
    EXPECT_EQ(small->Calls(), Ready(small->LocalFile()));
}

// Runs only with WININET.DLL disabled for the process (its own CTest entry).
TEST(WithoutWinInet, StartFailsAndNoThreadRuns)
{
    const LoadedModule wininet(LoadLibraryA("WININET.DLL"));
    ASSERT_FALSE(wininet.Valid());
    int threadsBefore = ThreadsInThisProcess();
    auto worker = std::make_unique<DownloadWorker>();
    EXPECT_FALSE(worker->Start());
    EXPECT_EQ(ThreadsInThisProcess(), threadsBefore);

    auto* listener = new RecordingListener("http://127.0.0.1:1/a.obv");
    listener->AddRef();
    EXPECT_TRUE(worker->Enqueue(listener, listener->GetUrl()));
    worker.reset();
    EXPECT_EQ(listener->Calls(), kFailed);
    EXPECT_EQ(listener->RefCount(), 1);
    listener->Release();
}

}  // namespace
