#include "TestFetcher.h"

#include "base/DownloadListener.h"

bool TestFetcher::Request(DownloadListener* listener, const char* target, bool isApplet)
{
    calls.push_back({listener->GetUrl(), target ? target : "(null)", isApplet});
    if (during) during();
    if (shutDown) mode = Mode::Fail;  // a stopped fetcher takes nothing on
    switch (mode) {
    case Mode::Hold:
        listener->SetState(StateFetching);
        held.push_back(listener);
        return true;
    case Mode::Ready:
        listener->SetLocalFile(
            (pathFor ? pathFor(listener->GetUrl()) : "C:\\cache\\" + std::string(listener->GetUrl()))
                .c_str());
        listener->SetState(StateReady);
        listener->Release();
        return true;
    case Mode::Fail:
        listener->SetState(StateFailed);
        listener->Release();
        return false;
    }
    return false;
}

void TestFetcher::Finish(size_t index, int state, const std::string& path)
{
    DownloadListener* listener = held.at(index);
    held.erase(held.begin() + static_cast<std::ptrdiff_t>(index));
    if (!path.empty()) listener->SetLocalFile(path.c_str());
    listener->SetState(state);
    listener->Release();
}

void TestFetcher::Shutdown()
{
    shutDown = true;
    for (DownloadListener* listener : held) listener->Release();
    held.clear();
}
