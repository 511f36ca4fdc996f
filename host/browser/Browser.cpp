#include "Browser.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "StreamRule.h"
#include "UrlResolution.h"
#include "base/AnsiPath.h"
#include "base/UniqueHandle.h"

namespace {

constexpr char kLocationScript[] = "javascript:window.location.href";
constexpr int kDefaultAreaWidth = 240;
constexpr int kDefaultAreaHeight = 160;
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

void PlaceRecord(NPWindow& window, int x, int y, int width, int height)
{
    window.x = x;
    window.y = y;
    window.width = static_cast<uint32_t>(width);
    window.height = static_cast<uint32_t>(height);
    window.clipRect = {static_cast<uint16_t>(y), static_cast<uint16_t>(x), static_cast<uint16_t>(y + height),
                       static_cast<uint16_t>(x + width)};
}

bool ReadWholeFile(const std::string& path, std::string& bytes)
{
    FileHandle file(CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    char piece[65536];
    DWORD got = 0;
    while (ReadFile(file.Get(), piece, sizeof piece, &got, nullptr) && got > 0) bytes.append(piece, got);
    return true;
}

bool IsFetchableUrl(const std::string& page)
{
    std::string scheme = UrlScheme(page);
    return scheme == "file" || scheme == "http" || scheme == "https";
}

}  // namespace

Browser* Browser::current_ = nullptr;

Browser::Browser(const BrowserOptions& options, CallLog& log, BrowserEvents& events)
    : options_(options),
      log_(log),
      events_(events),
      fetchSettings_{options.userAgent, options.systemProxy, options.sites}
{
    current_ = this;
}

Browser::~Browser()
{
    if (!pageClosed_ && library_) ClosePage();
    streams_.reset();
    window_.reset();
    current_ = nullptr;
}

bool Browser::ReadRegistration(const std::string& path, std::string& error)
{
    log_.Line("* host version=" + Hex4(options_.version) + " user-agent=" + CallLog::Quote(options_.userAgent) +
              " plugin=" + CallLog::Quote(path));
    std::string mimeTypes = PluginLibrary::VersionString(path, "MIMEType");
    std::string extents = PluginLibrary::VersionString(path, "FileExtents");
    log_.Line("* registration mime=" + CallLog::Quote(mimeTypes) + " extents=" + CallLog::Quote(extents));
    registration_ = PluginRegistration(mimeTypes, extents);
    if (registration_.MimeTypes().empty()) {
        error = "no MIMEType in the plug-in's version resource";
        log_.Line("* error " + error);
        return false;
    }
    return true;
}

bool Browser::StartPlugin(const std::string& path, std::string& error)
{
    library_ = std::make_unique<PluginLibrary>(path);
    NPError rc = NPERR_MODULE_LOAD_FAILED_ERROR;
    if (!library_->Loaded()) {
        log_.Line("* LoadLibrary path=" + CallLog::Quote(path) + " -> failed error=" +
                  std::to_string(library_->LoadError()));
        error = "the plug-in cannot be loaded (error " + std::to_string(library_->LoadError()) + ")";
        library_.reset();
        log_.Line("* FreeLibrary");
        return false;
    }
    log_.Line("* LoadLibrary path=" + CallLog::Quote(path) + " -> ok");

    pluginFuncs_ = NPPluginFuncs{};
    pluginFuncs_.size = sizeof pluginFuncs_;
    rc = library_->getEntryPoints(&pluginFuncs_);
    log_.Line("> NP_GetEntryPoints size=" + std::to_string(pluginFuncs_.size) +
              " plugin-version=" + Hex4(pluginFuncs_.version) + " -> " + std::to_string(rc));
    if (rc == NPERR_NO_ERROR) {
        FillBrowserFuncs();
        rc = library_->initialize(&browserFuncs_);
        log_.Line("> NP_Initialize version=" + Hex4(browserFuncs_.version) + " size=" +
                  std::to_string(browserFuncs_.size) + " geturlnotify=" + (browserFuncs_.geturlnotify ? "yes" : "no") +
                  " urlnotify=" + (pluginFuncs_.urlnotify ? "yes" : "no") + " -> " + std::to_string(rc));
    }
    if (rc != NPERR_NO_ERROR) {
        error = "the plug-in did not start (error " + std::to_string(rc) + ")";
        library_.reset();
        log_.Line("* FreeLibrary");
        return false;
    }
    return true;
}

void Browser::MakeWindow(const char* frameClass, const std::string& title, int width, int height, HMENU menu,
                         const POINT* unseenAt)
{
    HostWindowEvents& events = *this;
    window_ = std::make_unique<HostWindow>(events, frameClass, title, width, height, menu, unseenAt);
    StreamDelivery::Hooks hooks;
    hooks.wake = [this] { window_->PostWork(); };
    hooks.retryIn = [this](int ms) { window_->StartTimer(kRetryTimer, static_cast<UINT>(ms)); };
    hooks.ended = [this](PageInstance& instance, const std::string& url) {
        if (url == kLocationScript) LocationAnswered(instance);
    };
    hooks.wakeFromThread = window_->WorkPoster();
    hooks.fetching = [this] { events_.OnFetching(); };
    hooks.overLimit = [this](const std::string& error) { events_.OnStreamOverLimit(error); };
    hooks.bodies = bodySource_;
    streams_ = std::make_unique<StreamDelivery>(log_, fetchSettings_, files_, registration_, pluginFuncs_,
                                                options_.delivery, hooks);
    log_.Line("* window frame=" + CallLog::Pointer(window_->Handle()));
}

std::unique_ptr<BackgroundFetch> Browser::FetchPage(const std::string& pathOrUrl, bool inCall, std::string& error)
{
    std::string source = pathOrUrl;
    if (!IsFetchableUrl(source)) {
        char full[MAX_PATH] = "";
        if (GetFullPathNameA(source.c_str(), MAX_PATH, full, nullptr) == 0) {
            error = "bad page path " + source;
            log_.Line("* error bad page path " + CallLog::Quote(source));
            return nullptr;
        }
        source = PathToFileUrl(full, AnsiLeadBytes());
    }
    BackgroundFetch::Request request;
    request.url = source;
    request.file = files_.Reserve("page" + std::to_string(++pageFetches_), "page.html", false);
    request.limit = options_.pageLimitBytes;
    std::function<void()> wake;
    if (!inCall) {
        wake = window_->WorkPoster();
        events_.OnFetching();
    }
    return std::make_unique<BackgroundFetch>(fetchSettings_, request, wake, inCall);
}

bool Browser::TakePage(const BackgroundFetch& fetch, const std::string& pageUrl, std::vector<Embed>& embeds,
                       std::string& error)
{
    const FetchResult& page = fetch.Result();
    const std::string& source = fetch.Progress().url;
    std::string body;
    if (page.ok && !ReadWholeFile(fetch.File(), body)) error = "cannot read the temporary file " + fetch.File();
    if (!page.ok) error = page.error;
    files_.Delete(fetch.File());
    if (!error.empty()) {
        log_.Line("* error page " + CallLog::Quote(source) + " not read: " + CallLog::Quote(error));
        return false;
    }
    pageUrl_ = pageUrl.empty() ? page.finalUrl : pageUrl;
    embeds = ParseEmbeds(body);
    log_.Line("* page url=" + CallLog::Quote(pageUrl_) + " source=" + CallLog::Quote(source) +
              " embeds=" + std::to_string(embeds.size()));
    return true;
}

bool Browser::ReadPage(const std::string& pathOrUrl, const std::string& pageUrl, std::string& error)
{
    pageFetch_.reset();
    pageUrlGiven_ = pageUrl;
    pageFetch_ = FetchPage(pathOrUrl, false, error);
    return pageFetch_ != nullptr;
}

bool Browser::ReadPageNow(const std::string& pathOrUrl, const std::string& pageUrl, std::vector<Embed>& embeds,
                          std::string& error)
{
    std::unique_ptr<BackgroundFetch> fetch = FetchPage(pathOrUrl, true, error);
    return fetch && TakePage(*fetch, pageUrl, embeds, error);
}

void Browser::PageArrived()
{
    if (!pageFetch_ || !pageFetch_->Done()) return;
    // Off the member first: the program may ask for another page from its callback.
    std::unique_ptr<BackgroundFetch> fetch = std::move(pageFetch_);
    std::vector<Embed> embeds;
    std::string error;
    TakePage(*fetch, pageUrlGiven_, embeds, error);
    events_.OnPageRead(embeds, error);
}

void Browser::StopFetches()
{
    if (pageFetch_) {
        std::unique_ptr<BackgroundFetch> fetch = std::move(pageFetch_);
        fetch->Cancel();
        log_.Line("* stopped page " + CallLog::Quote(fetch->Progress().url));
        std::vector<Embed> none;
        events_.OnPageRead(none, "stopped");
    }
    if (streams_) streams_->StopFetches();
}

std::vector<FetchProgress> Browser::Fetches() const
{
    std::vector<FetchProgress> under = streams_ ? streams_->Fetches() : std::vector<FetchProgress>();
    if (pageFetch_ && !pageFetch_->Done()) under.insert(under.begin(), pageFetch_->Progress());
    return under;
}

void Browser::FillBrowserFuncs()
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

int Browser::OpenPage(const std::vector<Embed>& embeds)
{
    // Inside another page's opening or closing the plug-in is still in one of the instances
    // this would free, and the outer loop would go on over the new ones.
    if (pageWork_ > 0 || !library_) {
        log_.Line(library_ ? "* open refused: a page is opening or closing" : "* open refused: the plug-in is shut down");
        return 0;
    }
    const PageWork work(*this);
    // The instances of a page closed before stay until the next page: streams that ended
    // late still name them.
    instances_.clear();
    nextInstanceId_ = 1;
    window_->ResetLayout();
    for (size_t index = 0; index < embeds.size(); ++index) {
        if (PageInstance* instance = NewInstance(embeds[index], index)) OpenInstance(*instance);
    }
    window_->SetStatus("Document: Done");
    return static_cast<int>(instances_.size());
}

PageInstance* Browser::AddInstance(const Embed& embed, const RECT& place)
{
    if (pageWork_ > 0 || !library_ || pageClosed_) return nullptr;
    const PageWork work(*this);
    // Closed instances have no streams left (their close ended them) and are of no more use.
    instances_.erase(std::remove_if(instances_.begin(), instances_.end(),
                                    [](const auto& instance) { return instance->closing && !instance->created; }),
                     instances_.end());
    PageInstance* instance = NewInstance(embed, static_cast<size_t>(nextInstanceId_ - 1));
    if (instance) OpenInstance(*instance, &place);
    return instance;
}

PageInstance* Browser::NewInstance(const Embed& embed, size_t index)
{
    std::string type = registration_.TypeForEmbed(embed);
    if (type.empty()) {
        log_.Line("* embed index=" + std::to_string(index) + " skipped");
        return nullptr;
    }
    auto instance = std::make_unique<PageInstance>();
    instance->id = nextInstanceId_++;
    instance->embed = embed;
    instance->mimeType = type;
    instance->npp.ndata = instance.get();
    instances_.push_back(std::move(instance));
    log_.Line("* embed index=" + std::to_string(index) + " inst=" + std::to_string(instances_.back()->id) +
              " type=" + CallLog::Quote(type));
    return instances_.back().get();
}

void Browser::OpenInstance(PageInstance& instance, const RECT* place)
{
    int width = Dimension(instance.embed, "width", kDefaultAreaWidth);
    int height = Dimension(instance.embed, "height", kDefaultAreaHeight);
    int x = 0, y = 0;
    if (place) {
        x = place->left;
        y = place->top;
        width = place->right - place->left;
        height = place->bottom - place->top;
        instance.area = window_->AddPluginAreaAt(x, y, width, height);
    } else {
        instance.area = window_->AddPluginArea(width, height, x, y);
    }
    instance.window.window = instance.area;
    instance.window.type = NPWindowTypeWindow;
    PlaceRecord(instance.window, x, y, width, height);

    for (EmbedAttribute& attribute : instance.embed.attributes) {
        instance.argn.push_back(&attribute.name[0]);
        instance.argv.push_back(&attribute.value[0]);
    }
    const int16_t argc = static_cast<int16_t>(instance.argn.size());
    const std::string* src = instance.embed.Find("src");
    const std::string srcUrl = src && !src->empty() ? StreamableUrl(instance, *src) : "";
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

    TellWindow(instance);
    events_.OnWindowGiven(instance);
}

void Browser::TellWindow(PageInstance& instance)
{
    NPWindow& window = instance.window;
    NPError rc = pluginFuncs_.setwindow ? pluginFuncs_.setwindow(&instance.npp, &window)
                                        : NPError{NPERR_INVALID_FUNCTABLE_ERROR};
    log_.Line("> NPP_SetWindow inst=" + std::to_string(instance.id) + " window=" + CallLog::Pointer(window.window) +
              " x=" + std::to_string(window.x) + " y=" + std::to_string(window.y) + " width=" +
              std::to_string(window.width) + " height=" + std::to_string(window.height) + " type=" +
              std::to_string(window.type) + " -> " + std::to_string(rc));
}

void Browser::PlaceInstance(PageInstance& instance, int x, int y, int width, int height)
{
    if (!instance.area || instance.closing || width <= 0 || height <= 0) return;
    MoveWindow(instance.area, x, y, width, height, TRUE);
    PlaceRecord(instance.window, x, y, width, height);
    if (instance.created) TellWindow(instance);
}

PageInstance* Browser::InstanceOfArea(HWND area)
{
    for (auto& instance : instances_) {
        if (instance->area == area) return instance.get();
    }
    return nullptr;
}

void Browser::ClosePage()
{
    pageClosed_ = true;
    pageFetch_.reset();
    // The library is shut down once the page work under way has left it.
    if (pageWork_ > 0) {
        shutdownDue_ = true;
        log_.Line("* close deferred: a page is opening or closing");
        return;
    }
    CloseInstances();
    // A close asked for inside the instances' closing may have shut the library down.
    if (!library_) return;
    NPError rc = library_->shutdown();
    log_.Line("> NP_Shutdown -> " + std::to_string(rc));
    library_.reset();
    log_.Line("* FreeLibrary");
}

void Browser::CloseInstances()
{
    // An instance may be inside NPP_New or NPP_SetWindow(null) further up: the outer work
    // closes the page when it is done with it.
    if (pageWork_ > 0) {
        closeDue_ = true;
        return;
    }
    const PageWork work(*this);
    for (auto& instance : instances_) CloseOne(*instance);
}

bool Browser::CloseInstance(PageInstance& instance)
{
    if (pageWork_ > 0) return false;
    const PageWork work(*this);
    CloseOne(instance);
    return true;
}

void Browser::CloseOne(PageInstance& instance)
{
    if (instance.closing) return;
    instance.closing = true;
    const std::string tag = "inst=" + std::to_string(instance.id);
    if (options_.destroyAreasFirst && instance.area) window_->RemovePluginArea(instance.area);
    if (instance.created) {
        if (!options_.lateEnds) streams_->Cancel(instance, true);
        instance.window.window = nullptr;
        NPError rc = pluginFuncs_.setwindow(&instance.npp, &instance.window);
        log_.Line("> NPP_SetWindow " + tag + " window=(null) -> " + std::to_string(rc));
    }
    events_.OnInstanceClosing(instance);
    if (instance.area) window_->RemovePluginArea(instance.area);
    if (!instance.created) return;
    NPSavedData* saved = nullptr;
    NPError rc = pluginFuncs_.destroy ? pluginFuncs_.destroy(&instance.npp, &saved) : NPError{NPERR_GENERIC_ERROR};
    log_.Line("> NPP_Destroy " + tag + " saved=" + CallLog::Pointer(saved) + " -> " + std::to_string(rc));
    if (saved) {
        std::free(saved->buf);
        std::free(saved);
    }
    instance.created = false;
    // Like a browser that tidies up after the instance: its streams still end, but
    // nobody is notified.
    if (options_.lateEnds) streams_->Cancel(instance, false);
}

Browser::PageWork::PageWork(Browser& browser) : browser_(browser)
{
    ++browser_.pageWork_;
}

Browser::PageWork::~PageWork()
{
    if (--browser_.pageWork_ > 0) return;
    if (browser_.closeDue_ || browser_.shutdownDue_) {
        browser_.closeDue_ = false;
        browser_.CloseInstances();
    }
    if (browser_.shutdownDue_) {
        browser_.shutdownDue_ = false;
        browser_.ClosePage();
    }
}

void Browser::LocationAnswered(PageInstance& instance)
{
    if (instance.lateSrc.empty() || instance.lateSrcDue) return;
    instance.lateSrcDue = true;
    instance.lateSrcAt = GetTickCount() + static_cast<DWORD>(options_.lateSrcMs);
    StartLateSources();
}

void Browser::StartLateSources()
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

bool Browser::Idle() const
{
    return !streams_ || (streams_->Idle() && std::none_of(instances_.begin(), instances_.end(), [](const auto& instance) {
               return !instance->lateSrc.empty() && !instance->closing;
           }));
}

void Browser::OnWork()
{
    if (pageClosed_) return;
    PageArrived();
    streams_->Step();
    events_.OnStreamWork();
}

void Browser::OnTimer(UINT_PTR id)
{
    if (pageClosed_) return;
    if (id == kRetryTimer) {
        window_->StopTimer(kRetryTimer);
        streams_->Resume();
    } else if (id == kLateSrcTimer) {
        StartLateSources();
    } else if (id >= BrowserEvents::kFirstOwnerTimer) {
        events_.OnTimer(id);
    }
}

void Browser::OnCloseRequested()
{
    if (!pageClosed_) events_.OnCloseRequested();
}

bool Browser::OnFrameMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    return events_.OnFrameMessage(message, wParam, lParam, result);
}

