#include "ChildProcesses.h"

#include <tlhelp32.h>

#include "base/UniqueHandle.h"

int EndChildProcesses(HANDLE parent, UINT exitCode)
{
    const FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    const DWORD parentId = GetProcessId(parent);
    FILETIME parentStart{}, unused{};
    GetProcessTimes(parent, &parentStart, &unused, &unused, &unused);
    int ended = 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry)) {
        if (entry.th32ParentProcessID != parentId) continue;
        const KernelHandle child(OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE,
                                             entry.th32ProcessID));
        if (!child) continue;
        FILETIME childStart{};
        GetProcessTimes(child.Get(), &childStart, &unused, &unused, &unused);
        if (CompareFileTime(&childStart, &parentStart) < 0) continue;
        if (TerminateProcess(child.Get(), exitCode)) {
            WaitForSingleObject(child.Get(), 5000);
            ++ended;
        }
    }
    return ended;
}
