// Serves files from a loopback server and times the download worker fetching them; curl
// fetches the same files from the same server first (scripts/bench-download.sh). Then times
// Stop while a download trickles in.
//   download_benchmark CONTROL_DIR
// The port goes to CONTROL_DIR/port; the worker runs once CONTROL_DIR/curl-done exists.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "Clock.h"
#include "LoopbackHttpServer.h"
#include "RecordingListener.h"
#include "download/DownloadWorker.h"

namespace {

constexpr size_t kMegabyte = 1024 * 1024;
constexpr size_t kBigSize = 64 * kMegabyte;
constexpr int kSmallCount = 16;
constexpr int kBigRuns = 3;
constexpr DWORD kCurlWaitMs = 10 * 60 * 1000;
constexpr DWORD kDownloadWaitMs = 5 * 60 * 1000;
constexpr int kStopRuns = 5;
constexpr DWORD kStopStartWaitMs = 10000;
constexpr DWORD kSlowRunningMs = 300;

std::string Body(size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<char>(seed >> 16);
    }
    return bytes;
}

long long FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Downloads every URL at once through one worker; false when any of them failed.
bool DownloadAll(const std::vector<std::string>& urls, size_t expectedSize, double& seconds)
{
    DownloadWorker worker;
    if (!worker.Start()) return false;
    std::vector<RecordingListener*> listeners;
    double start = NowMs();
    for (const std::string& url : urls) {
        auto* listener = new RecordingListener(url);
        listener->AddRef();
        worker.Enqueue(listener, url.c_str());
        listeners.push_back(listener);
    }
    bool ok = true;
    for (RecordingListener* listener : listeners) ok &= listener->WaitForRelease(kDownloadWaitMs);
    seconds = (NowMs() - start) / 1000.0;
    for (RecordingListener* listener : listeners) {
        ok &= listener->GetState() == StateReady
              && FileSize(listener->LocalFile()) == static_cast<long long>(expectedSize);
        listener->Release();
    }
    return ok;
}

// How long Stop takes while a download is under way and its body keeps trickling in.
bool TimeStop(LoopbackHttpServer& server, double& stopMs)
{
    int started = server.Started();
    DownloadWorker worker;
    if (!worker.Start()) return false;
    auto* listener = new RecordingListener(server.Url("/slow.bin"));
    listener->AddRef();
    worker.Enqueue(listener, listener->GetUrl());
    bool running = server.WaitForStarted(started + 1, kStopStartWaitMs);
    Sleep(kSlowRunningMs);
    double start = NowMs();
    worker.Stop();
    stopMs = NowMs() - start;
    bool failed = listener->GetState() == StateFailed;
    listener->Release();
    return running && failed;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: download_benchmark CONTROL_DIR\n");
        return 2;
    }
    std::string control = argv[1];
    std::string temp = control + "\\worker-temp";
    CreateDirectoryA(temp.c_str(), nullptr);
    SetEnvironmentVariableA("TMP", temp.c_str());
    SetEnvironmentVariableA("TEMP", temp.c_str());

    LoopbackHttpServer server;
    if (!server.Listening()) return 1;
    server.Serve("/big.bin", HttpResponse{200, Body(kBigSize, 1)});
    std::vector<std::string> smallUrls;
    for (int i = 0; i < kSmallCount; ++i) {
        std::string path = "/small" + std::to_string(i) + ".bin";
        server.Serve(path, HttpResponse{200, Body(kMegabyte, 100 + i)});
        smallUrls.push_back(server.Url(path));
    }
    HttpResponse slow{200, Body(16 * kMegabyte, 7)};
    slow.trickleBytes = 4096;
    slow.trickleDelayMs = 10;
    server.Serve("/slow.bin", slow);
    std::ofstream(control + "\\port") << server.Port() << "\n";

    std::string curlDone = control + "\\curl-done";
    for (DWORD waited = 0; GetFileAttributesA(curlDone.c_str()) == INVALID_FILE_ATTRIBUTES; waited += 50) {
        if (waited > kCurlWaitMs) return 1;
        Sleep(50);
    }

    double best = 0;
    for (int run = 0; run < kBigRuns; ++run) {
        double seconds = 0;
        if (!DownloadAll({server.Url("/big.bin")}, kBigSize, seconds)) {
            std::fprintf(stderr, "the 64 MB download failed\n");
            return 1;
        }
        if (run == 0 || seconds < best) best = seconds;
    }
    std::printf("worker_big_seconds %.3f\n", best);
    std::printf("worker_big_mb_per_s %.1f\n", kBigSize / kMegabyte / best);

    double smallSeconds = 0;
    if (!DownloadAll(smallUrls, kMegabyte, smallSeconds)) {
        std::fprintf(stderr, "a 1 MB download failed\n");
        return 1;
    }
    std::printf("worker_16x1mb_seconds %.3f\n", smallSeconds);

    std::vector<double> stops;
    for (int run = 0; run < kStopRuns; ++run) {
        double stopMs = 0;
        if (!TimeStop(server, stopMs)) {
            std::fprintf(stderr, "the slow download did not run or did not fail at Stop\n");
            return 1;
        }
        stops.push_back(stopMs);
    }
    std::sort(stops.begin(), stops.end());
    std::printf("worker_stop_slow_body_ms_median %.1f\n", stops[stops.size() / 2]);
    std::printf("worker_stop_slow_body_ms_max %.1f\n", stops.back());
    return 0;
}
