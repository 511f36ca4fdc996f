// The player as a browser's native-messaging host, driven through its pipes as a browser drives
// it: the page's messages in, pictures, fetches and answers out; the files it fetches served from
// the samples; the pictures decoded as the extension would and looked at.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Base64.h"
#include "ChildProcesses.h"
#include "JsonParser.h"
#include "JsonWriter.h"
#include "NativeHostLaunch.h"
#include "NativeMessageFrame.h"
#include "NativeMessageReader.h"
#include "PlayerProcess.h"
#include "control/ComRef.h"

namespace {

constexpr char kSite[] = "http://applets.example/";

// OrbolanthPlayer.exe started by a browser: its standard input and output are our pipes.
class HostPipes {
public:
    explicit HostPipes(const std::vector<std::string>& arguments)
    {
        installation_.SetString("RendererPath", RendererExePath());
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE childIn = nullptr, childOut = nullptr;
        if (!CreatePipe(&childIn, toHost_.Receive(), &inherit, 0)) return;
        KernelHandle in(childIn);
        if (!CreatePipe(fromHost_.Receive(), &childOut, &inherit, 0)) return;
        KernelHandle out(childOut);
        SetHandleInformation(toHost_.Get(), HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(fromHost_.Get(), HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in.Get();
        startup.hStdOutput = out.Get();
        startup.hStdError = out.Get();
        std::wstring command = Wide(ProgramCommandLine(PLAYER_EXE, arguments));
        PROCESS_INFORMATION info = {};
        if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
            KernelHandle thread(info.hThread);
            process_.Reset(info.hProcess);
        }
    }
    ~HostPipes()
    {
        if (process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
            EndChildProcesses(process_.Get(), 99);
            TerminateProcess(process_.Get(), 99);
            WaitForSingleObject(process_.Get(), 5000);
        }
    }

    HANDLE Process() const { return process_.Get(); }

    void Send(const std::string& json)
    {
        std::string frame;
        ASSERT_TRUE(FrameHostMessage(json, frame));
        DWORD wrote = 0;
        ASSERT_TRUE(WriteFile(toHost_.Get(), frame.data(), static_cast<DWORD>(frame.size()), &wrote, nullptr));
    }
    void CloseInput() { toHost_.Reset(); }

    // The host's next message; false when none came in time.
    bool Receive(JsonValue& message, DWORD timeoutMs)
    {
        const DWORD start = GetTickCount();
        for (;;) {
            std::string_view rest(pending_);
            std::string json;
            const auto status = reader_.Read(rest, json);
            pending_.erase(0, pending_.size() - rest.size());
            if (status == NativeMessageReader::Status::kMessage) {
                JsonError error;
                EXPECT_TRUE(JsonParser().Parse(json, message, error)) << error.Text();
                return true;
            }
            if (status == NativeMessageReader::Status::kFailed) return false;
            DWORD available = 0;
            if (!PeekNamedPipe(fromHost_.Get(), nullptr, 0, nullptr, &available, nullptr)) return false;
            if (available > 0) {
                std::string piece(available, '\0');
                DWORD got = 0;
                if (!ReadFile(fromHost_.Get(), &piece[0], available, &got, nullptr)) return false;
                pending_.append(piece, 0, got);
                continue;
            }
            if (GetTickCount() - start > timeoutMs) return false;
            Sleep(10);
        }
    }

private:
    ConfigurationKey installation_{KEY_WOW64_32KEY};
    KernelHandle process_;
    KernelHandle toHost_;
    KernelHandle fromHost_;
    NativeMessageReader reader_{64u << 20};
    std::string pending_;
};

std::string Type(const JsonValue& message)
{
    std::string type;
    message.GetString("type", type);
    return type;
}

int64_t Int(const JsonValue& message, const char* key)
{
    int64_t value = -1;
    message.GetInt(key, -1, int64_t{1} << 53, value);
    return value;
}

std::string ReadSample(const std::string& name, bool& found)
{
    std::string bytes;
    const FileHandle file(CreateFileA((kApplets + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      0, nullptr));
    found = file.Valid();
    char piece[65536];
    DWORD got = 0;
    while (found && ReadFile(file.Get(), piece, sizeof piece, &got, nullptr) && got > 0) bytes.append(piece, got);
    return bytes;
}

// The scene without its motion: what changes in its picture then comes from the host's side.
std::string Still(const std::string& scene)
{
    std::string still;
    size_t at = 0;
    while (at < scene.size()) {
        size_t end = scene.find('\n', at);
        end = end == std::string::npos ? scene.size() : end + 1;
        const std::string line = scene.substr(at, end - at);
        const size_t word = line.find_first_not_of(" \t");
        const bool moves = word != std::string::npos && (line.compare(word, 5, "spin ") == 0 ||
                                                         line.compare(word, 4, "bob ") == 0 ||
                                                         line.compare(word, 6, "orbit ") == 0);
        if (!moves) still += line;
        at = end;
    }
    return still;
}

// The picture of a frame, as the extension's canvas gets it: 0x00RRGGBB words.
std::vector<DWORD> Decode(const JsonValue& frame)
{
    std::string data, bytes;
    if (!frame.GetString("data", data) || !DecodeBase64(data, bytes)) return {};
    ComRef<IWICImagingFactory> factory;
    ComRef<IStream> stream;
    ComRef<IWICBitmapDecoder> decoder;
    ComRef<IWICBitmapFrameDecode> picture;
    ComRef<IWICFormatConverter> converter;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!memory) return {};
    memcpy(GlobalLock(memory), bytes.data(), bytes.size());
    GlobalUnlock(memory);
    UINT width = 0, height = 0;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, stream.Receive())) ||
        FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                factory.ReceiveVoid())) ||
        FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                decoder.Receive())) ||
        FAILED(decoder->GetFrame(0, picture.Receive())) || FAILED(picture->GetSize(&width, &height)) ||
        FAILED(factory->CreateFormatConverter(converter.Receive())) ||
        FAILED(converter->Initialize(picture.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0,
                                     WICBitmapPaletteTypeCustom))) {
        return {};
    }
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    if (FAILED(converter->CopyPixels(nullptr, width * 4, width * height * 4, reinterpret_cast<BYTE*>(pixels.data())))) {
        return {};
    }
    for (DWORD& pixel : pixels) pixel &= 0xFFFFFF;
    EXPECT_EQ(Int(frame, "width"), static_cast<int64_t>(width));
    EXPECT_EQ(Int(frame, "height"), static_cast<int64_t>(height));
    return pixels;
}

