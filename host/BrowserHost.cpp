#include "BrowserHost.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "ChildProcesses.h"
#include "UrlResolution.h"
#include "base/MessagePump.h"
#include "base/UniqueHandle.h"

namespace {

constexpr char kLocationScript[] = "javascript:window.location.href";
constexpr UINT_PTR kCloseTimer = 1;
constexpr UINT_PTR kRetryTimer = 2;
constexpr UINT_PTR kIdleTimer = 3;
constexpr UINT_PTR kLateSrcTimer = 4;
constexpr int kDefaultAreaWidth = 240;
constexpr int kDefaultAreaHeight = 160;
constexpr char kAddonProperty[] = "OrbhostAddonReplaced";
// A page location answered in pieces comes this many bytes per NPP_Write.
constexpr size_t kSplitLocationBytes = 7;

// NPNVariable values this browser answers.
constexpr int kNetscapeWindow = 3;
constexpr int kJavascriptEnabled = 4;
constexpr int kAsdEnabled = 5;
constexpr int kIsOffline = 6;

std::string Hex4(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

int Dimension(const Embed& embed, const char* name, int fallback)
{
    const std::string* text = embed.Find(name);
    int value = text ? std::atoi(text->c_str()) : 0;
    return value > 0 ? value : fallback;
}

std::string Arguments(const Embed& embed)
{
    std::string list = "[";
    for (const EmbedAttribute& attribute : embed.attributes) {
        if (list.size() > 1) list += " ";
        list += attribute.name + "=" + CallLog::Quote(attribute.value);
    }
    return list + "]";
}

bool IsFetchableUrl(const std::string& page)
{
    std::string scheme = UrlScheme(page);
    return scheme == "file" || scheme == "http" || scheme == "https";
}

}  // namespace

BrowserHost* BrowserHost::current_ = nullptr;

BrowserHost::BrowserHost(const HostOptions& options, CallLog& log)
    : options_(options), log_(log), fetcher_(options.userAgent)
{
    current_ = this;
}

BrowserHost::~BrowserHost()
{
    streams_.reset();
    window_.reset();
    current_ = nullptr;
}

int BrowserHost::Run()
{
    int code = ShowPage();
    log_.Line("* exit code=" + std::to_string(code));
    return code;
}

int BrowserHost::ShowPage()
{
    if (!options_.until.empty()) log_.Watch(options_.until, [this] { RequestClose("until"); });
    std::string pluginPath = PluginPath();
    log_.Line("* host version=" + Hex4(options_.version) + " user-agent=" + CallLog::Quote(options_.userAgent) +
              " plugin=" + CallLog::Quote(pluginPath));

    std::string mimeTypes = PluginLibrary::VersionString(pluginPath, "MIMEType");
    std::string extents = PluginLibrary::VersionString(pluginPath, "FileExtents");
    log_.Line("* registration mime=" + CallLog::Quote(mimeTypes) + " extents=" + CallLog::Quote(extents));
    registration_ = PluginRegistration(mimeTypes, extents);
    if (registration_.MimeTypes().empty()) {
        log_.Line("* error no MIMEType in the plug-in's version resource");
        return 2;
    }

    std::vector<Embed> embeds;
    if (!LoadPage(embeds)) return 1;
    if (!StartPlugin(pluginPath)) {
        library_.reset();
        log_.Line("* FreeLibrary");
        return 2;
    }

    HostWindowEvents& events = *this;
    window_ = std::make_unique<HostWindow>(events, "orbhost - " + pageUrl_, options_.windowWidth,
                                           options_.windowHeight);
    StreamDelivery::Hooks hooks;
    hooks.wake = [this] { window_->PostWork(); };
    hooks.retryIn = [this](int ms) { window_->StartTimer(kRetryTimer, static_cast<UINT>(ms)); };
    hooks.ended = [this](PageInstance& instance, const std::string& url) {
        if (url == kLocationScript) LocationAnswered(instance);
    };
    StreamDelivery::Options delivery;
    delivery.chunkBytes = options_.chunkBytes;
    delivery.trickleMs = options_.trickleMs;
    delivery.atOnce = options_.answerAtOnce;
    delivery.deleteFiles = options_.deleteFiles;
    delivery.longPaths = options_.longPaths;
    streams_ = std::make_unique<StreamDelivery>(log_, fetcher_, registration_, pluginFuncs_, delivery, hooks);
    log_.Line("* window frame=" + CallLog::Pointer(window_->Handle()));
    OpenPage(embeds);

    if (options_.seconds > 0) {
        window_->StartTimer(kCloseTimer, static_cast<UINT>(std::lround(options_.seconds * 1000)));
    }
    if (!closeReason_.empty()) window_->PostClose();
    CheckIdle();

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (!pageClosed_) ClosePage();
    return 0;
}

std::string BrowserHost::PluginPath() const
{
    if (!options_.pluginPath.empty()) return options_.pluginPath;
    char exe[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string beside(exe);
    beside = beside.substr(0, beside.find_last_of("\\/") + 1) + "npOrbolanth.dll";
    if (GetFileAttributesA(beside.c_str()) != INVALID_FILE_ATTRIBUTES) return beside;
    return ORB_DEFAULT_PLUGIN;
}

bool BrowserHost::LoadPage(std::vector<Embed>& embeds)
{
    std::string source = options_.page;
    if (!IsFetchableUrl(source)) {
        char full[MAX_PATH] = "";
        if (GetFullPathNameA(source.c_str(), MAX_PATH, full, nullptr) == 0) {
            log_.Line("* error bad page path " + CallLog::Quote(source));
            return false;
        }
        source = PathToFileUrl(full);
    }
    FetchResult page = fetcher_.Fetch(source);
    if (!page.ok) {
        log_.Line("* error page " + CallLog::Quote(source) + " not read: " + CallLog::Quote(page.error));
        return false;
    }
    pageUrl_ = options_.pageUrl.empty() ? source : options_.pageUrl;
    embeds = ParseEmbeds(page.body);
    log_.Line("* page url=" + CallLog::Quote(pageUrl_) + " source=" + CallLog::Quote(source) +
              " embeds=" + std::to_string(embeds.size()));
    return true;
}

bool BrowserHost::StartPlugin(const std::string& path)
{
    library_ = std::make_unique<PluginLibrary>(path);
    if (!library_->Loaded()) {
        log_.Line("* LoadLibrary path=" + CallLog::Quote(path) + " -> failed error=" +
                  std::to_string(library_->LoadError()));
        return false;
    }
    log_.Line("* LoadLibrary path=" + CallLog::Quote(path) + " -> ok");

    pluginFuncs_ = NPPluginFuncs{};
    pluginFuncs_.size = sizeof pluginFuncs_;
    NPError rc = library_->getEntryPoints(&pluginFuncs_);
    log_.Line("> NP_GetEntryPoints size=" + std::to_string(pluginFuncs_.size) +
              " plugin-version=" + Hex4(pluginFuncs_.version) + " -> " + std::to_string(rc));
    if (rc != NPERR_NO_ERROR) return false;

    FillBrowserFuncs();
    rc = library_->initialize(&browserFuncs_);
    log_.Line("> NP_Initialize version=" + Hex4(browserFuncs_.version) + " size=" + std::to_string(browserFuncs_.size) +
              " geturlnotify=" + (browserFuncs_.geturlnotify ? "yes" : "no") +
              " urlnotify=" + (pluginFuncs_.urlnotify ? "yes" : "no") + " -> " + std::to_string(rc));
    return rc == NPERR_NO_ERROR;
}

void BrowserHost::FillBrowserFuncs()
{
    browserTable_ = BrowserTable{};
    NPNetscapeFuncs& f = browserFuncs_;
    f.size = static_cast<uint16_t>(options_.tableSize > 0 ? options_.tableSize : static_cast<int>(sizeof f));
    f.version = options_.version;
    f.geturl = &GetURL;
    f.posturl = &PostURL;
    f.requestread = &RequestRead;
    f.newstream = &NewStream;
    f.write = &Write;
    f.destroystream = &DestroyStream;
    f.status = &Status;
    f.uagent = &UserAgent;
    f.memalloc = &MemAlloc;
    f.memfree = &MemFree;
    f.memflush = &MemFlush;
    f.reloadplugins = &ReloadPlugins;
    f.getvalue = &GetValue;
    f.setvalue = &SetValue;
    f.invalidaterect = &InvalidateRect;
    f.invalidateregion = &InvalidateRegion;
    f.forceredraw = &ForceRedraw;
    // Notifications and LiveConnect came with minor version 9: an older browser has neither.
    if ((options_.version & 0xFF) >= 9) {
        f.geturlnotify = &GetURLNotify;
        f.posturlnotify = &PostURLNotify;
        f.getJavaEnv = &GetJavaEnv;
        f.getJavaPeer = &GetJavaPeer;
    }
}

void BrowserHost::OpenPage(const std::vector<Embed>& embeds)
{
    for (size_t index = 0; index < embeds.size(); ++index) {
        std::string type = registration_.TypeForEmbed(embeds[index]);
        if (type.empty()) {
            log_.Line("* embed index=" + std::to_string(index) + " skipped");
            continue;
        }
        auto instance = std::make_unique<PageInstance>();
        instance->id = static_cast<int>(instances_.size()) + 1;
        instance->embed = embeds[index];
        instance->mimeType = type;
        instance->npp.ndata = instance.get();
        instances_.push_back(std::move(instance));
        log_.Line("* embed index=" + std::to_string(index) + " inst=" + std::to_string(instances_.back()->id) +
                  " type=" + CallLog::Quote(type));
        OpenInstance(*instances_.back());
    }
    window_->SetStatus("Document: Done");
}

void BrowserHost::OpenInstance(PageInstance& instance)
{
    const int width = Dimension(instance.embed, "width", kDefaultAreaWidth);
    const int height = Dimension(instance.embed, "height", kDefaultAreaHeight);
    int x = 0, y = 0;
    instance.area = window_->AddPluginArea(width, height, x, y);
    NPWindow& window = instance.window;
    window.window = instance.area;
    window.x = x;
    window.y = y;
    window.width = static_cast<uint32_t>(width);
    window.height = static_cast<uint32_t>(height);
    window.clipRect = {static_cast<uint16_t>(y), static_cast<uint16_t>(x), static_cast<uint16_t>(y + height),
                       static_cast<uint16_t>(x + width)};
    window.type = NPWindowTypeWindow;

    for (EmbedAttribute& attribute : instance.embed.attributes) {
        instance.argn.push_back(&attribute.name[0]);
        instance.argv.push_back(&attribute.value[0]);
    }
    const int16_t argc = static_cast<int16_t>(instance.argn.size());
    const std::string* src = instance.embed.Find("src");
    const std::string srcUrl = src && !src->empty() ? ResolveUrl(pageUrl_, *src) : "";
    // Known before NPP_New, in which the location request may already be answered.
    if (options_.lateSrcMs >= 0) instance.lateSrc = srcUrl;
    NPError rc = pluginFuncs_.newp ? pluginFuncs_.newp(const_cast<char*>(instance.mimeType.c_str()), &instance.npp,
                                                       NP_EMBED, argc, instance.argn.data(), instance.argv.data(),
                                                       nullptr)
                                   : NPError{NPERR_INVALID_FUNCTABLE_ERROR};
    log_.Line("> NPP_New inst=" + std::to_string(instance.id) + " type=" + CallLog::Quote(instance.mimeType) +
              " mode=1 argc=" + std::to_string(argc) + " args=" + Arguments(instance.embed) + " -> " +
              std::to_string(rc));
    if (rc != NPERR_NO_ERROR) return;
    instance.created = true;

    // Like a browser: the src request goes out right after NPP_New, its data comes later.
    if (options_.lateSrcMs < 0 && !srcUrl.empty()) Stream(instance, srcUrl, false, nullptr);
    if (instance.lateSrcDue) StartLateSources();

    rc = pluginFuncs_.setwindow ? pluginFuncs_.setwindow(&instance.npp, &window) : NPError{NPERR_INVALID_FUNCTABLE_ERROR};
    log_.Line("> NPP_SetWindow inst=" + std::to_string(instance.id) + " window=" + CallLog::Pointer(window.window) +
              " x=" + std::to_string(x) + " y=" + std::to_string(y) + " width=" + std::to_string(width) +
              " height=" + std::to_string(height) + " type=" + std::to_string(window.type) + " -> " +
              std::to_string(rc));
    if (options_.subclassAreas) {
        LONG_PTR replaced = SetWindowLongPtrA(instance.area, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AddonProc));
        SetPropA(instance.area, kAddonProperty, reinterpret_cast<HANDLE>(replaced));
        log_.Line("* addon inst=" + std::to_string(instance.id) + " window=" + CallLog::Pointer(instance.area) +
                  " replaced=" + CallLog::Pointer(reinterpret_cast<void*>(replaced)));
    }
}

LRESULT CALLBACK BrowserHost::AddonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC replaced = reinterpret_cast<WNDPROC>(GetPropA(hwnd, kAddonProperty));
    if (message == WM_DESTROY && current_) {
        PageInstance* instance = current_->InstanceOfArea(hwnd);
        current_->log_.Line("* addon-destroy inst=" + std::to_string(instance ? instance->id : 0));
    }
    if (message == WM_NCDESTROY) RemovePropA(hwnd, kAddonProperty);
    return replaced ? CallWindowProcA(replaced, hwnd, message, wParam, lParam)
                    : DefWindowProcA(hwnd, message, wParam, lParam);
}

