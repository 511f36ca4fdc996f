#include "RendererRun.h"

#include "Capture.h"
#include "TempFolder.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

TargetWindow::TargetWindow(int width, int height, int x, int y, HWND parent)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "OrbRendererTestTarget";
    RegisterClassA(&wc);
    DWORD style = parent ? WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS
                         : WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN;
    RECT rect = {0, 0, width, height};
    AdjustWindowRect(&rect, style, FALSE);
    window_.Reset(CreateWindowA(wc.lpszClassName, "target", style, x, y, rect.right - rect.left,
                                rect.bottom - rect.top, parent, nullptr, wc.hInstance, nullptr));
    UpdateWindow(window_.Get());
}

RunResult RunRenderer(const std::string& arguments, const TempFolder& folder)
{
    RunResult result;
    std::string outPath = folder.Path() + "\\stdout.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    FileHandle out(CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out)
        return result;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out.Get();
    startup.hStdError = out.Get();
    PROCESS_INFORMATION process = {};
    std::string command = "\"" ORB_RENDERER_EXE "\" " + arguments;
    BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                  &process);
    out.Reset();
    if (!started)
        return result;
    const OwnedProcess owned(process);
    DWORD deadline = GetTickCount() + 40000;
    while (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 50, QS_ALLINPUT) != WAIT_OBJECT_0) {
        PumpMessages();
        if (static_cast<int>(GetTickCount() - deadline) > 0) {
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, 5000);
            break;
        }
    }
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    std::ifstream in(outPath);
    std::stringstream text;
    text << in.rdbuf();
    result.output = text.str();
    return result;
}

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
    for (int y = 0; y < bmp.height; ++y) {
        size_t row = offset + size_t(bmp.height - 1 - y) * bmp.width * 4;  // the file's rows run bottom-up
        for (int x = 0; x < bmp.width; ++x)
            bmp.pixels.push_back(word(row + 4 * x) & 0xFFFFFF);
    }
    return bmp;
}

int CountBlue(const std::vector<uint32_t>& pixels)
{
    int n = 0;
    for (uint32_t p : pixels) {
        int r = (p >> 16) & 255, b = p & 255;
        n += b > 120 && b > r + 60;
    }
    return n;
}

std::vector<uint32_t> ScreenPixels(HWND window, int step)
{
    // Read from the screen, not through the window's own DC: under Wine that DC shows only what
    // this process painted, and the renderer draws from another process.
    RECT client;
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    const WindowDc screen(GetDC(nullptr));
    const std::vector<DWORD> all = Capture(screen.Get(), origin.x, origin.y, client.right, client.bottom);
    std::vector<uint32_t> pixels;
    for (int y = 0; y < client.bottom; y += step)
        for (int x = 0; x < client.right; x += step)
            pixels.push_back(all[static_cast<size_t>(y) * client.right + x]);
    return pixels;
}

std::string Hex(HWND window)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)));
    return text;
}
