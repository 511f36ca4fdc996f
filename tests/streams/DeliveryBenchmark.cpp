// How long a file takes from the renderer's request slot to its delivery slot: the plug-in
// in this process, a browser that answers from its loop with small local files, and the
// scripted renderer, which writes requests in a chain (each right after the previous
// delivery), 1,000 at random moments, then 256 at once. Each figure is measured with the
// busy service pace and again with the fixed 100 ms tick (ORB_SERVICE_PACE=fixed), and once
// more at the busy pace with the plug-in's trace on (a line per request). Beside them, what
// keeping a stream's file costs (a hard link, or a copy where no link can be
// made) for a small and a large file.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "Clock.h"
#include "InProcessPage.h"
#include "TestFiles.h"
#include "streams/KeptFiles.h"

namespace {

// The browser's answers: the page's own files, and for every r<n>.obv, c<n>.obv or b<n>.obv a
// small file of its own in the browser's cache (a browser's cache names every file apart),
// all made before the measuring starts.
class SmallFiles {
public:
    SmallFiles(int chain, int latency, int burst)
    {
        for (const auto& [letter, count] : {std::make_pair('c', chain), std::make_pair('r', latency),
                                            std::make_pair('b', burst)}) {
            for (int n = 0; n < count; ++n) {
                const std::string name = std::string(1, letter) + std::to_string(n) + ".obv";
                paths_[name] = CacheFile(name, "small file\n");
            }
        }
    }
    ~SmallFiles()
    {
        for (const auto& [name, path] : paths_) DeleteFileA(path.c_str());
    }

    std::string For(const std::string& url) const
    {
        const std::string page = PageFile(url);
        if (!page.empty()) return page;
        auto found = paths_.find(url.substr(url.find_last_of('/') + 1));
        return found == paths_.end() ? "" : found->second;
    }

private:
    std::map<std::string, std::string> paths_;
};

double Percentile(const std::vector<double>& sorted, double fraction)
{
    size_t index = static_cast<size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(index, sorted.size() - 1)];
}

// Milliseconds per kept file, the median of `rounds` keeps of one browser file.
double KeepMs(const std::string& file, KeptFiles::Method method, int rounds)
{
    std::vector<double> times;
    KeptFiles kept;
    for (int i = 0; i < rounds; ++i) {
        const double start = NowMs();
        const std::string path = kept.Keep(file, method);
        times.push_back(NowMs() - start);
        if (path.empty()) return -1;
        kept.Drop(path);
    }
    std::sort(times.begin(), times.end());
    return Percentile(times, 0.5);
}

void PrintKeepCosts()
{
    for (const auto& [label, bytes, rounds] : {std::make_tuple("1 KB", size_t{1024}, 200),
                                               std::make_tuple("64 MB", size_t{64} << 20, 5)}) {
        const std::string file = CacheFile(std::string("keep-") + label[0] + ".bin", std::string(bytes, 'k'));
        const double link = KeepMs(file, KeptFiles::Method::LinkOnly, rounds);
        const double copy = KeepMs(file, KeptFiles::Method::CopyOnly, rounds);
        std::printf("keeping a %s stream file (ms, median of %d): hard link %.3f  copy %.3f\n", label, rounds, link,
                    copy);
        DeleteFileA(file.c_str());
    }
}

void PrintSpread(const char* what, std::vector<double> samples)
{
    if (samples.empty()) {
        std::printf("  %-34s no samples\n", what);
        return;
    }
    std::sort(samples.begin(), samples.end());
    std::printf("  %-34s median %6.1f  p90 %6.1f  p99 %6.1f  max %6.1f  (%zu)\n", what, Percentile(samples, 0.5),
                Percentile(samples, 0.9), Percentile(samples, 0.99), samples.back(), samples.size());
}

// With a trace file, the trace is on and the figures' labels say so.
bool Measure(const char* pace, int chain, int latency, const std::string& traceFile = "")
{
    SetEnvironmentVariableA("ORB_SERVICE_PACE", pace[0] ? pace : nullptr);
    const std::string script = "ask $applet\nwait\nchain " + std::to_string(chain) + "\nlatency " +
                               std::to_string(latency) + "\nburst 256\n";
    const SmallFiles files(chain, latency, 256);
    InProcessPage page(0x000B, script, "benchmark", [&files](const std::string& url) { return files.For(url); },
                       traceFile);
    const bool ran = page.Open() && page.RunScript();
    page.Close();
    SetEnvironmentVariableA("ORB_SERVICE_PACE", nullptr);
    if (!ran) {
        std::printf("the page did not run its script (see %s)\n", page.Script().ReportPath().c_str());
        return false;
    }

    std::vector<double> chained, random;
    std::string burst = "no burst line";
    for (const std::string& line : page.Script().Report()) {
        if (line.rfind("chain ms=", 0) == 0) chained.push_back(std::stod(line.substr(9)));
        if (line.rfind("sample ms=", 0) == 0) random.push_back(std::stod(line.substr(10)));
        if (line.rfind("burst ", 0) == 0) burst = line;
    }
    const bool traced = !traceFile.empty();
    std::printf("service pace %s%s, request slot to delivery (ms):\n", pace[0] ? pace : "busy/idle",
                traced ? ", trace on" : "");
    PrintSpread(traced ? "chained, trace on:" : "chained, right after a delivery:", chained);
    PrintSpread(traced ? "at random moments, trace on:" : "written at random moments:", random);
    std::printf("  256 requests written at once:      %s\n", burst.c_str());
    return !chained.empty() && !random.empty();
}

}  // namespace

int main()
{
    if (!Measure("", 300, 1000)) return 1;
    // The old design's figures, fewer of them: each chained step there waits out a tick.
    if (!Measure("fixed", 100, 300)) return 1;
    const std::string trace = LogFolder("streams") + "benchmark-trace.log";
    DeleteFileA(trace.c_str());
    DeleteFileA((trace + ".1").c_str());
    if (!Measure("", 300, 300, trace)) return 1;
    std::printf("  trace written: %zu lines, %zu bytes\n", ReadLines(trace).size(), ReadFile(trace).size());
    PrintKeepCosts();
    return 0;
}
