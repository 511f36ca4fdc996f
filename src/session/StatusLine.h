// Where a session's status text goes: the browser's status line.
#pragma once

class StatusLine {
public:
    virtual void ShowStatus(const char* text) = 0;

protected:
    ~StatusLine() = default;
};