void Browser::OnAreaDestroyMessage(HWND area)
{
    PageInstance* instance = InstanceOfArea(area);
    log_.Line("* area-destroy-message inst=" + std::to_string(instance ? instance->id : 0));
}

void Browser::OnAreaDestroyed(HWND area)
{
    for (auto& instance : instances_) {
        if (instance->area != area) continue;
        log_.Line("* area-destroyed inst=" + std::to_string(instance->id) + " window=" + CallLog::Pointer(area));
        instance->area = nullptr;
    }
}

PageInstance* Browser::InstanceFor(NPP npp)
{
    if (!current_ || !npp) return nullptr;
    for (auto& instance : current_->instances_) {
        if (&instance->npp == npp) return instance.get();
    }
    return nullptr;
}

std::string Browser::Tag(NPP npp)
{
    PageInstance* instance = InstanceFor(npp);
    return instance ? "inst=" + std::to_string(instance->id) : "inst=? npp=" + CallLog::Pointer(npp);
}

NPError Browser::Route(PageInstance* instance, const char* url, const char* target, bool notify, void* notifyData)
{
    if (!instance || instance->closing || !streams_) return NPERR_INVALID_INSTANCE_ERROR;
    if (!url) return NPERR_INVALID_URL;
    std::string text = url;
    if (UrlScheme(text) == "javascript") {
        // Only the page-location script has an answer here.
        if (text != kLocationScript || target) return NPERR_INVALID_URL;
        return AnswerLocation(*instance, notify, notifyData);
    }
    if (target) {
        const std::string absolute = ResolveUrl(pageUrl_, text, AnsiLeadBytes());
        log_.Line("* navigate inst=" + std::to_string(instance->id) + " url=" + CallLog::Quote(absolute) +
                  " target=" + CallLog::Quote(target));
        events_.OnNavigate(*instance, absolute, target);
        if (notify) streams_->DeliverNotification(*instance, absolute, notifyData);
        return NPERR_NO_ERROR;
    }
    const std::string absolute = StreamableUrl(*instance, text);
    if (absolute.empty()) return NPERR_INVALID_URL;
    Stream(*instance, absolute, notify, notifyData);
    return NPERR_NO_ERROR;
}