PageInstance* BrowserHost::InstanceOfArea(HWND area)
{
    for (auto& instance : instances_) {
        if (instance->area == area) return instance.get();
    }
    return nullptr;
}

void BrowserHost::ClosePage()
{
    pageClosed_ = true;
    CloseInstances();
    NPError rc = library_->shutdown();
    log_.Line("> NP_Shutdown -> " + std::to_string(rc));
    library_.reset();
    log_.Line("* FreeLibrary");
}

void BrowserHost::CloseInstances()
{
    for (auto& instance : instances_) {
        instance->closing = true;
        const std::string tag = "inst=" + std::to_string(instance->id);
        if (options_.destroyAreasFirst && instance->area) window_->RemovePluginArea(instance->area);
        if (instance->created) {
            if (!options_.lateEnds) streams_->Cancel(*instance, true);
            instance->window.window = nullptr;
            NPError rc = pluginFuncs_.setwindow(&instance->npp, &instance->window);
            log_.Line("> NPP_SetWindow " + tag + " window=(null) -> " + std::to_string(rc));
        }
        if (options_.subclassAreas && instance->area) {
            const bool first = GetWindowLongPtrA(instance->area, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&AddonProc);
            log_.Line("* addon-chain " + tag + " first=" + (first ? "1" : "0") + " answer=" +
                      std::to_string(SendMessageA(instance->area, WM_NULL, 0, 0)));
        }
        if (instance->area) window_->RemovePluginArea(instance->area);
        if (!instance->created) continue;
        NPSavedData* saved = nullptr;
        NPError rc = pluginFuncs_.destroy ? pluginFuncs_.destroy(&instance->npp, &saved) : NPError{NPERR_GENERIC_ERROR};
        log_.Line("> NPP_Destroy " + tag + " saved=" + CallLog::Pointer(saved) + " -> " + std::to_string(rc));
        if (saved) {
            std::free(saved->buf);
            std::free(saved);
        }
        instance->created = false;
        // Like a browser that tidies up after the instance: its streams still end, but
        // nobody is notified.
        if (options_.lateEnds) streams_->Cancel(*instance, false);
    }
}

