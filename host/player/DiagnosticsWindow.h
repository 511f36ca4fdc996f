// Help > Diagnostics: the report in a read-only edit control a user can select from, and a
// Copy button that puts all of it on the clipboard. Modal over the player's frame; the
// applets keep running under it.
#pragma once

#include <windows.h>

#include <string>

class DiagnosticsWindow {
public:
    // `report` is UTF-8 (DiagnosticsText).
    explicit DiagnosticsWindow(const std::string& report);
    DiagnosticsWindow(const DiagnosticsWindow&) = delete;
    DiagnosticsWindow& operator=(const DiagnosticsWindow&) = delete;

    // Until the user closes it.
    void Show(HWND owner);

private:
    std::wstring text_;

    void Copy(HWND dialog) const;
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
};
