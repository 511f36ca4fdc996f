// Code of ours stays on the browser's thread below every message loop we run (a message
// box, a wait that pumps messages), and the browser goes on handling its own messages in
// there: it may close the page, shut the library down and unload it, and the loop would
// then return into nothing. A hold keeps the library loaded until the loop has returned.
#pragma once

#include <atomic>

#include "base/UniqueHandle.h"

class ModuleHold {
public:
    ModuleHold();
    // Gives the reference back, unless the library was shut down meanwhile: the browser
    // may have let go of its own by now, and ours, the last, would unmap the code this
    // returns into. The library then stays loaded until the process ends.
    ~ModuleHold();
    ModuleHold(const ModuleHold&) = delete;
    ModuleHold& operator=(const ModuleHold&) = delete;

    // NP_Shutdown: every hold taken before it keeps the library to the end.
    static void LibraryShutDown();

private:
    static std::atomic<unsigned long> shutdowns_;
    LoadedModule module_;
    const unsigned long shutdownsAtStart_;
};
