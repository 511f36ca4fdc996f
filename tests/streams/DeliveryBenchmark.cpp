// How long a file takes from the renderer's request slot to its delivery slot: the plug-in
// in this process, a browser that answers from its loop with small local files, and the
// scripted renderer, which writes 1,000 requests at random moments and then 256 at once.
// Beside it, what keeping a stream's file costs (a hard link, or a copy where no link can
// be made) for a small and a large file.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "Clock.h"
#include "InProcessPage.h"
#include "TestFiles.h"
#include "streams/KeptFiles.h"

namespace {

// Any r<n>.obv or b<n>.obv is one small file of the page.
std::string SmallFile(const std::string& url)
{
    const std::string page = PageFile(url);
    if (!page.empty()) return page;
    const std::string name = url.substr(url.find_last_of('/') + 1);
    return name[0] == 'r' || name[0] == 'b' ? PageFile("data/plain.txt") : "";
}

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

}  // namespace

int main()
{
    InProcessPage page(0x000B, "ask $applet\nwait\nlatency 1000\nburst 256\n", "benchmark", &SmallFile);
    if (!page.Open() || !page.RunScript()) {
        std::printf("the page did not run its script (see %s)\n", page.Script().ReportPath().c_str());
        return 1;
    }
    page.Close();

    std::vector<double> samples;
    std::string burst;
    for (const std::string& line : page.Script().Report()) {
        if (line.rfind("sample ms=", 0) == 0) samples.push_back(std::stod(line.substr(10)));
        if (line.rfind("burst ", 0) == 0) burst = line;
    }
    if (samples.empty()) {
        std::printf("no samples\n");
        return 1;
    }
    std::sort(samples.begin(), samples.end());
    std::printf("request slot to delivery, %zu requests (ms): median %.1f  p90 %.1f  p99 %.1f  max %.1f\n",
                samples.size(), Percentile(samples, 0.5), Percentile(samples, 0.9), Percentile(samples, 0.99),
                samples.back());
    std::printf("256 requests written at once: %s (100 ms service tick)\n", burst.c_str());
    PrintKeepCosts();
    return 0;
}
