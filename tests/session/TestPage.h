// A page of embeds in this very process, as a browser drives them: the plug-in linked into
// the program gets a browser table of our own (a TestBrowser), each embed gets NPP_New, a
// real child window through NPP_SetWindow, and its streams through the NPP callbacks.
// Also what the session tests and the benchmark watch from outside: renderer processes,
// pixels, launch-failure boxes.
//
// Under Wine, what another process draws into a child window never reaches the screen;
// only its drawing into a top-level window does. An embed whose renderer's pixels are to be
// read therefore gets a top-level window of its own instead of a child of the browser's.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BrowserWindow.h"
#include "PluginSession.h"
#include "base/UniqueHandle.h"
#include "plugin/PluginInstance.h"

constexpr char kPageUrl[] = "http://pages.test/demo/page.html";
constexpr char kAppletName[] = "scene.obvm";
constexpr char kAppletStreamUrl[] = "http://pages.test/demo/scene.obvm";
// The applet's solid background, which is what most of a drawn frame shows.
constexpr COLORREF kSceneBackground = RGB(0x20, 0x40, 0x80);

class TestPage {
public:
    enum class Window { Child, TopLevel };

    struct Embed {
        NPP_t npp{};
        std::unique_ptr<BrowserWindow> window;  // a child window (none for a top-level one)
        OwnedWindow topLevel;
        NPWindow topLevelRecord{};
        bool open = false;

        Embed() = default;
        ~Embed();
        Embed(const Embed&) = delete;
        Embed& operator=(const Embed&) = delete;

        PluginInstance* Instance() { return InstanceOf(&npp); }
        HWND Hwnd() const { return window ? window->Child() : topLevel.Get(); }
        NPWindow* Record() { return window ? window->Record() : &topLevelRecord; }
        // Destroys the browser's window: WM_DESTROY reaches whoever holds it.
        void DestroyBrowserWindow();
    };

    TestPage();
    ~TestPage();  // closes every embed still open, then NP_Shutdown
    TestPage(const TestPage&) = delete;
    TestPage& operator=(const TestPage&) = delete;

    // NPP_New with the attributes and a browser child window of the given client size; the
    // window is not handed over yet. Null when NPP_New failed.
    Embed* Add(const std::vector<Attribute>& attributes, int width = 160, int height = 120,
               Window kind = Window::Child);
    NPError Attach(Embed* embed);
    // The browser's answer to the location request.
    void DeliverLocation(Embed* embed, const char* url = kPageUrl);
    // The browser's stream of the embed's src, taken as a file.
    void DeliverApplet(Embed* embed, const std::string& localFile);
    // The browser's answer to a request the plug-in made: a stream of its URL taken as
    // localFile, then the notification.
    void AnswerRequest(Embed* embed, const BrowserCall& call, const std::string& localFile);
    // NPP_Destroy, which gives the window up; the window itself stays until the page goes.
    void Close(Embed* embed);

    TestBrowser& Browser() { return session_.browser; }

private:
    PluginSession session_;
    std::vector<std::unique_ptr<Embed>> embeds_;
};

// Dispatches this thread's messages until done() holds or the time is up; true when it held.
// done() is asked after each message and at least every pollMs.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD pollMs = 10);
// Dispatches this thread's messages for a while, sleeping in between as a browser's
// message loop does.
void PumpFor(DWORD milliseconds);

// Running processes started by this one (the renderers of its pages).
int ChildProcesses();
// A handle of our own to a process, which stays valid after the plug-in closes its own.
KernelHandle DuplicateOf(HANDLE process);

// An applet with the solid background and one turning box, written to the temp folder.
class AppletFile {
public:
    AppletFile();
    ~AppletFile();
    AppletFile(const AppletFile&) = delete;
    AppletFile& operator=(const AppletFile&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Compares the window's client pixels on screen with what the instance's logo painter
// draws for the same area; the number of pixels that differ.
int DifferencesFromLogo(PluginInstance* instance, HWND hwnd);
// Client pixels of the window that are the scene's background colour.
int SceneBackgroundPixels(HWND hwnd);

// Watches, from a thread of its own, for launch-failure boxes of this process: reads each
// box's texts, leaves it open for holdMs, then presses its button.
class BoxWatcher {
public:
    explicit BoxWatcher(DWORD holdMs = 0);
    ~BoxWatcher();  // stops watching
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;

    void Stop();
    int Boxes() const { return static_cast<int>(seen_.size()); }
    // The static texts of the first box, joined by "|".
    const std::string& FirstText() const { return firstText_; }

private:
    static DWORD WINAPI Run(void* self);
    void Watch();

    DWORD holdMs_;
    volatile LONG stopping_ = 0;
    KernelHandle thread_;
    std::vector<HWND> seen_;
    std::string firstText_;
};
