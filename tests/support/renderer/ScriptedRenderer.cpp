// A renderer stand-in that the plug-in launches like the real one and that asks for files
// as a script says, reporting what comes back and when. Built on the renderer side of the
// wire only.
//
//   scripted_renderer ActiveXOrbolanth.GoBlueHarbor {GUID}
//
// %ORB_SCRIPT% names the script, %ORB_REPORT% the report (appended to). Script lines:
//   ask NAME             request NAME ("$applet" stands for the page's src value); the
//                        requests get ids 1, 2, 3... in the order asked
//   navigate TARGET:URL  a navigation request (id -2)
//   status TEXT          sets the status text the plug-in relays to the browser
//   wait                 until every request asked so far has been delivered or failed
//   pause MS
//   latency COUNT        COUNT requests for r<n>.obv, each written at a random moment, at
//                        most 16 outstanding; one "sample ms=" line per delivery
//   chain COUNT          COUNT requests for c<n>.obv, each written right after the
//                        previous one was delivered; one "chain ms=" line per delivery
//   burst COUNT          COUNT requests for b<n>.obv written at once; one "burst" line
//   flood SECONDS        for SECONDS, requests for new names f<n>.obv with id 0 in every
//                        free slot, never taking a delivery; one "flood asked=" line
//   crash                reports "crash" and ends the process at once, as a renderer that
//                        fails does
//   linger MS            once asked to quit, reports "quit" and stays MS more, as a renderer
//                        slow to exit does (the plug-in pumps messages while it waits)
// Report lines: "launch", "asked", "delivered"/"failed" (with the status words seen in
// order, the milliseconds since the slot was written and, for a delivery, the path, the
// file's first line, its size and its whole content), "done" with the longest wait for the
// block's mutex (mutex-ms=). Quoted values escape quotes,
// backslashes and line breaks. Afterwards the program waits for the plug-in's quit request
// or for its window to go; either also ends a "wait" or a "pause", and with it the script
// (no "done"), as a renderer leaves at its next turn.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "block/RendererClient.h"
#include "../Clock.h"

