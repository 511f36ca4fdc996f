#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include <windows.h>

namespace {

const char kOrbit[] = ORB_SOURCE_DIR "/samples/applets/orbit.obvm";

// A visible window of this process that the renderer is told to draw into, as the browser's
// plug-in window would be.
class TargetWindow {
public:
    TargetWindow(int width, int height)
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = "OrbRendererTestTarget";
        RegisterClassA(&wc);
        RECT rect = {0, 0, width, height};
        AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
        window = CreateWindowA(wc.lpszClassName, "target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                               rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, wc.hInstance,
                               nullptr);
        UpdateWindow(window);
    }
    ~TargetWindow() { DestroyWindow(window); }

    HWND window;
};

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

struct RunResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;
};

// Runs the renderer with its standard output in a file, pumping this thread's messages meanwhile.
RunResult RunRenderer(const std::string& arguments, const TempFolder& folder)
{
    RunResult result;
    std::string outPath = folder.Path() + "\\stdout.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return result;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION process = {};
    std::string command = "\"" ORB_RENDERER_EXE "\" " + arguments;
    BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                  &process);
    CloseHandle(out);
    if (!started)
        return result;
    DWORD deadline = GetTickCount() + 40000;
    while (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 50, QS_ALLINPUT) != WAIT_OBJECT_0) {
        Pump();
        if (static_cast<int>(GetTickCount() - deadline) > 0) {
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, 5000);
            break;
        }
    }
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    std::ifstream in(outPath);
    std::stringstream text;
    text << in.rdbuf();
    result.output = text.str();
    return result;
}

struct Bitmap {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

Bitmap ReadBmp(const std::string& path)
{
    Bitmap bmp;
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto word = [&](size_t at) {
        return data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) | (uint32_t(data[at + 3]) << 24);
    };
    if (data.size() < 54 || data[0] != 'B' || data[1] != 'M' || (data[28] | (data[29] << 8)) != 32)
        return bmp;
    bmp.width = static_cast<int>(word(18));
    bmp.height = static_cast<int>(word(22));
    size_t offset = word(10);
    if (data.size() < offset + size_t(bmp.width) * bmp.height * 4)
        return {};
    for (int i = 0; i < bmp.width * bmp.height; ++i)
        bmp.pixels.push_back(word(offset + 4 * i) & 0xFFFFFF);
    return bmp;
}

// Pixels whose blue clearly outweighs red: the planet, not the dark background or the ring.
int CountPlanetBlue(const std::vector<uint32_t>& pixels)
{
    int n = 0;
    for (uint32_t p : pixels) {
        int r = (p >> 16) & 255, b = p & 255;
        n += b > 120 && b > r + 60;
    }
    return n;
}

std::string Hex(HWND window)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)));
    return text;
}

}  // namespace

TEST(StandaloneRun, DrawsASampleIntoAnotherProcesssWindow)
{
    TempFolder folder;
    TargetWindow target(320, 240);
    Pump();
    std::string shot = folder.Path() + "\\shot.bmp";
    RunResult run = RunRenderer(std::string("--standalone \"") + kOrbit + "\" --window " + Hex(target.window) +
                                    " --frames 20 --screenshot \"" + shot + "\"",
                                folder);
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("status: Orbolanth: orbit.obvm - 43 objects\n"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("missing"), std::string::npos) << run.output;

    // The frame was sized to the window's client area.
    Bitmap bmp = ReadBmp(shot);
    ASSERT_EQ(bmp.width, 320);
    ASSERT_EQ(bmp.height, 240);
    std::set<uint32_t> shotColours(bmp.pixels.begin(), bmp.pixels.end());
    EXPECT_GT(shotColours.size(), 100u);
    EXPECT_GT(CountPlanetBlue(bmp.pixels), 2000);

    // And it reached the window itself, as shown on the screen.
    std::vector<uint32_t> onScreen;
    POINT origin = {0, 0};
    ClientToScreen(target.window, &origin);
    HDC dc = GetDC(nullptr);
    for (int y = 0; y < 240; y += 2)
        for (int x = 0; x < 320; x += 2) {
            COLORREF c = GetPixel(dc, origin.x + x, origin.y + y);
            onScreen.push_back((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
        }
    ReleaseDC(nullptr, dc);
    std::set<uint32_t> screenColours(onScreen.begin(), onScreen.end());
    EXPECT_GT(screenColours.size(), 50u);
    EXPECT_GT(CountPlanetBlue(onScreen), 2000 / 4);
}

TEST(StandaloneRun, ReportsMissingFilesAndStillDraws)
{
    TempFolder folder;
    std::string applet = folder.Write("lonely.obvm", "orbolanth-scene 1\n"
                                                     "include \"gone.obv\"\n"
                                                     "mesh b box 2\n"
                                                     "object b b\n colour #2050ff\nend\n");
    std::string shot = folder.Path() + "\\shot.bmp";
    RunResult run = RunRenderer("--standalone \"" + applet + "\" --args \" -width 160 -height 120\" --frames 5 "
                                "--screenshot \"" + shot + "\"",
                                folder);
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("missing: gone.obv\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("status: Orbolanth: lonely.obvm - 1 object, 1 file missing\n"), std::string::npos)
        << run.output;
    Bitmap bmp = ReadBmp(shot);
    ASSERT_EQ(bmp.width, 160);
    EXPECT_GT(CountPlanetBlue(bmp.pixels), 500);
}

TEST(StandaloneRun, RejectsBadOptions)
{
    TempFolder folder;
    EXPECT_EQ(RunRenderer("--standalone x.obvm --frames many", folder).exitCode, 2u);
    EXPECT_EQ(RunRenderer("--standalone x.obvm --window 7ff0", folder).exitCode, 2u);  // no such window
    EXPECT_EQ(RunRenderer("--standalone x.obvm --colour blue", folder).exitCode, 2u);
}
