// The player: the shared browser in a window a person uses. It opens an applet file (one
// embed filling the window, the file's folder its page), a page with embeds, or the URL of
// either; keeps the recent files; plays full screen; hands an applet's links to the user's
// programs. Whatever goes wrong becomes a line in the status bar.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "Browser.h"
#include "CallLog.h"
#include "FullscreenHint.h"
#include "PendingCommand.h"
#include "PlayerCommandLine.h"
#include "PluginCandidates.h"
#include "base/UniqueHandle.h"
#include "requests/WindowBudget.h"

class Player : private BrowserEvents {
public:
    explicit Player(PlayerCommand command);
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Runs until the window closes; the process exit code.
    int Run();

private:
    PlayerCommand command_;
    BrowserOptions options_;
    CallLog log_;
    Browser browser_;
    PluginCandidate plugin_;   // the library found, for Help > Diagnostics
    bool pluginReady_ = false;
    std::string pluginError_;
    PlayerTarget opened_;      // what is shown, for Reload
    PlayerTarget reading_;     // the page being fetched
    int busy_ = 0;             // a page opening or closing, maybe pumping messages
    bool draining_ = false;    // the commands that waited are being carried out
    PendingCommand pending_;
    bool errorShown_ = false;  // since the last open began
    WindowBudget links_;       // of the links handed to the user's programs
    FullscreenHint hint_;
    bool applet_ = false;      // an applet file fills the window
    bool fit_ = true;
    bool fullscreen_ = false;
    WINDOWPLACEMENT placement_{};
    LONG_PTR windowedStyle_ = 0;
    HMENU menu_ = nullptr;
    HMENU recentMenu_ = nullptr;
    std::vector<std::string> recent_;

    void StartPlugin();
    void Open(const PlayerTarget& target);
    // Carries out the commands that waited for a page to open or close.
    void DoPending();
    // A file the user chose or dropped, named in UTF-16.
    void OpenWide(const std::wstring& path);
    void OpenApplet(const PlayerTarget& target);
    void OpenPage(const PlayerTarget& target);
    // The page read, or what stopped it.
    void ShowPage(std::vector<Embed>& embeds, const std::string& error);
    // Fit to window and Actual size do something only for an applet shown.
    void ShowViewItems();
    void ShowError(const std::string& text);
    void ShowError(const std::wstring& text);
    void LayoutApplet();
    void SetFit(bool fit);
    void SetFullscreen(bool fullscreen);
    void AskForFile();
    void AskForUrl();
    void Dropped(HDROP drop);
    void About();
    HMENU MakeMenu();
    void LoadRecent();
    void SaveRecent() const;
    void ShowRecent();
    void Remember(const std::string& target);

    void ShowProgress();

    void OnNavigate(PageInstance& instance, const std::string& url, const char* target) override;
    void OnPageRead(std::vector<Embed>& embeds, const std::string& error) override;
    void OnFetching() override;
    void OnStreamOverLimit(const std::string& error) override;
    void OnTimer(UINT_PTR id) override;
    void OnCloseRequested() override;
    bool OnFrameMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool OnCommand(WORD id);
};
