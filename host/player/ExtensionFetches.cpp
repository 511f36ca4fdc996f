#include "ExtensionFetches.h"

#include <windows.h>

#include "JsonValue.h"
#include "JsonWriter.h"
#include "TempFolder.h"
#include "UrlResolution.h"
#include "base/AnsiPath.h"
#include "base/UniqueHandle.h"

namespace {

std::string Message(const char* type, int request, const std::string* url = nullptr)
{
    JsonValue message = JsonValue::Object();
    message.Add("type", JsonValue::String(type));
    message.Add("request", JsonValue::Number(request));
    if (url) message.Add("url", JsonValue::String(*url));
    std::string json;
    WriteJson(message, json);
    return json;
}

}  // namespace

class ExtensionFetches::Body : public StreamBody {
public:
    Body(ExtensionFetches& owner, int id, const Request& request, std::function<void()> wake)
        : owner_(owner), id_(id), request_(request), wake_(std::move(wake)), start_(GetTickCount())
    {
        result_.finalUrl = request.url;
        file_.Reset(CreateFileW(LongPath(request.file).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    ~Body() override { Cancel(); }

    bool Done() const override { return done_; }
    const FetchResult& Result() const override { return result_; }
    const std::string& File() const override { return request_.file; }
    FetchProgress Progress() const override
    {
        FetchProgress progress;
        progress.url = request_.url;
        progress.received = result_.bytes;
        progress.elapsedMs = GetTickCount() - start_;
        return progress;
    }
    void Cancel() override
    {
        if (done_) return;
        Fail("cancelled", false);
        owner_.send_(Message("cancel", id_));
    }

    // Not yet asked for (a refused URL) or failed on our side: the stream ends with `error`.
    void Fail(const std::string& error, bool wake)
    {
        result_.ok = false;
        result_.error = error;
        Finish(wake);
    }
    void Piece(const std::string& bytes)
    {
        if (done_) return;
        if (request_.limit > 0 && result_.bytes + bytes.size() > request_.limit) {
            result_.overLimit = true;
            Fail("the file is larger than " + std::to_string(request_.limit) + " bytes", true);
            owner_.send_(Message("cancel", id_));
            return;
        }
        DWORD wrote = 0;
        if (!file_ || !WriteFile(file_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr) ||
            wrote != bytes.size()) {
            Fail("cannot write the temporary file " + request_.file, true);
            owner_.send_(Message("cancel", id_));
            return;
        }
        result_.bytes += bytes.size();
    }
    void End(bool ok, const std::string& url, const std::string& mimeType, const std::string& error)
    {
        if (done_) return;
        result_.ok = ok && file_;
        result_.finalUrl = url.empty() ? request_.url : url;
        result_.mimeType = mimeType.substr(0, mimeType.find(';'));
        result_.error = ok ? (file_ ? "" : "cannot write the temporary file") : error.empty() ? "not fetched" : error;
        Finish(true);
    }

private:
    void Finish(bool wake)
    {
        done_ = true;
        file_.Reset();
        owner_.open_.erase(id_);
        if (wake && wake_) wake_();
    }

    ExtensionFetches& owner_;
    const int id_;
    const Request request_;
    const std::function<void()> wake_;
    const DWORD start_;
    FileHandle file_;
    FetchResult result_;
    bool done_ = false;
};

ExtensionFetches::ExtensionFetches(Send send) : send_(std::move(send)) {}

StreamBodySource ExtensionFetches::Source()
{
    return [this](const StreamBody::Request& request, std::function<void()> wake) {
        return Start(request, std::move(wake));
    };
}

std::unique_ptr<StreamBody> ExtensionFetches::Start(const StreamBody::Request& request, std::function<void()> wake)
{
    const int id = nextRequest_++;
    auto body = std::make_unique<Body>(*this, id, request, std::move(wake));
    const std::string scheme = UrlScheme(request.url);
    // The page's side fetches with the page's credentials: only what a page may fetch itself.
    if (scheme != "http" && scheme != "https") {
        body->Fail("only http and https files come through the extension", true);
        return body;
    }
    open_[id] = body.get();
    send_(Message("fetch", id, &request.url));
    return body;
}

bool ExtensionFetches::Piece(int request, const std::string& bytes)
{
    if (request <= 0 || request >= nextRequest_) return false;
    auto open = open_.find(request);
    if (open != open_.end()) open->second->Piece(bytes);
    return true;
}

bool ExtensionFetches::End(int request, bool ok, const std::string& url, const std::string& mimeType,
                           const std::string& error)
{
    if (request <= 0 || request >= nextRequest_) return false;
    auto open = open_.find(request);
    if (open != open_.end()) open->second->End(ok, url, mimeType, error);
    return true;
}