std::string Browser::StreamableUrl(PageInstance& instance, const std::string& reference)
{
    const std::string absolute = ResolveUrl(pageUrl_, reference, AnsiLeadBytes());
    const std::string refusal = StreamRefusal(pageUrl_, reference, absolute);
    if (refusal.empty()) return absolute;
    log_.Line("* refused inst=" + std::to_string(instance.id) + " url=" + CallLog::Quote(reference) +
              " reason=" + CallLog::Quote(refusal));
    return "";
}

void Browser::Stream(PageInstance& instance, const std::string& url, bool notify, void* notifyData)
{
    if (!options_.withhold.empty() && url.find(options_.withhold) != std::string::npos) {
        log_.Line("* withhold inst=" + std::to_string(instance.id) + " url=" + CallLog::Quote(url));
        streams_->Withhold(instance, url, notify, notifyData);
        return;
    }
    streams_->DeliverUrl(instance, url, notify, notifyData);
}

NPError Browser::AnswerLocation(PageInstance& instance, bool notify, void* notifyData)
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

NPError Browser::GetURL(NPP npp, const char* url, const char* target)
{
    current_->events_.OnService("geturl", url);
    NPError rc = current_->Route(InstanceFor(npp), url, target, false, nullptr);
    current_->log_.Line("< NPN_GetURL " + Tag(npp) + " url=" + CallLog::Quote(url) + " target=" +
                        CallLog::Quote(target) + " -> " + std::to_string(rc));
    return rc;
}

