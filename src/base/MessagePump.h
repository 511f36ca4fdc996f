// The one way the plug-in, its tests and its renderer keep a thread's messages flowing
// while they wait for something.
#pragma once

// Dispatches every message waiting for this thread, under a ModuleHold. False once a
// WM_QUIT waits in the queue: it is left there for the thread's own loop.
bool PumpMessages();
