// The player as a browser extension's native-messaging host: one page per process. The page's
// side says where it is (hello) and which elements it has (add, remove, resize); each element is
// an instance of the one Browser in an area of a frame nobody sees, whose picture goes back as
// frames. Files come through the extension, input and visibility come from the page, status
// text and links go to it. The pipe's messages are untrusted: each is checked, and a bad one
// gets an error and changes nothing.
#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <string>

#include "Browser.h"
#include "CallLog.h"
#include "ExtensionFetches.h"
#include "FramePacer.h"
#include "HostCommand.h"
#include "MessagePipe.h"
#include "PictureEncoder.h"
#include "WindowPicture.h"
#include "requests/WindowBudget.h"

class NativeHost : private BrowserEvents {
public:
    // The most elements of one page that play at once.
    static constexpr size_t kMostElements = 32;

    NativeHost(HANDLE input, HANDLE output);
    NativeHost(const NativeHost&) = delete;
    NativeHost& operator=(const NativeHost&) = delete;

    // Runs until standard input ends and the page is closed; the process exit code.
    int Run();

private:
    struct Element {
        PageInstance* instance = nullptr;
        int width = 0;
        int height = 0;
        FramePacer pacer;
        HWND keyTarget = nullptr;  // where keys go: the window last clicked, else the area
        WPARAM buttons = 0;        // MK_ flags of the buttons held
        std::string status;
    };

    BrowserOptions options_;
    CallLog log_;
    MessagePipe pipe_;              // before the fetches and the browser, which send through it
    ExtensionFetches fetches_;      // outlives the browser's streams, whose bodies it serves
    Browser browser_;
    PictureEncoder encoder_;
    WindowPicture picture_;
    const bool fromScreen_;         // pictures are read from the screen (WindowPicture)
    WindowBudget links_;
    std::map<int, Element> elements_;
    std::set<int> used_;            // element numbers ever added: none is used again
    bool greeted_ = false;
    bool png_ = false;
    bool visible_ = true;
    bool closing_ = false;
    // A message is being carried out: the plug-in may pump messages inside its calls (in
    // NPP_SetWindow, say), and nothing reaches the elements again meanwhile.
    bool handling_ = false;

    void Drain();
    void Handle(const std::string& json);
    // Carries out a checked command; false with `error` set when the page's state refuses it.
    bool Apply(const HostCommand& command, std::string& error);
    void Add(const HostCommand& command, std::string& error);
    void Remove(int id);
    void Layout();
    void Mouse(Element& element, const HostCommand& command);
    void Key(Element& element, const HostCommand& command);
    void SendFrames();
    bool SendFrame(int id, Element& element, DWORD now);
    void SendError(const std::string& what, int element = 0);
    void Close();
    int ElementOf(const PageInstance& instance) const;

    void OnNavigate(PageInstance& instance, const std::string& url, const char* target) override;
    void OnCloseRequested() override;
    void OnTimer(UINT_PTR id) override;
    bool OnFrameMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnStreamWork() override;
    void OnStatus(PageInstance& instance, const std::string& text) override;
};

// The refusal a host started by another caller writes before it exits.
void RefuseCaller(HANDLE output);