NPError Browser::GetURLNotify(NPP npp, const char* url, const char* target, void* notifyData)
{
    current_->events_.OnService("geturlnotify", url);
    NPError rc = current_->Route(InstanceFor(npp), url, target, true, notifyData);
    current_->log_.Line("< NPN_GetURLNotify " + Tag(npp) + " url=" + CallLog::Quote(url) + " target=" +
                        CallLog::Quote(target) + " notifyData=" + CallLog::Pointer(notifyData) + " -> " +
                        std::to_string(rc));
    return rc;
}

NPError Browser::PostURL(NPP npp, const char* url, const char* target, uint32_t len, const char*, NPBool)
{
    current_->log_.Line("< NPN_PostURL " + Tag(npp) + " url=" + CallLog::Quote(url) + " target=" +
                        CallLog::Quote(target) + " len=" + std::to_string(len) + " -> 1 (not supported)");
    return NPERR_GENERIC_ERROR;
}

NPError Browser::PostURLNotify(NPP npp, const char* url, const char* target, uint32_t len, const char*, NPBool,
                                   void* notifyData)
{
    current_->log_.Line("< NPN_PostURLNotify " + Tag(npp) + " url=" + CallLog::Quote(url) + " target=" +
                        CallLog::Quote(target) + " len=" + std::to_string(len) + " notifyData=" +
                        CallLog::Pointer(notifyData) + " -> 1 (not supported)");
    return NPERR_GENERIC_ERROR;
}