// How many pixels are near each of the applet's three box colours.
struct BoxColours {
    size_t red = 0, green = 0, blue = 0;
};
BoxColours CountBoxColours(const std::vector<DWORD>& pixels)
{
    BoxColours seen;
    for (DWORD pixel : pixels) {
        const int r = pixel >> 16 & 0xFF, g = pixel >> 8 & 0xFF, b = pixel & 0xFF;
        if (r > 150 && g < 110 && b < 100) ++seen.red;
        if (g > 130 && r < 110 && b < 140) ++seen.green;
        if (b > 150 && r < 100 && g < 150) ++seen.blue;
    }
    return seen;
}

// A page on our side of the pipe: answers the host's fetches from the samples (the scenes made
// still) and draws every frame at once.
class Page {
public:
    explicit Page(HostPipes& host) : host_(host) {}

    // The next message that is not a fetch, a status or a frame (those are answered or kept
    // here); with `stopAtFrame` a frame is returned too.
    bool Next(JsonValue& message, DWORD timeoutMs, bool stopAtFrame)
    {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < timeoutMs) {
            if (!host_.Receive(message, timeoutMs - (GetTickCount() - start))) return false;
            const std::string type = Type(message);
            if (type == "fetch") {
                Serve(message);
            } else if (type == "status") {
                others.push_back(message);  // whenever the plug-in has news
            } else if (type == "frame") {
                ++frames;
                host_.Send(R"({"type":"frameAck","element":)" + std::to_string(Int(message, "element")) +
                           R"(,"frame":)" + std::to_string(Int(message, "frame")) + "}");
                if (stopAtFrame) return true;
            } else {
                return true;
            }
        }
        return false;
    }
    // The next frame whose picture passes `good`.
    bool Frame(std::vector<DWORD>& pixels, DWORD timeoutMs, const std::function<bool(const JsonValue&)>& good)
    {
        const DWORD start = GetTickCount();
        JsonValue message;
        while (GetTickCount() - start < timeoutMs) {
            if (!Next(message, timeoutMs - (GetTickCount() - start), true)) return false;
            if (Type(message) != "frame") {
                others.push_back(message);
                continue;
            }
            if (good(message)) {
                pixels = Decode(message);
                return true;
            }
        }
        return false;
    }

    int frames = 0;
    std::vector<std::string> fetched;
    std::vector<JsonValue> others;

