#include "StandaloneDriver.h"

#include "BmpFile.h"
#include "OwnWindow.h"
#include "RendererHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/AnsiPath.h"
#include "base/MessagePump.h"

namespace orb {

namespace {

// Processor time of this process so far, in seconds.
double CpuSeconds()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    auto seconds = [](const FILETIME& t) {
        return (double(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

double WallSeconds()
{
    return GetTickCount() / 1000.0;
}

// Processor use as a percentage of wall time; timer granularity can make tiny values negative.
std::string Percent(double cpu, double wall)
{
    return std::to_string(std::max(0.0, 100 * cpu / wall)) + "%";
}

void Print(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

}  // namespace

bool StandaloneDriver::ParseOptions(int argc, char** argv, Options& options, std::string& error)
{
    if (argc < 3 || std::strcmp(argv[1], "--standalone") != 0) {
        error = "usage: orbrenderer --standalone FILE [--window HEX] [--window NAME=HEX]... [--args TEXT] "
                "[--frames N] [--screenshot FILE] [--pause MS] [--stats]";
        return false;
    }
    options.applet = argv[2];
    for (int i = 3; i < argc; ++i) {
        std::string flag = argv[i];
        if (flag == "--stats") {
            options.stats = true;
            continue;
        }
        if (i + 1 >= argc) {
            error = "missing value after " + flag;
            return false;
        }
        const char* value = argv[++i];
        char* end = nullptr;
        if (flag == "--window") {
            // "HEX" is the main window; "NAME=HEX" one more window, shown from NAME's view.
            const char* equals = std::strchr(value, '=');
            std::string name = equals ? std::string(value, equals) : std::string();
            value = equals ? equals + 1 : value;
            unsigned long handle = std::strtoul(value, &end, 16);
            if (equals && name.empty()) {
                error = "missing window name in --window";
                return false;
            }
            if (equals)
                options.windows.push_back({name, static_cast<uint32_t>(handle)});
            else
                options.window = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
        } else if (flag == "--frames") {
            options.frames = static_cast<int>(std::strtol(value, &end, 10));
        } else if (flag == "--pause") {
            options.pauseMs = static_cast<int>(std::strtol(value, &end, 10));
        } else if (flag == "--args") {
            options.args = value;
            continue;
        } else if (flag == "--screenshot") {
            options.screenshot = value;
            continue;
        } else {
            error = "unknown option " + flag;
            return false;
        }
        if (*value == 0 || *end != 0) {
            error = "bad value for " + flag + ": " + value;
            return false;
        }
    }
    auto exists = [](uintptr_t handle) { return IsWindow(reinterpret_cast<HWND>(handle)) != FALSE; };
    bool allExist = std::all_of(options.windows.begin(), options.windows.end(),
                                [&](const WindowEntry& w) { return exists(w.window); });
    if ((options.window && !exists(reinterpret_cast<uintptr_t>(options.window))) || !allExist) {
        error = "no such window";
        return false;
    }
    return true;
}

int StandaloneDriver::Run(const Options& options)
{
    applet_ = options.applet;
    std::unique_ptr<OwnWindow> own;
    HWND window = options.window;
    if (!window) {
        WindowSize size = ParseWindowSize(options.args);
        own = std::make_unique<OwnWindow>(size.width ? size.width : 400, size.height ? size.height : 300);
        window = ownWindow_ = own->Handle();
        if (!window) {
            Print("error: cannot create a window");
            return 1;
        }
    }
    RendererHost host(window, options.args, *this);
    host.Session().Start(applet_);

    double startWall = WallSeconds(), startCpu = CpuSeconds();
    while (IsWindow(window) && (options.frames == 0 || host.FramesDrawn() < options.frames)) {
        PumpMessages();
        host.SetWindows(options.windows);
        DeliverQueued(host.Session());
        // A slice of a large file a turn, with the window answered in between.
        bool loading = host.LoadSlice();
        DWORD wait = host.Step();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, loading ? 0 : wait, QS_ALLINPUT);
    }
    double activeWall = WallSeconds() - startWall, activeCpu = CpuSeconds() - startCpu;
    if (options.stats && activeWall > 0)
        Print("stats: active " + std::to_string(host.FramesDrawn()) + " frames in " +
              std::to_string(activeWall) + " s, " + std::to_string(host.FramesDrawn() / activeWall) +
              " frames/s, cpu " + Percent(activeCpu, activeWall));

    if (options.pauseMs > 0) {
        host.SetActive(false);
        double pauseWall = WallSeconds(), pauseCpu = CpuSeconds();
        while (IsWindow(window) && WallSeconds() - pauseWall < options.pauseMs / 1000.0) {
            PumpMessages();
            host.SetWindows(options.windows);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, host.Step(), QS_ALLINPUT);
        }
        double wall = WallSeconds() - pauseWall, cpu = CpuSeconds() - pauseCpu;
        if (options.stats && wall > 0)
            Print("stats: paused " + std::to_string(wall) + " s, cpu " + Percent(cpu, wall));
    }
    if (!options.screenshot.empty() && !WriteBmp(options.screenshot, host.MainFrame())) {
        Print("error: cannot write " + options.screenshot);
        return 1;
    }
    return 0;
}

std::string StandaloneDriver::LocalPath(const std::string& name) const
{
    if (name == applet_)
        return applet_;
    if (name.find("://") != std::string::npos)
        return std::string();
    std::string path = name;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    bool absolute = path[0] == '\\' || (path.size() > 1 && path[1] == ':');
    if (absolute)
        return path;
    size_t slash = AnsiLeadBytes().LastSeparator(applet_);
    return slash == std::string::npos ? path : applet_.substr(0, slash + 1) + path;
}

void StandaloneDriver::DeliverQueued(SceneSession& session)
{
    // Answers wait for the next turn of the loop, as they would from a browser, so the scene is
    // drawn without its files first.
    auto batch = std::move(queued_);
    queued_.clear();
    for (const auto& [id, name] : batch) {
        std::string path = LocalPath(name);
        DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            session.ResourceArrived(id, path);
        } else {
            Print("missing: " + name);
            session.ResourceFailed(id);
        }
    }
}

void StandaloneDriver::RequestResource(int id, const std::string& name)
{
    queued_.emplace_back(id, name);
}

void StandaloneDriver::ShowStatus(const std::string& text)
{
    Print("status: " + text);
    if (ownWindow_)
        SetWindowTextA(ownWindow_, text.empty() ? "Orbolanth" : text.c_str());
}

void StandaloneDriver::Navigate(const std::string& target, const std::string& url)
{
    Print("navigate: " + target + " " + url);
}

}  // namespace orb