NPError Browser::RequestRead(NPStream* stream, void*)
{
    current_->log_.Line("< NPN_RequestRead stream=" + CallLog::Pointer(stream) + " -> 13 (not seekable)");
    return NPERR_STREAM_NOT_SEEKABLE;
}

NPError Browser::NewStream(NPP npp, NPMIMEType type, const char* target, NPStream**)
{
    current_->log_.Line("< NPN_NewStream " + Tag(npp) + " type=" + CallLog::Quote(type) + " target=" +
                        CallLog::Quote(target) + " -> 1 (not supported)");
    return NPERR_GENERIC_ERROR;
}

int32_t Browser::Write(NPP npp, NPStream* stream, int32_t len, void*)
{
    current_->log_.Line("< NPN_Write " + Tag(npp) + " stream=" + CallLog::Pointer(stream) + " len=" +
                        std::to_string(len) + " -> -1 (not supported)");
    return -1;
}

NPError Browser::DestroyStream(NPP npp, NPStream* stream, NPReason reason)
{
    current_->log_.Line("< NPN_DestroyStream " + Tag(npp) + " stream=" + CallLog::Pointer(stream) + " reason=" +
                        std::to_string(reason) + " -> 1 (not supported)");
    return NPERR_GENERIC_ERROR;
}

