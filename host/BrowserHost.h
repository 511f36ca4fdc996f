// The browser: loads the plug-in, opens the page, creates an instance per embed of the
// plug-in's type, serves the plug-in's requests and streams, and closes the page the way
// browsers of the time did. Every call in either direction goes to the call log.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "CallLog.h"
#include "HostOptions.h"
#include "HostWindow.h"
#include "PageInstance.h"
#include "PluginLibrary.h"
#include "PluginRegistration.h"
#include "StreamDelivery.h"
#include "UrlFetcher.h"
#include "browser/NpapiAbi.h"

class BrowserHost : private HostWindowEvents {
public:
    BrowserHost(const HostOptions& options, CallLog& log);
    ~BrowserHost();
    BrowserHost(const BrowserHost&) = delete;
    BrowserHost& operator=(const BrowserHost&) = delete;

    // The process exit code: 0 after a clean run, 1 when the page cannot be read, 2 when
    // the plug-in cannot be loaded or initialized.
    int Run();

private:
    const HostOptions& options_;
    CallLog& log_;
    UrlFetcher fetcher_;
    PluginRegistration registration_{"", ""};
    std::unique_ptr<PluginLibrary> library_;
    NPPluginFuncs pluginFuncs_{};
    // The 0.11 table, then the entries of later browsers, left empty.
    struct BrowserTable {
        NPNetscapeFuncs funcs;
        void* later[(kLargestTable - sizeof(NPNetscapeFuncs)) / sizeof(void*)];
    };
    BrowserTable browserTable_{};
    NPNetscapeFuncs& browserFuncs_ = browserTable_.funcs;
    std::unique_ptr<HostWindow> window_;
    std::unique_ptr<StreamDelivery> streams_;
    std::vector<std::unique_ptr<PageInstance>> instances_;
    std::string pageUrl_;
    std::string closeReason_;
    bool pageClosed_ = false;
    bool modalLoopDone_ = false;
    bool inModalLoop_ = false;

    static BrowserHost* current_;

    int ShowPage();
    std::string PluginPath() const;
    bool LoadPage(std::vector<Embed>& embeds);
    bool StartPlugin(const std::string& path);
    void FillBrowserFuncs();
    void OpenPage(const std::vector<Embed>& embeds);
    void OpenInstance(PageInstance& instance);
    void ClosePage();
    // As a browser closing the page: every instance loses its window and is destroyed.
    void CloseInstances();
    // A browser showing a dialog inside one of its services: a message loop of its own, in
    // which the plug-in's timers go on firing.
    void ModalLoop(const char* call, const char* url);
    // --late-src: the page location's request has had its answer; the src stream follows.
    void LocationAnswered(PageInstance& instance);
    // Starts every src stream whose wait is over, and times the next.
    void StartLateSources();
    void RequestClose(const char* reason);
    // No stream work is left, and no src stream waits to start.
    bool Idle() const;
    void CheckIdle();

    void OnWork() override;
    void OnTimer(UINT_PTR id) override;
    void OnCloseRequested() override;
    void OnAreaDestroyed(HWND area) override;
    void OnAreaDestroyMessage(HWND area) override;
    // The add-on of --subclass-areas: passes everything on to whoever it replaced.
    static LRESULT CALLBACK AddonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    PageInstance* InstanceOfArea(HWND area);

    static PageInstance* InstanceFor(NPP npp);
    static std::string Tag(NPP npp);
    NPError Route(PageInstance* instance, const char* url, const char* target, bool notify, void* notifyData);
    void Navigate(PageInstance& instance, const std::string& url, const char* target);
    NPError AnswerLocation(PageInstance& instance, bool notify, void* notifyData);
    // A URL's stream, unless --withhold says it never comes.
    void Stream(PageInstance& instance, const std::string& url, bool notify, void* notifyData);

    // The browser's side of NPNetscapeFuncs.
    static NPError GetURL(NPP npp, const char* url, const char* target);
    static NPError GetURLNotify(NPP npp, const char* url, const char* target, void* notifyData);
    static NPError PostURL(NPP npp, const char* url, const char* target, uint32_t len, const char* buf,
                           NPBool file);
    static NPError PostURLNotify(NPP npp, const char* url, const char* target, uint32_t len, const char* buf,
                                 NPBool file, void* notifyData);
    static NPError RequestRead(NPStream* stream, void* rangeList);
    static NPError NewStream(NPP npp, NPMIMEType type, const char* target, NPStream** stream);
    static int32_t Write(NPP npp, NPStream* stream, int32_t len, void* buffer);
    static NPError DestroyStream(NPP npp, NPStream* stream, NPReason reason);
    static void Status(NPP npp, const char* message);
    static const char* UserAgent(NPP npp);
    static void* MemAlloc(uint32_t size);
    static void MemFree(void* pointer);
    static uint32_t MemFlush(uint32_t size);
    static void ReloadPlugins(NPBool reloadPages);
    static void* GetJavaEnv();
    static void* GetJavaPeer(NPP npp);
    static NPError GetValue(NPP npp, int variable, void* value);
    static NPError SetValue(NPP npp, int variable, void* value);
    static void InvalidateRect(NPP npp, NPRect* rect);
    static void InvalidateRegion(NPP npp, void* region);
    static void ForceRedraw(NPP npp);
};
