// The browser: loads the plug-in, reads a page, creates an instance per embed of the
// plug-in's type, serves the plug-in's requests and streams, and closes the page the way
// browsers of the time did. Every call in either direction goes to the call log. The
// program around it (the test host, the player) owns the decisions a browser's user
// interface makes: what a navigation does, when to close, what else the frame shows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "BrowserOptions.h"
#include "CallLog.h"
#include "HostWindow.h"
#include "PageInstance.h"
#include "PluginLibrary.h"
#include "PluginRegistration.h"
#include "StreamDelivery.h"
#include "TempFolder.h"
#include "UrlFetcher.h"
#include "browser/NpapiAbi.h"

// What the program around the browser decides. Timer ids from kFirstOwnerTimer up are its own.
class BrowserEvents {
public:
    static constexpr UINT_PTR kFirstOwnerTimer = 16;

    virtual void OnNavigate(PageInstance& instance, const std::string& url, const char* target) = 0;
    virtual void OnCloseRequested() = 0;
    virtual void OnTimer(UINT_PTR) {}
    // The frame's message before the browser's own handling; true when it is answered.
    virtual bool OnFrameMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }
    // Entering NPN_GetURL, NPN_GetURLNotify or NPN_Status ("geturl", "geturlnotify",
    // "status"), with the URL asked for.
    virtual void OnService(const char*, const char*) {}
    virtual void OnWindowGiven(PageInstance&) {}       // after NPP_SetWindow with the area
    virtual void OnInstanceClosing(PageInstance&) {}   // after NPP_SetWindow(null)
    virtual void OnStreamWork() {}                     // streams moved on
    // The page ReadPage asked for has been read: its embeds, or `error` when it was not.
    virtual void OnPageRead(std::vector<Embed>&, const std::string& /*error*/) {}
    virtual void OnFetching() {}                       // a fetch has begun: Fetches() has news
    // A stream's body passed the stream's limit, and the stream ended with a network error.
    virtual void OnStreamOverLimit(const std::string&) {}
    // NPN_Status of an instance, after the browser's own status bar has it.
    virtual void OnStatus(PageInstance&, const std::string& /*text*/) {}

protected:
    ~BrowserEvents() = default;
};

class Browser : private HostWindowEvents {
public:
    Browser(const BrowserOptions& options, CallLog& log, BrowserEvents& events);
    ~Browser();
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    // The library's registration from its version resource, read before it is loaded;
    // false with `error` set when it names no MIME type.
    bool ReadRegistration(const std::string& path, std::string& error);
    // Loads the library and initializes it; false with `error` set.
    bool StartPlugin(const std::string& path, std::string& error);
    bool PluginLoaded() const { return library_ != nullptr; }

    // The window the pages show in; once, before the first page. With `unseenAt`, a frame
    // nobody sees at that place (HostWindow).
    void MakeWindow(const char* frameClass, const std::string& title, int width, int height, HMENU menu = nullptr,
                    const POINT* unseenAt = nullptr);
    // Stream bodies come from `source` instead of the browser's own fetches; before MakeWindow.
    void SetBodySource(StreamBodySource source) { bodySource_ = std::move(source); }
    HostWindow& Window() { return *window_; }

    // A page from a path or a file:/http(s): URL (site mappings honoured), fetched off the
    // window's thread; OnPageRead follows from the message loop. Its location is where it
    // came from after redirects, unless `pageUrl` replaces it. A page asked for meanwhile
    // replaces it. False with `error` set when the fetch cannot begin; needs the window.
    bool ReadPage(const std::string& pathOrUrl, const std::string& pageUrl, std::string& error);
    // The same inside this call, for a program that has no window yet.
    bool ReadPageNow(const std::string& pathOrUrl, const std::string& pageUrl, std::vector<Embed>& embeds,
                     std::string& error);
    // The page under way is given up without a word (another comes).
    void CancelPageRead() { pageFetch_.reset(); }
    // Every fetch under way (the page's and the streams') is given up at once.
    void StopFetches();
    std::vector<FetchProgress> Fetches() const;
    // The location relative names resolve against (a page, or an applet file of its own).
    void SetPageUrl(const std::string& url) { pageUrl_ = url; }
    const std::string& PageUrl() const { return pageUrl_; }

