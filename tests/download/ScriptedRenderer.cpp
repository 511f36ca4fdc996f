// A renderer stand-in that asks for exactly the files it is told to and writes down how
// each request ended, so that tests see the status words and files the plug-in hands over.
//
//   scripted_renderer ActiveXOrbolanth.GoBlueHarbor {GUID}     (as the plug-in starts it)
//
// %ORB_SCRIPT_REQUESTS% holds the names to ask for, separated by '|'; request i gets id i.
// Lines go to %ORB_SCRIPT_REPORT%:
//   answer id=ID state=WORD path=PATH bytes=N text=CONTENT   a delivery (CONTENT with \n)
//   answer id=ID state=WORD                                  a request that ended without one
//   done                                                     every request has its answer
// The program stays until the plug-in asks it to quit or its window goes.
#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "channel/RendererClient.h"

namespace {

constexpr DWORD kTurnMs = 20;
constexpr int kMaxTurns = 3000;

std::string reportPath;

void Report(const char* format, ...)
{
    FILE* file = std::fopen(reportPath.c_str(), "ab");
    if (!file) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(file, format, args);
    va_end(args);
    std::fputc('\n', file);
    std::fclose(file);
}

std::vector<std::string> SplitNames(const char* text)
{
    std::vector<std::string> names;
    std::string rest = text ? text : "";
    for (size_t start = 0; !rest.empty() && start <= rest.size();) {
        size_t bar = rest.find('|', start);
        if (bar == std::string::npos) bar = rest.size();
        names.push_back(rest.substr(start, bar - start));
        start = bar + 1;
    }
    return names;
}

// The file's bytes with line breaks spelt out, so that one report line holds them.
std::string OneLine(const std::string& path, size_t* bytes)
{
    std::string text;
    *bytes = 0;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return text;
    for (int c; (c = std::fgetc(file)) != EOF; ++*bytes) {
        if (c == '\n') text += "\\n";
        else if (c != '\r') text += static_cast<char>(c);
    }
    std::fclose(file);
    return text;
}

struct Answer {
    int id;
    int state;
    bool delivered;
    std::string path;
};

}  // namespace

int main(int argc, char** argv)
{
    const char* report = std::getenv("ORB_SCRIPT_REPORT");
    reportPath = report ? report : "";
    const std::vector<std::string> names = SplitNames(std::getenv("ORB_SCRIPT_REQUESTS"));
    RendererClient client;
    if (argc < 2 || !client.Attach(argv[argc - 1])) {
        Report("fail attach");
        return 3;
    }
    HWND window = nullptr;
    size_t posted = 0;
    std::map<int, bool> answered;
    bool done = false;
    for (int turn = 0; turn < kMaxTurns; ++turn, Sleep(kTurnMs)) {
        std::vector<Answer> answers;
        {
            MutexGuard guard(client.Mutex());
            if (!guard.Acquire()) continue;
            if (client.QuitRequested()) return 0;
            if (!window) {
                const uint32_t word = client.ReadLaunchFields().pluginWindow;
                window = reinterpret_cast<HWND>(static_cast<uintptr_t>(word));
            }
            while (posted < names.size()) {
                const int id = static_cast<int>(posted) + 1;
                if (client.PostRequest(id, names[posted]) < 0) break;
                answered[id] = false;
                ++posted;
            }
            int32_t id = 0;
            std::string path;
            while (client.TakeDelivery(&id, &path)) answers.push_back({id, client.Status(id), true, path});
            for (auto& [request, seen] : answered) {
                bool delivered = false;
                for (const Answer& answer : answers) delivered = delivered || answer.id == request;
                if (!seen && !delivered && client.Status(request) == StateFailed) {
                    answers.push_back({request, StateFailed, false, ""});
                }
            }
            for (const Answer& answer : answers) {
                answered[answer.id] = true;
                client.ReleaseRequest(answer.id);
            }
        }
        for (const Answer& answer : answers) {
            if (!answer.delivered) {
                Report("answer id=%d state=%d", answer.id, answer.state);
                continue;
            }
            size_t bytes = 0;
            std::string text = OneLine(answer.path, &bytes);
            Report("answer id=%d state=%d path=%s bytes=%u text=%s", answer.id, answer.state,
                   answer.path.c_str(), static_cast<unsigned>(bytes), text.c_str());
        }
        bool all = posted == names.size();
        for (const auto& [request, seen] : answered) all = all && seen;
        if (all && !done) {
            done = true;
            Report("done");
        }
        if (window && !IsWindow(window)) return 0;
    }
    Report("fail no quit request");
    return 3;
}
