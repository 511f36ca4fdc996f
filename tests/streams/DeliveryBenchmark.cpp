// How long a file takes from the renderer's request slot to its delivery slot: the plug-in
// in this process, a browser that answers from its loop with small local files, and the
// scripted renderer, which writes 1,000 requests at random moments and then 256 at once.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "InProcessPage.h"

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
    return 0;
}
