// What the user asks for while a page opens or closes. The plug-in pumps messages inside
// those calls (a renderer that is slow to quit), so a command dispatched there would open a
// page inside the closing of another: it waits instead until the operation has finished. The
// last request wins, and a close is final: nothing opens after it.
#pragma once

#include <string>

class PendingCommand {
public:
    enum class Kind { kNone, kMenu, kOpen, kClose };
    struct Request {
        Kind kind = Kind::kNone;
        int menuId = 0;      // kMenu: the command, carried out when its turn comes
        std::string target;  // kOpen: the file or URL
    };

    void Menu(int id);
    void Open(const std::string& target);
    void Close();     // asked for meanwhile: it waits, and every other request with it
    void CloseNow();  // under way now: nothing waits, and nothing more will
    bool Closing() const { return closing_; }

    // The request that waits, which then no longer does; kNone when none.
    Request Take();

private:
    Request waiting_;
    bool closing_ = false;
};
