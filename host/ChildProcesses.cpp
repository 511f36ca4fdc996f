#include "ChildProcesses.h"

#include <tlhelp32.h>

#include "base/UniqueHandle.h"

namespace {

// Runs `visit` on each child of `parent` (opened with `access`); how many it returned true for.
template <typename Visit>
int VisitChildren(HANDLE parent, DWORD access, Visit visit)
{
    const FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    const DWORD parentId = GetProcessId(parent);
    FILETIME parentStart{}, unused{};
    GetProcessTimes(parent, &parentStart, &unused, &unused, &unused);
    int counted = 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry)) {
        if (entry.th32ParentProcessID != parentId) continue;
        const KernelHandle child(OpenProcess(access | PROCESS_QUERY_INFORMATION, FALSE, entry.th32ProcessID));
        if (!child) continue;
        FILETIME childStart{};
        GetProcessTimes(child.Get(), &childStart, &unused, &unused, &unused);
        if (CompareFileTime(&childStart, &parentStart) < 0) continue;
        if (visit(child.Get())) ++counted;
    }
    return counted;
}

}  // namespace

int EndChildProcesses(HANDLE parent, UINT exitCode)
{
    return VisitChildren(parent, PROCESS_TERMINATE | SYNCHRONIZE, [exitCode](HANDLE child) {
        if (!TerminateProcess(child, exitCode)) return false;
        WaitForSingleObject(child, 5000);
        return true;
    });
}

int CountRunningChildProcesses(HANDLE parent)
{
    return VisitChildren(parent, SYNCHRONIZE,
                         [](HANDLE child) { return WaitForSingleObject(child, 0) == WAIT_TIMEOUT; });
}