void BrowserHost::ModalLoop(const char* call, const char* url)
{
    const std::string text = url ? url : "";
    if (modalLoopDone_ || options_.modalCall != call || text == kLocationScript ||
        text.find(options_.modalUrl) == std::string::npos) {
        return;
    }
    modalLoopDone_ = true;
    log_.Line("* modal-loop call=" + std::string(call) + " ms=" + std::to_string(options_.modalMs) +
              " action=" + CallLog::Quote(options_.inLoop.c_str()));
    if (options_.inLoop == "kill-renderer") {
        log_.Line("* killed count=" + std::to_string(EndChildProcesses(GetCurrentProcess(), 9)));
    } else if (options_.inLoop == "close-page") {
        CloseInstances();
    }
    inModalLoop_ = true;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(options_.modalMs)) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        PumpMessages();
    }
    inModalLoop_ = false;
    log_.Line("* modal-loop-end");
    if (options_.inLoop == "close-page") RequestClose("modal-loop");
    if (!closeReason_.empty()) window_->PostClose();
}


void BrowserHost::LocationAnswered(PageInstance& instance)
{
    if (instance.lateSrc.empty() || instance.lateSrcDue) return;
    instance.lateSrcDue = true;
    instance.lateSrcAt = GetTickCount() + static_cast<DWORD>(options_.lateSrcMs);
    StartLateSources();
}

