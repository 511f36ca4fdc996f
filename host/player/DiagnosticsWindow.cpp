#include "DiagnosticsWindow.h"

#include <cstring>

#include "PlayerIcon.h"
#include "PlayerResources.h"
#include "base/UniqueHandle.h"

namespace {

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty()) return L"";
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], length);
    return wide;
}

// The clipboard is one for the whole session: open only for as long as it takes to fill it.
class OpenClipboardScope {
public:
    explicit OpenClipboardScope(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
    ~OpenClipboardScope()
    {
        if (open_) CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    bool IsOpen() const { return open_; }

private:
    bool open_;
};

}  // namespace

DiagnosticsWindow::DiagnosticsWindow(const std::string& report) : text_(Wide(report))
{
}

void DiagnosticsWindow::Show(HWND owner)
{
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kDiagnosticsDialog), owner, &DialogProc,
                    reinterpret_cast<LPARAM>(this));
}

void DiagnosticsWindow::Copy(HWND dialog) const
{
    const size_t bytes = (text_.size() + 1) * sizeof(wchar_t);
    GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) return;
    void* locked = GlobalLock(memory.Get());
    if (!locked) return;
    std::memcpy(locked, text_.c_str(), bytes);
    GlobalUnlock(memory.Get());
    const OpenClipboardScope clipboard(dialog);
    if (!clipboard.IsOpen() || !EmptyClipboard()) return;
    // Once taken, the memory is the clipboard's.
    if (SetClipboardData(CF_UNICODETEXT, memory.Get())) memory.Release();
}

INT_PTR CALLBACK DiagnosticsWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        ShowPlayerIcon(dialog);
        const auto* self = reinterpret_cast<const DiagnosticsWindow*>(lParam);
        // The default limit is a typist's, not a report's.
        SendDlgItemMessageW(dialog, kDiagnosticsText, EM_SETLIMITTEXT, self->text_.size() + 1, 0);
        SetDlgItemTextW(dialog, kDiagnosticsText, self->text_.c_str());
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    const auto* self = reinterpret_cast<const DiagnosticsWindow*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (LOWORD(wParam)) {
    case kDiagnosticsCopy:
        self->Copy(dialog);
        return TRUE;
    case IDOK:
    case IDCANCEL:
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}
