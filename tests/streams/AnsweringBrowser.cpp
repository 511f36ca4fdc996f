#include "AnsweringBrowser.h"

#include <windows.h>

#include "BrowserWindow.h"
#include "plugin/PluginInstance.h"
#include "streams/StreamManager.h"

AnsweringBrowser::AnsweringBrowser(uint16_t version, std::string pageUrl,
                                   std::function<std::string(const std::string&)> localFile)
    : browser_(version, "Mozilla/4.08 [en] (WinNT; I ;Nav)"), pageUrl_(std::move(pageUrl)),
      localFile_(std::move(localFile))
{
}

void AnsweringBrowser::Deliver(NPP npp, const std::string& url, bool notify, void* notifyData)
{
    NPStream stream{};
    stream.url = url.c_str();
    stream.notifyData = notify ? notifyData : nullptr;
    uint16_t stype = NP_NORMAL;
    if (url == kLocationUrl) {
        NPP_NewStream(npp, const_cast<char*>("text/plain"), &stream, 0, &stype);
        NPP_Write(npp, &stream, 0, static_cast<int32_t>(pageUrl_.size()), const_cast<char*>(pageUrl_.c_str()));
        NPP_DestroyStream(npp, &stream, NPRES_DONE);
        if (notify) NPP_URLNotify(npp, url.c_str(), NPRES_DONE, notifyData);
        return;
    }
    const std::string file = localFile_(url);
    if (file.empty() && notify) {
        NPP_URLNotify(npp, url.c_str(), NPRES_NETWORK_ERR, notifyData);
        return;
    }
    NPP_NewStream(npp, const_cast<char*>("application/octet-stream"), &stream, 0, &stype);
    if (!file.empty() && stype == NP_ASFILE) NPP_StreamAsFile(npp, &stream, file.c_str());
    const NPReason reason = file.empty() ? NPRES_NETWORK_ERR : NPRES_DONE;
    NPP_DestroyStream(npp, &stream, reason);
    if (notify) NPP_URLNotify(npp, url.c_str(), reason, notifyData);
}

void AnsweringBrowser::Answer(NPP npp)
{
    // Answers may lead to more requests: the list grows while it is walked.
    while (answered_ < browser_.Calls().size()) {
        const BrowserCall call = browser_.Calls()[answered_++];
        if (call.function != "geturl" && call.function != "geturlnotify") continue;
        if (call.target != "(null)") continue;
        if (!withhold.empty() && call.url.find(withhold) != std::string::npos) continue;
        Deliver(npp, call.url, call.function == "geturlnotify", call.notifyData);
    }
}

bool PumpUntil(AnsweringBrowser& browser, NPP npp, const std::function<bool()>& done, DWORD limitMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        PumpMessages();
        if (InstanceOf(npp)) browser.Answer(npp);
        if (done()) return true;
        if (GetTickCount() - start > limitMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
    }
}