void BrowserHost::StartLateSources()
{
    window_->StopTimer(kLateSrcTimer);
    const DWORD now = GetTickCount();
    DWORD wait = 0;
    for (auto& instance : instances_) {
        // An instance inside its NPP_New gets its stream once that has returned.
        if (!instance->lateSrcDue || instance->lateSrc.empty() || !instance->created) continue;
        const LONG left = static_cast<LONG>(instance->lateSrcAt - now);
        if (left > 0 && !instance->closing) {
            wait = wait == 0 ? static_cast<DWORD>(left) : std::min(wait, static_cast<DWORD>(left));
            continue;
        }
        std::string url;
        url.swap(instance->lateSrc);
        if (instance->closing) continue;
        log_.Line("* late-src inst=" + std::to_string(instance->id) + " url=" + CallLog::Quote(url));
        Stream(*instance, url, false, nullptr);
    }
    if (wait > 0) window_->StartTimer(kLateSrcTimer, wait);
}

void BrowserHost::RequestClose(const char* reason)
{
    if (!closeReason_.empty()) return;
    closeReason_ = reason;
    if (window_) window_->PostClose();
}

bool BrowserHost::Idle() const
{
    return streams_->Idle() && std::none_of(instances_.begin(), instances_.end(), [](const auto& instance) {
               return !instance->lateSrc.empty() && !instance->closing;
           });
}

