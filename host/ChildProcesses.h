// The processes a program started, found by their parent's id. Process ids are reused at
// once, so a process that began before its supposed parent is not counted as its child.
#pragma once

#include <windows.h>

// Ends every child of `parent` with `exitCode` and waits for each; how many were ended.
int EndChildProcesses(HANDLE parent, UINT exitCode);

// How many children of `parent` are running.
int CountRunningChildProcesses(HANDLE parent);
