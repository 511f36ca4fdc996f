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

NPError TestBrowser::Record(NPP npp, const BrowserCall& call, NPError result)
{
    current->calls_.push_back(call);
    if (current->answerInside) current->answerInside(npp, call);
    return result;
}

NPError TestBrowser::GetURL(NPP npp, const char* url, const char* target)
{
    return Record(npp, {"geturl", Text(url), Text(target), nullptr}, current->getUrlResult);
}

NPError TestBrowser::GetURLNotify(NPP npp, const char* url, const char* target, void* notifyData)
{
    return Record(npp, {"geturlnotify", Text(url), Text(target), notifyData}, current->getUrlNotifyResult);
}

void TestBrowser::Status(NPP, const char* message)
{
    current->calls_.push_back({"status", Text(message), "", nullptr});
    current->lastStatus_ = Text(message);
}

const char* TestBrowser::UserAgent(NPP)
{
    current->calls_.push_back({"uagent", "", "", nullptr});
    return current->userAgent_.c_str();
}