void BrowserHost::CheckIdle()
{
    if (!options_.untilIdle || !streams_) return;
    if (Idle()) {
        window_->StartTimer(kIdleTimer, static_cast<UINT>(options_.settleMs));
    } else {
        window_->StopTimer(kIdleTimer);
    }
}

void BrowserHost::OnWork()
{
    if (pageClosed_) return;
    streams_->Step();
    CheckIdle();
}

void BrowserHost::OnTimer(UINT_PTR id)
{
    if (pageClosed_) return;
    if (id == kCloseTimer) {
        RequestClose("seconds");
    } else if (id == kRetryTimer) {
        window_->StopTimer(kRetryTimer);
        streams_->Resume();
    } else if (id == kIdleTimer && Idle()) {
        RequestClose("idle");
    } else if (id == kLateSrcTimer) {
        StartLateSources();
    }
}

void BrowserHost::OnCloseRequested()
{
    if (pageClosed_) return;
    if (closeReason_.empty()) closeReason_ = "window";
    // Closing unloads the library, whose code is on the stack below the dialog: the close
    // waits for the dialog to end.
    if (inModalLoop_) return;
    log_.Line("* close reason=" + closeReason_);
    ClosePage();
    window_->Destroy();
}

void BrowserHost::OnAreaDestroyMessage(HWND area)
{
    PageInstance* instance = InstanceOfArea(area);
    log_.Line("* area-destroy-message inst=" + std::to_string(instance ? instance->id : 0));
}

