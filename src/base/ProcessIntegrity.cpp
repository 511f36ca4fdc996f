#include "base/ProcessIntegrity.h"

#include <windows.h>

#include <vector>

#include "base/UniqueHandle.h"

std::optional<unsigned long> ProcessIntegrity()
{
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return std::nullopt;
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenIntegrityLevel, nullptr, 0, &size);
    if (size < sizeof(TOKEN_MANDATORY_LABEL)) return std::nullopt;
    std::vector<unsigned char> buffer(size);
    if (!GetTokenInformation(token.Get(), TokenIntegrityLevel, buffer.data(), size, &size)) return std::nullopt;
    PSID label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
    if (!IsValidSid(label) || *GetSidSubAuthorityCount(label) == 0) return std::nullopt;
    return *GetSidSubAuthority(label, *GetSidSubAuthorityCount(label) - 1u);
}