void Browser::Status(NPP npp, const char* message)
{
    current_->log_.Line("< NPN_Status " + Tag(npp) + " text=" + CallLog::Quote(message));
    current_->events_.OnService("status", nullptr);
    if (current_->window_) current_->window_->SetStatus(message ? message : "");
    if (PageInstance* instance = InstanceFor(npp)) current_->events_.OnStatus(*instance, message ? message : "");
}

const char* Browser::UserAgent(NPP npp)
{
    const char* agent = current_->options_.userAgent.c_str();
    current_->log_.Line("< NPN_UserAgent " + Tag(npp) + " -> " + CallLog::Quote(agent));
    return agent;
}

void* Browser::MemAlloc(uint32_t size)
{
    void* pointer = std::malloc(size);
    current_->log_.Line("< NPN_MemAlloc size=" + std::to_string(size) + " -> " + CallLog::Pointer(pointer));
    return pointer;
}

void Browser::MemFree(void* pointer)
{
    current_->log_.Line("< NPN_MemFree pointer=" + CallLog::Pointer(pointer));
    std::free(pointer);
}

uint32_t Browser::MemFlush(uint32_t size)
{
    current_->log_.Line("< NPN_MemFlush size=" + std::to_string(size) + " -> 0");
    return 0;
}

void Browser::ReloadPlugins(NPBool reloadPages)
{
    current_->log_.Line("< NPN_ReloadPlugins reloadPages=" + std::to_string(reloadPages) + " (ignored)");
}