void BrowserHost::OnAreaDestroyed(HWND area)
{
    for (auto& instance : instances_) {
        if (instance->area != area) continue;
        log_.Line("* area-destroyed inst=" + std::to_string(instance->id) + " window=" + CallLog::Pointer(area));
        instance->area = nullptr;
    }
}

PageInstance* BrowserHost::InstanceFor(NPP npp)
{
    if (!current_ || !npp) return nullptr;
    for (auto& instance : current_->instances_) {
        if (&instance->npp == npp) return instance.get();
    }
    return nullptr;
}

std::string BrowserHost::Tag(NPP npp)
{
    PageInstance* instance = InstanceFor(npp);
    return instance ? "inst=" + std::to_string(instance->id) : "inst=? npp=" + CallLog::Pointer(npp);
}

NPError BrowserHost::Route(PageInstance* instance, const char* url, const char* target, bool notify,
                           void* notifyData)
{
    if (!instance || instance->closing || !streams_) return NPERR_INVALID_INSTANCE_ERROR;
    if (!url) return NPERR_INVALID_URL;
    std::string text = url;
    if (UrlScheme(text) == "javascript") {
        // Only the page-location script has an answer here.
        if (text != kLocationScript || target) return NPERR_INVALID_URL;
        return AnswerLocation(*instance, notify, notifyData);
    }
    std::string absolute = ResolveUrl(pageUrl_, text);
    if (target) {
        Navigate(*instance, absolute, target);
        if (notify) streams_->DeliverNotification(*instance, absolute, notifyData);
        return NPERR_NO_ERROR;
    }
    std::string scheme = UrlScheme(absolute);
    if (scheme != "file" && scheme != "http" && scheme != "https") return NPERR_INVALID_URL;
    Stream(*instance, absolute, notify, notifyData);
    return NPERR_NO_ERROR;
}

void BrowserHost::Stream(PageInstance& instance, const std::string& url, bool notify, void* notifyData)
{
    if (!options_.withhold.empty() && url.find(options_.withhold) != std::string::npos) {
        log_.Line("* withhold inst=" + std::to_string(instance.id) + " url=" + CallLog::Quote(url));
        streams_->Withhold(instance, url, notify, notifyData);
        return;
    }
    streams_->DeliverUrl(instance, url, notify, notifyData);
}

NPError BrowserHost::AnswerLocation(PageInstance& instance, bool notify, void* notifyData)
{
    const std::string& mode = options_.location;
    if (mode == "refuse") {
        LocationAnswered(instance);
        return NPERR_GENERIC_ERROR;
    }
    if (mode == "never") {
        log_.Line("* withhold inst=" + std::to_string(instance.id) + " url=" + CallLog::Quote(kLocationScript));
        streams_->Withhold(instance, kLocationScript, notify, notifyData);
        LocationAnswered(instance);
        return NPERR_NO_ERROR;
    }
    StreamDelivery::Text answer;
    answer.text = mode == "empty" ? "" : mode == "fail" ? pageUrl_.substr(0, pageUrl_.size() / 2) : pageUrl_;
    answer.endReason = mode == "fail" ? NPRES_NETWORK_ERR : NPRES_DONE;
    answer.chunkBytes = mode == "split" ? kSplitLocationBytes : 0;
    streams_->DeliverText(instance, kLocationScript, "text/plain", answer, notify, notifyData);
    return NPERR_NO_ERROR;
}

