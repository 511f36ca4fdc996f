#include "TestBrowser.h"

namespace {

TestBrowser* current = nullptr;

std::string Text(const char* s) { return s ? s : "(null)"; }

}  // namespace

TestBrowser::TestBrowser(uint16_t version, const std::string& userAgent) : userAgent_(userAgent)
{
    table_.size = sizeof table_;
    table_.version = version;
    table_.geturl = &GetURL;
    table_.geturlnotify = &GetURLNotify;
    table_.status = &Status;
    table_.uagent = &UserAgent;
    current = this;
}

TestBrowser::~TestBrowser()
{
    if (current == this) current = nullptr;
}

TestBrowser* TestBrowser::Current() { return current; }

int TestBrowser::Count(const std::string& function) const
{
    int n = 0;
    for (const BrowserCall& call : calls_) n += call.function == function;
    return n;
}

void TestBrowser::Record(NPP npp, const BrowserCall& call)
{
    current->calls_.push_back(call);
    // A copy: the hook may replace itself.
    if (std::function<void(NPP, const BrowserCall&)> hook = current->inside) hook(npp, call);
}

NPError TestBrowser::GetURL(NPP npp, const char* url, const char* target)
{
    Record(npp, {"geturl", Text(url), Text(target), nullptr});
    return current->getUrlResult;
}

NPError TestBrowser::GetURLNotify(NPP npp, const char* url, const char* target, void* notifyData)
{
    Record(npp, {"geturlnotify", Text(url), Text(target), notifyData});
    return current->getUrlNotifyResult;
}

void TestBrowser::Status(NPP npp, const char* message)
{
    current->lastStatus_ = Text(message);
    Record(npp, {"status", Text(message), "", nullptr});
}

const char* TestBrowser::UserAgent(NPP)
{
    current->calls_.push_back({"uagent", "", "", nullptr});
    return current->userAgent_.c_str();
}