private:
    void Serve(const JsonValue& fetch)
    {
        std::string url;
        ASSERT_TRUE(fetch.GetString("url", url));
        fetched.push_back(url);
        const std::string request = std::to_string(Int(fetch, "request"));
        std::string name = url.compare(0, strlen(kSite), kSite) == 0 ? url.substr(strlen(kSite)) : "";
        for (size_t space; (space = name.find("%20")) != std::string::npos;) name.replace(space, 3, " ");
        bool found = false;
        std::string body = name.empty() ? "" : ReadSample(name, found);
        if (!found) {
            host_.Send(R"({"type":"fileEnd","request":)" + request + R"(,"ok":false,"url":"","error":"404"})");
            return;
        }
        if (name.size() > 4 && (name.compare(name.size() - 4, 4, ".obv") == 0 || name.find(".obvm") != std::string::npos)) {
            body = Still(body);
        }
        constexpr size_t kPiece = 512u << 10;
        for (size_t at = 0; at < body.size(); at += kPiece) {
            host_.Send(R"({"type":"fileData","request":)" + request + R"(,"data":")" +
                       EncodeBase64(body.substr(at, kPiece)) + "\"}");
        }
        JsonValue end = JsonValue::Object();
        end.Add("type", JsonValue::String("fileEnd"));
        end.Add("request", JsonValue::Number(Int(fetch, "request")));
        end.Add("ok", JsonValue::Bool(true));
        end.Add("url", JsonValue::String(url));
        end.Add("mimeType", JsonValue::String("application/octet-stream"));
        std::string json;
        WriteJson(end, json);
        host_.Send(json);
    }

    HostPipes& host_;
};

// What the page saw, for a failure's message.
std::string Seen(const Page& page)
{
    std::string text = "\nfetched:";
    for (const std::string& url : page.fetched) text += " " + url;
    text += "\nother messages:";
    for (const JsonValue& message : page.others) {
        std::string json;
        WriteJson(message, json);
        text += "\n  " + json.substr(0, 300);
    }
    return text;
}

class NativeHostTest : public ::testing::Test {
protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { CoUninitialize(); }
};

const std::string kAddCubes =
    R"({"type":"add","element":7,"tag":"embed","attributes":[["type","application/x-Orbolanth-3D-Applet"],)"
    R"(["src","cubes.obvm"],["WindowName","cubes"]],"width":320,"height":240})";