void BrowserHost::Navigate(PageInstance& instance, const std::string& url, const char* target)
{
    log_.Line("* navigate inst=" + std::to_string(instance.id) + " url=" + CallLog::Quote(url) +
              " target=" + CallLog::Quote(target));
    window_->SetStatus("Navigate: " + url + " (" + target + ")");
    window_->SetTitle("orbhost - navigate to " + url);
}

NPError BrowserHost::GetURL(NPP npp, const char* url, const char* target)
{
    current_->ModalLoop("geturl", url);
    NPError rc = current_->Route(InstanceFor(npp), url, target, false, nullptr);
    current_->log_.Line("< NPN_GetURL " + Tag(npp) + " url=" + CallLog::Quote(url) + " target=" +
                        CallLog::Quote(target) + " -> " + std::to_string(rc));
    return rc;
}

NPError BrowserHost::GetURLNotify(NPP npp, const char* url, const char* target, void* notifyData)
{
    current_->ModalLoop("geturlnotify", url);
    NPError rc = current_->Route(InstanceFor(npp), url, target, true, notifyData);
    current_->log_.Line("< NPN_GetURLNotify " + Tag(npp) + " url=" + CallLog::Quote(url) + " target=" +
                        CallLog::Quote(target) + " notifyData=" + CallLog::Pointer(notifyData) + " -> " +
                        std::to_string(rc));
    return rc;
}

NPError BrowserHost::PostURL(NPP npp, const char* url, const char* target, uint32_t len, const char*, NPBool)
{
    current_->log_.Line("< NPN_PostURL " + Tag(npp) + " url=" + CallLog::Quote(url) + " target=" +
                        CallLog::Quote(target) + " len=" + std::to_string(len) + " -> 1 (not supported)");
    return NPERR_GENERIC_ERROR;
}

NPError BrowserHost::PostURLNotify(NPP npp, const char* url, const char* target, uint32_t len, const char*, NPBool,
                                   void* notifyData)
{
    current_->log_.Line("< NPN_PostURLNotify " + Tag(npp) + " url=" + CallLog::Quote(url) + " target=" +
                        CallLog::Quote(target) + " len=" + std::to_string(len) + " notifyData=" +
                        CallLog::Pointer(notifyData) + " -> 1 (not supported)");
    return NPERR_GENERIC_ERROR;
}

NPError BrowserHost::RequestRead(NPStream* stream, void*)
{
    current_->log_.Line("< NPN_RequestRead stream=" + CallLog::Pointer(stream) + " -> 13 (not seekable)");
    return NPERR_STREAM_NOT_SEEKABLE;
}

NPError BrowserHost::NewStream(NPP npp, NPMIMEType type, const char* target, NPStream**)
{
    current_->log_.Line("< NPN_NewStream " + Tag(npp) + " type=" + CallLog::Quote(type) + " target=" +
                        CallLog::Quote(target) + " -> 1 (not supported)");
    return NPERR_GENERIC_ERROR;
}

int32_t BrowserHost::Write(NPP npp, NPStream* stream, int32_t len, void*)
{
    current_->log_.Line("< NPN_Write " + Tag(npp) + " stream=" + CallLog::Pointer(stream) + " len=" +
                        std::to_string(len) + " -> -1 (not supported)");
    return -1;
}

NPError BrowserHost::DestroyStream(NPP npp, NPStream* stream, NPReason reason)
{
    current_->log_.Line("< NPN_DestroyStream " + Tag(npp) + " stream=" + CallLog::Pointer(stream) + " reason=" +
                        std::to_string(reason) + " -> 1 (not supported)");
    return NPERR_GENERIC_ERROR;
}