    // The plug-in may pump messages inside the calls these make (a renderer that is slow to
    // quit), and whatever is dispatched there may ask for a page operation again: an open
    // asked for meanwhile is refused, a close is done once the outer operation has finished.
    //
    // One instance per embed the plug-in takes; how many.
    int OpenPage(const std::vector<Embed>& embeds);
    // As a browser leaving the page: every instance loses its window and is destroyed.
    void CloseInstances();
    // A page built element by element (the native host's): one instance more, in an area at
    // `place` of the frame; null when the plug-in does not take the embed's type or a page
    // operation is under way (Busy). The page location must be set first.
    PageInstance* AddInstance(const Embed& embed, const RECT& place);
    // One instance closed as CloseInstances closes each; false (nothing done) while Busy.
    bool CloseInstance(PageInstance& instance);
    // A page operation is under way further up: the plug-in may be pumping messages in it.
    bool Busy() const { return pageWork_ > 0; }
    // The instances go, then NP_Shutdown and the library; nothing reaches the library after.
    void ClosePage();
    bool PageClosed() const { return pageClosed_; }

    // Moves an instance's area and tells the plug-in (NPP_SetWindow with the new size).
    void PlaceInstance(PageInstance& instance, int x, int y, int width, int height);
    const std::vector<std::unique_ptr<PageInstance>>& Instances() const { return instances_; }
    PageInstance* InstanceOfArea(HWND area);

    // No stream work is left, and no src stream waits to start.
    bool Idle() const;

private:
    static constexpr UINT_PTR kRetryTimer = 2;
    static constexpr UINT_PTR kLateSrcTimer = 4;

    const BrowserOptions& options_;
    CallLog& log_;
    BrowserEvents& events_;
    const FetchSettings fetchSettings_;
    TempFolder files_;  // outlives the streams, whose files are in it
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
    StreamBodySource bodySource_;
    int nextInstanceId_ = 1;
    bool pageClosed_ = false;
    // The page under way, and the location that replaces its own.
    std::unique_ptr<BackgroundFetch> pageFetch_;
    std::string pageUrlGiven_;
    int pageFetches_ = 0;
    int pageWork_ = 0;          // page operations under way, nested in one another's calls
    bool closeDue_ = false;     // a close of the instances was asked for inside one
    bool shutdownDue_ = false;  // the page's close was asked for inside one

    // Counts a page operation; the outermost one does the closing asked for meanwhile.
    class PageWork {
    public:
        explicit PageWork(Browser& browser);
        ~PageWork();
        PageWork(const PageWork&) = delete;
        PageWork& operator=(const PageWork&) = delete;

    private:
        Browser& browser_;
    };

    static Browser* current_;

    void FillBrowserFuncs();
    std::unique_ptr<BackgroundFetch> FetchPage(const std::string& pathOrUrl, bool inCall, std::string& error);
    // The fetched page's embeds; false with `error` set.
    bool TakePage(const BackgroundFetch& fetch, const std::string& pageUrl, std::vector<Embed>& embeds,
                  std::string& error);
    void PageArrived();
    // A new instance of the embed, listed; null (logged) when the plug-in does not take its type.
    PageInstance* NewInstance(const Embed& embed, size_t index);
    // In an area at `place`, or at the next free place of the page with the embed's size.
    void OpenInstance(PageInstance& instance, const RECT* place = nullptr);
    void CloseOne(PageInstance& instance);
    void TellWindow(PageInstance& instance);
    // The page location's request has had its answer; with lateSrcMs the src stream follows.
    void LocationAnswered(PageInstance& instance);
    // Starts every src stream whose wait is over, and times the next.
    void StartLateSources();

    void OnWork() override;
    void OnTimer(UINT_PTR id) override;
    void OnCloseRequested() override;
    bool OnFrameMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnAreaDestroyed(HWND area) override;
    void OnAreaDestroyMessage(HWND area) override;

    static PageInstance* InstanceFor(NPP npp);
    static std::string Tag(NPP npp);
    NPError Route(PageInstance* instance, const char* url, const char* target, bool notify, void* notifyData);
    // `reference` resolved against the page, or empty (the refusal logged) when the stream
    // rule refuses it.
    std::string StreamableUrl(PageInstance& instance, const std::string& reference);
    NPError AnswerLocation(PageInstance& instance, bool notify, void* notifyData);
    // A URL's stream, unless `withhold` says it never comes.
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