namespace {

constexpr DWORD kWaitLimitMs = 90000;
constexpr int kLatencyOutstanding = 16;

std::string reportPath;

void Report(const std::string& line)
{
    if (FILE* file = std::fopen(reportPath.c_str(), "ab")) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

std::string Quote(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\n') {
            quoted += "\\n";
        } else if (c == '\r') {
            quoted += "\\r";
        } else {
            if (c == '"' || c == '\\') quoted += '\\';
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string FileText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string FirstLine(const std::string& text)
{
    std::string line = text.substr(0, text.find('\n'));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

struct Outstanding {
    std::string name;
    double written = 0;
    std::string statuses;  // distinct status words seen, in order
    int32_t lastStatus = StateNone;
};

struct Outcome {
    int32_t id;
    bool delivered;
    std::string path;
    double ms;
    Outstanding request;
};

class Script {
public:
    explicit Script(RendererClient& client) : client_(client) {}

    bool Start()
    {
        MutexGuard guard(client_.Mutex());
        if (!Lock(guard)) return false;
        fields_ = client_.ReadLaunchFields();
        Report("launch applet=" + Quote(fields_.appletUrl) + " page=" + Quote(fields_.pageLocation) +
               " args=" + Quote(fields_.rendererArgs));
        return true;
    }

    void Run(std::istream& lines)
    {
        std::string line;
        while (!quit_ && std::getline(lines, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const size_t space = line.find(' ');
            const std::string word = line.substr(0, space);
            const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
            if (word == "ask") {
                Ask(rest == "$applet" ? fields_.appletUrl : rest);
            } else if (word == "navigate") {
                Post(kNavigationId, rest);
            } else if (word == "status") {
                SetStatus(rest);
            } else if (word == "wait") {
                WaitFor(true);
            } else if (word == "pause") {
                Pause(static_cast<DWORD>(std::atoi(rest.c_str())));
            } else if (word == "latency") {
                Latency(std::atoi(rest.c_str()));
            } else if (word == "chain") {
                Chain(std::atoi(rest.c_str()));
            } else if (word == "burst") {
                Burst(std::atoi(rest.c_str()));
            } else if (word == "flood") {
                Flood(std::atoi(rest.c_str()));
            } else if (word == "gone") {
                ReportGone();
            } else if (word == "linger") {
                lingerMs_ = static_cast<DWORD>(std::atoi(rest.c_str()));
            } else if (word == "crash") {
                Report("crash");
                ExitProcess(9);
            }
        }
        if (quit_) return;
        char done[48];
        std::snprintf(done, sizeof done, "done mutex-ms=%.0f", longestWaitMs_);
        Report(done);
    }

    DWORD LingerMs() const { return lingerMs_; }

    bool QuitRequested()
    {
        MutexGuard guard(client_.Mutex());
        return Lock(guard) && Leaving();
    }

private:
    // Under the block's mutex.
    bool Leaving() const
    {
        const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(fields_.pluginWindow));
        return client_.QuitRequested() || !IsWindow(window);
    }

    void Pause(DWORD ms)
    {
        const DWORD start = GetTickCount();
        for (DWORD passed = 0; !quit_ && passed < ms; passed = GetTickCount() - start) {
            Sleep(std::min<DWORD>(10, ms - passed));
            quit_ = QuitRequested();
        }
    }

    // Takes the block's mutex, keeping the longest wait for the report.
    bool Lock(MutexGuard& guard)
    {
        const double start = NowMs();
        const bool held = guard.Acquire();
        longestWaitMs_ = std::max(longestWaitMs_, NowMs() - start);
        return held;
    }

    void Ask(const std::string& name)
    {
        const int32_t id = NextId();
        Report("asked id=" + std::to_string(id) + " name=" + Quote(name));
        Post(id, name);
    }

    int32_t NextId()
    {
        const int32_t id = nextId_;
        nextId_ = nextId_ % 1023 + 1;
        return id;
    }

    // Writes the slot, retrying while none is free.
    void SetStatus(const std::string& text)
    {
        MutexGuard guard(client_.Mutex());
        if (Lock(guard)) client_.SetStatusText(text.c_str());
    }

    void Post(int32_t id, const std::string& name)
    {
        for (;;) {
            {
                MutexGuard guard(client_.Mutex());
                if (Lock(guard) && client_.PostRequest(id, name) >= 0) {
                    if (id > 0) outstanding_[id] = {name, NowMs(), "", StateNone};
                    return;
                }
            }
            Sleep(1);
        }
    }

    // One look at the block: status words of what is outstanding, deliveries, failures.
    std::vector<Outcome> Poll()
    {
        std::vector<Outcome> outcomes;
        MutexGuard guard(client_.Mutex());
        if (!Lock(guard)) return outcomes;
        if (Leaving()) quit_ = true;
        const double now = NowMs();
        for (auto& [id, request] : outstanding_) {
            int32_t status = client_.Status(id);
            if (status != request.lastStatus && status != StateNone && status != StateReleased) {
                request.statuses += (request.statuses.empty() ? "" : " ") + std::to_string(status);
            }
            request.lastStatus = status;
        }
        int32_t id;
        std::string path;
        while (client_.TakeDelivery(&id, &path)) {
            auto found = outstanding_.find(id);
            if (found == outstanding_.end()) continue;
            outcomes.push_back({id, true, path, now - found->second.written, found->second});
            outstanding_.erase(found);
        }
        for (auto it = outstanding_.begin(); it != outstanding_.end();) {
            if (it->second.lastStatus == StateFailed) {
                outcomes.push_back({it->first, false, "", now - it->second.written, it->second});
                client_.ReleaseRequest(it->first);
                it = outstanding_.erase(it);
            } else {
                ++it;
            }
        }
        return outcomes;
    }

    // One poll; outcomes go to the report or to `samples`. A delivered file is read first
    // and its id released after: the plug-in may delete the file from then on.
    void Collect(bool report, std::vector<double>* samples)
    {
        const std::vector<Outcome> outcomes = Poll();
        for (const Outcome& outcome : outcomes) {
            if (samples) samples->push_back(outcome.ms);
            if (!report) continue;
            char ms[32];
            std::snprintf(ms, sizeof ms, "%.1f", outcome.ms);
            std::string line = std::string(outcome.delivered ? "delivered" : "failed") + " id=" +
                               std::to_string(outcome.id) + " name=" + Quote(outcome.request.name) + " ms=" + ms +
                               " statuses=" + Quote(outcome.request.statuses);
            if (outcome.delivered) {
                const std::string text = FileText(outcome.path);
                line += " path=" + Quote(outcome.path) + " first=" + Quote(FirstLine(text)) +
                        " bytes=" + std::to_string(text.size()) + " text=" + Quote(text);
            }
            Report(line);
        }
        bool anyDelivered = false;
        for (const Outcome& outcome : outcomes) {
            if (!outcome.delivered) continue;
            deliveredPaths_.push_back(outcome.path);
            anyDelivered = true;
        }
        if (!anyDelivered) return;
        MutexGuard guard(client_.Mutex());
        if (!Lock(guard)) return;
        for (const Outcome& outcome : outcomes) {
            if (outcome.delivered) client_.ReleaseRequest(outcome.id);
        }
    }

    // How many of the files delivered so far are gone from the disk.
    void ReportGone()
    {
        int gone = 0;
        for (const std::string& path : deliveredPaths_) {
            if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) ++gone;
        }
        Report("gone n=" + std::to_string(gone) + " of=" + std::to_string(deliveredPaths_.size()));
    }

    // Polls until nothing is outstanding or the time limit has passed.
    void WaitFor(bool report, std::vector<double>* samples = nullptr)
    {
        const DWORD start = GetTickCount();
        while (!outstanding_.empty() && !quit_) {
            if (GetTickCount() - start > kWaitLimitMs) {
                Report("timeout outstanding=" + std::to_string(outstanding_.size()));
                return;
            }
            Collect(report, samples);
            Sleep(1);
        }
    }

    void ReportSamples(const char* label, const std::vector<double>& samples)
    {
        for (double ms : samples) {
            char line[48];
            std::snprintf(line, sizeof line, "%s ms=%.2f", label, ms);
            Report(line);
        }
    }

    void Latency(int count)
    {
        std::mt19937 random(12345);
        std::uniform_real_distribution<double> gap(0.0, 50.0);
        std::vector<double> samples;
        double next = NowMs();
        for (int n = 0; n < count; ++n) {
            while (NowMs() < next || outstanding_.size() >= kLatencyOutstanding) {
                Collect(false, &samples);
                Sleep(1);
            }
            Post(NextId(), "r" + std::to_string(n) + ".obv");
            next = NowMs() + gap(random);
        }
        WaitFor(false, &samples);
        ReportSamples("sample", samples);
    }

    // A scene loading: each file is asked for once the one before it has arrived.
    void Chain(int count)
    {
        std::vector<double> samples;
        for (int n = 0; n < count; ++n) {
            Post(NextId(), "c" + std::to_string(n) + ".obv");
            WaitFor(false, &samples);
        }
        ReportSamples("chain", samples);
    }

    void Burst(int count)
    {
        std::vector<double> samples;
        for (int n = 0; n < count; ++n) {
            Post(NextId(), "b" + std::to_string(n) + ".obv");
        }
        WaitFor(false, &samples);
        double last = samples.empty() ? 0 : *std::max_element(samples.begin(), samples.end());
        char line[96];
        std::snprintf(line, sizeof line, "burst delivered=%d last-ms=%.1f", static_cast<int>(samples.size()),
                      last);
        Report(line);
    }

    // A renderer that would have the plug-in hold everything it is ever asked for.
    void Flood(int seconds)
    {
        const DWORD start = GetTickCount();
        int asked = 0;
        while (GetTickCount() - start < static_cast<DWORD>(seconds) * 1000u) {
            MutexGuard guard(client_.Mutex());
            if (Lock(guard) && client_.PostRequest(0, "f" + std::to_string(asked) + ".obv") >= 0) {
                ++asked;
                continue;
            }
            guard.Release();
            Sleep(1);
        }
        Report("flood asked=" + std::to_string(asked));
    }

    RendererClient& client_;
    LaunchFields fields_;
    double longestWaitMs_ = 0;
    bool quit_ = false;
    DWORD lingerMs_ = 0;
    std::map<int32_t, Outstanding> outstanding_;
    std::vector<std::string> deliveredPaths_;
    int32_t nextId_ = 1;
};

}  // namespace

int main(int argc, char** argv)
{
    const char* report = std::getenv("ORB_REPORT");
    const char* script = std::getenv("ORB_SCRIPT");
    if (!report || !script || argc < 3) return 2;
    reportPath = report;
    RendererClient client;
    if (!client.Attach(argv[argc - 1])) {
        Report("fail attach");
        return 3;
    }
    Script run(client);
    if (!run.Start()) return 4;
    std::ifstream lines(script);
    run.Run(lines);
    while (!run.QuitRequested()) Sleep(10);
    if (run.LingerMs() > 0) {
        Report("quit");
        Sleep(run.LingerMs());
    }
    return 0;
}