void* Browser::GetJavaEnv()
{
    current_->log_.Line("< NPN_GetJavaEnv -> (null)");
    return nullptr;
}

void* Browser::GetJavaPeer(NPP npp)
{
    current_->log_.Line("< NPN_GetJavaPeer " + Tag(npp) + " -> (null)");
    return nullptr;
}

NPError Browser::GetValue(NPP npp, int variable, void* value)
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

NPError Browser::SetValue(NPP npp, int variable, void* value)
{
    current_->log_.Line("< NPN_SetValue " + Tag(npp) + " variable=" + std::to_string(variable) + " value=" +
                        CallLog::Pointer(value) + " -> 1 (windowed plug-ins only)");
    return NPERR_GENERIC_ERROR;
}

void Browser::InvalidateRect(NPP npp, NPRect* rect)
{
    current_->log_.Line("< NPN_InvalidateRect " + Tag(npp));
    if (PageInstance* instance = InstanceFor(npp)) {
        if (instance->area) ::InvalidateRect(instance->area, nullptr, TRUE);
    }
}

void Browser::InvalidateRegion(NPP npp, void*)
{
    current_->log_.Line("< NPN_InvalidateRegion " + Tag(npp));
    if (PageInstance* instance = InstanceFor(npp)) {
        if (instance->area) ::InvalidateRect(instance->area, nullptr, TRUE);
    }
}

void Browser::ForceRedraw(NPP npp)
{
    current_->log_.Line("< NPN_ForceRedraw " + Tag(npp));
    if (PageInstance* instance = InstanceFor(npp)) {
        if (instance->area) UpdateWindow(instance->area);
    }
}