void BrowserHost::Status(NPP npp, const char* message)
{
    current_->log_.Line("< NPN_Status " + Tag(npp) + " text=" + CallLog::Quote(message));
    current_->ModalLoop("status", nullptr);
    if (current_->window_) current_->window_->SetStatus(message ? message : "");
}

const char* BrowserHost::UserAgent(NPP npp)
{
    const char* agent = current_->options_.userAgent.c_str();
    current_->log_.Line("< NPN_UserAgent " + Tag(npp) + " -> " + CallLog::Quote(agent));
    return agent;
}

void* BrowserHost::MemAlloc(uint32_t size)
{
    void* pointer = std::malloc(size);
    current_->log_.Line("< NPN_MemAlloc size=" + std::to_string(size) + " -> " + CallLog::Pointer(pointer));
    return pointer;
}

void BrowserHost::MemFree(void* pointer)
{
    current_->log_.Line("< NPN_MemFree pointer=" + CallLog::Pointer(pointer));
    std::free(pointer);
}

uint32_t BrowserHost::MemFlush(uint32_t size)
{
    current_->log_.Line("< NPN_MemFlush size=" + std::to_string(size) + " -> 0");
    return 0;
}

void BrowserHost::ReloadPlugins(NPBool reloadPages)
{
    current_->log_.Line("< NPN_ReloadPlugins reloadPages=" + std::to_string(reloadPages) + " (ignored)");
}

void* BrowserHost::GetJavaEnv()
{
    current_->log_.Line("< NPN_GetJavaEnv -> (null)");
    return nullptr;
}

void* BrowserHost::GetJavaPeer(NPP npp)
{
    current_->log_.Line("< NPN_GetJavaPeer " + Tag(npp) + " -> (null)");
    return nullptr;
}

NPError BrowserHost::GetValue(NPP npp, int variable, void* value)
{
    NPError rc = NPERR_GENERIC_ERROR;
    if (value) {
        rc = NPERR_NO_ERROR;
        if (variable == kNetscapeWindow) {
            *static_cast<HWND*>(value) = current_->window_ ? current_->window_->Handle() : nullptr;
        } else if (variable == kJavascriptEnabled) {
            *static_cast<NPBool*>(value) = true;
        } else if (variable == kAsdEnabled || variable == kIsOffline) {
            *static_cast<NPBool*>(value) = false;
        } else {
            rc = NPERR_GENERIC_ERROR;
        }
    }
    current_->log_.Line("< NPN_GetValue " + Tag(npp) + " variable=" + std::to_string(variable) + " -> " +
                        std::to_string(rc));
    return rc;
}

NPError BrowserHost::SetValue(NPP npp, int variable, void* value)
{
    current_->log_.Line("< NPN_SetValue " + Tag(npp) + " variable=" + std::to_string(variable) + " value=" +
                        CallLog::Pointer(value) + " -> 1 (windowed plug-ins only)");
    return NPERR_GENERIC_ERROR;
}

void BrowserHost::InvalidateRect(NPP npp, NPRect* rect)
{
    current_->log_.Line("< NPN_InvalidateRect " + Tag(npp));
    if (PageInstance* instance = InstanceFor(npp)) {
        if (instance->area) ::InvalidateRect(instance->area, nullptr, TRUE);
    }
}

void BrowserHost::InvalidateRegion(NPP npp, void*)
{
    current_->log_.Line("< NPN_InvalidateRegion " + Tag(npp));
    if (PageInstance* instance = InstanceFor(npp)) {
        if (instance->area) ::InvalidateRect(instance->area, nullptr, TRUE);
    }
}

void BrowserHost::ForceRedraw(NPP npp)
{
    current_->log_.Line("< NPN_ForceRedraw " + Tag(npp));
    if (PageInstance* instance = InstanceFor(npp)) {
        if (instance->area) UpdateWindow(instance->area);
    }
}