TEST_F(NativeHostTest, PlaysAnElementItsFilesFetchedAndSendsItsPicturesWhenTheyChange)
{
    HostPipes host({"--native-host", kOurExtensionOrigin});
    ASSERT_NE(host.Process(), nullptr);
    Page page(host);
    host.Send(R"({"type":"hello","pageUrl":"http://applets.example/cubes.html","visible":true})");
    host.Send(kAddCubes);

    // The applet's boxes, in their colours, once its files have come through the page.
    std::vector<DWORD> pixels;
    ASSERT_TRUE(page.Frame(pixels, kRunMs, [](const JsonValue& frame) {
        const BoxColours seen = CountBoxColours(Decode(frame));
        return seen.red > 50 && seen.green > 50 && seen.blue > 50;
    })) << "frames seen: " << page.frames << Seen(page);
    EXPECT_EQ(pixels.size(), 320u * 240u);
    ASSERT_FALSE(page.fetched.empty());
    EXPECT_EQ(page.fetched[0], "http://applets.example/cubes.obvm");
    for (const std::string& url : page.fetched) EXPECT_EQ(url.compare(0, strlen(kSite), kSite), 0) << url;

    // A still scene: the same picture is not sent again and again.
    Sleep(1000);
    JsonValue message;
    const int before = page.frames;
    page.Next(message, 1500, false);
    EXPECT_LT(page.frames - before, 10) << "a still picture was sent over and over";

    // What the page sends wrong is refused, each with an error, and the host plays on.
    host.Send("this is not JSON");
    ASSERT_TRUE(page.Next(message, 5000, false));
    EXPECT_EQ(Type(message), "error");
    host.Send(R"({"type":"resize","element":8,"width":10,"height":10})");
    ASSERT_TRUE(page.Next(message, 5000, false));
    EXPECT_EQ(Type(message), "error");
    std::string what;
    message.GetString("what", what);
    EXPECT_NE(what.find("unknown element 8"), std::string::npos) << what;
    host.Send(R"({"type":"frameAck","element":7,"frame":100000})");
    ASSERT_TRUE(page.Next(message, 5000, false));
    EXPECT_EQ(Type(message), "error");
    host.Send(kAddCubes);  // the same element twice
    ASSERT_TRUE(page.Next(message, 5000, false));
    EXPECT_EQ(Type(message), "error");

    // A new size: a picture of it, drawn all over.
    host.Send(R"({"type":"resize","element":7,"width":400,"height":300})");
    ASSERT_TRUE(page.Frame(pixels, kRunMs, [](const JsonValue& frame) {
        const BoxColours seen = CountBoxColours(Decode(frame));
        return Int(frame, "width") == 400 && Int(frame, "height") == 300 && seen.red > 50 && seen.blue > 50;
    }));

    // The element leaves: the host says so, and its renderer is gone soon after.
    ASSERT_EQ(CountRunningChildProcesses(host.Process()), 1);
    host.Send(R"({"type":"remove","element":7})");
    ASSERT_TRUE(page.Next(message, 10000, false));
    EXPECT_EQ(Type(message), "closed");
    EXPECT_EQ(Int(message, "element"), 7);
    const DWORD start = GetTickCount();
    while (CountRunningChildProcesses(host.Process()) > 0 && GetTickCount() - start < 5000) Sleep(50);
    EXPECT_EQ(CountRunningChildProcesses(host.Process()), 0);

    // The page's end: the host closes and exits.
    host.CloseInput();
    ASSERT_EQ(WaitForSingleObject(host.Process(), 30000), WAIT_OBJECT_0);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(host.Process(), &code);
    EXPECT_EQ(code, 0u);
}

TEST_F(NativeHostTest, RefusesAnotherCallerWithOneError)
{
    HostPipes host({"chrome-extension://abcdefghijklmnopabcdefghijklmnop/", "--parent-window=0"});
    ASSERT_NE(host.Process(), nullptr);
    JsonValue message;
    ASSERT_TRUE(host.Receive(message, 10000));
    EXPECT_EQ(Type(message), "error");
    ASSERT_EQ(WaitForSingleObject(host.Process(), 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(host.Process(), &code);
    EXPECT_EQ(code, 1u);
    EXPECT_FALSE(host.Receive(message, 500));
}

TEST_F(NativeHostTest, EndsWithItsInputBeforeAnyPage)
{
    HostPipes host({"C:\\org.orbolanth.player.json", kOurExtensionId});
    ASSERT_NE(host.Process(), nullptr);
    host.Send(R"({"type":"add","element":1,"tag":"embed","attributes":[],"width":10,"height":10})");
    JsonValue message;
    ASSERT_TRUE(host.Receive(message, 10000));
    EXPECT_EQ(Type(message), "error");  // no hello yet
    host.CloseInput();
    ASSERT_EQ(WaitForSingleObject(host.Process(), 10000), WAIT_OBJECT_0);
}

}  // namespace
