#include "control/ControlRegistry.h"

#include <olectl.h>

#include "base/UniqueHandle.h"
#include "control/ControlRegistration.h"

namespace {

std::string SoftwareKey(const std::string& key)
{
    return "SOFTWARE\\" + key;
}

bool WriteValue(const RegistryValue& value, REGSAM view)
{
    RegistryKeyHandle key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, SoftwareKey(value.key).c_str(), 0, nullptr, 0, KEY_SET_VALUE | view,
                        nullptr, key.Receive(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    if (value.name.empty() && value.text.empty()) return true;
    return RegSetValueExA(key.Get(), value.name.empty() ? nullptr : value.name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.text.c_str()),
                          static_cast<DWORD>(value.text.size() + 1)) == ERROR_SUCCESS;
}

// The value's text; false when there is no such value (or key).
bool ReadValue(const RegistryValue& value, REGSAM view, std::string& text)
{
    RegistryKeyHandle key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SoftwareKey(value.key).c_str(), 0, KEY_QUERY_VALUE | view,
                      key.Receive()) != ERROR_SUCCESS) {
        return false;
    }
    char buffer[260] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    const LONG rc = RegQueryValueExA(key.Get(), value.name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                                     &size);
    if (rc == ERROR_FILE_NOT_FOUND) return false;
    // Present but unreadable as our text (too long, another type): somebody else's.
    text = rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) ? buffer : "?";
    return true;
}

// The subkey `name` of parent and everything under it, all in the one view.
LONG DeleteSubtree(HKEY parent, const std::string& name, REGSAM view)
{
    {
        RegistryKeyHandle key;
        LONG rc = RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS | view, key.Receive());
        if (rc != ERROR_SUCCESS) return rc;
        char child[256];
        for (;;) {
            DWORD length = sizeof child;
            // Always the first: each one found is deleted before the next is looked for.
            rc = RegEnumKeyExA(key.Get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc != ERROR_SUCCESS) return rc;
            rc = DeleteSubtree(key.Get(), child, view);
            if (rc != ERROR_SUCCESS) return rc;
        }
    }
    return RegDeleteKeyExA(parent, name.c_str(), view, 0);
}

// A key and everything under it; a key that is not there counts as deleted.
bool DeleteTree(const std::string& path, REGSAM view)
{
    const size_t cut = path.rfind('\\');
    RegistryKeyHandle parent;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, SoftwareKey(path.substr(0, cut)).c_str(), 0,
                            KEY_ALL_ACCESS | view, parent.Receive());
    if (rc == ERROR_FILE_NOT_FOUND) return true;
    if (rc != ERROR_SUCCESS) return false;
    rc = DeleteSubtree(parent.Get(), path.substr(cut + 1), view);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

// The MIME type's value goes while it is ours; its key too once nothing else is in it.
bool ReleaseMimeType(const RegistryValue& mime, REGSAM view)
{
    std::string current;
    const bool present = ReadValue(mime, view, current);
    if (!MayReleaseMimeType(present, current)) return true;
    RegistryKeyHandle key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SoftwareKey(mime.key).c_str(), 0, KEY_ALL_ACCESS | view,
                      key.Receive()) != ERROR_SUCCESS) {
        return false;
    }
    if (RegDeleteValueA(key.Get(), mime.name.c_str()) != ERROR_SUCCESS) return false;
    DWORD subkeys = 0, values = 0;
    if (RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                         nullptr, nullptr, nullptr) == ERROR_SUCCESS && subkeys == 0 && values == 0) {
        key.Reset();
        const size_t cut = mime.key.rfind('\\');
        RegistryKeyHandle parent;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SoftwareKey(mime.key.substr(0, cut)).c_str(), 0, KEY_ALL_ACCESS | view,
                          parent.Receive()) == ERROR_SUCCESS) {
            RegDeleteKeyExA(parent.Get(), mime.key.substr(cut + 1).c_str(), view, 0);
        }
    }
    return true;
}

}  // namespace

REGSAM OwnRegistryView()
{
    return sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

HRESULT RegisterControl(const std::string& dllPath, REGSAM view)
{
    const ControlRegistration registration = RegistrationFor(dllPath);
    for (const RegistryValue& value : registration.values) {
        if (!WriteValue(value, view)) return SELFREG_E_CLASS;
    }
    std::string current;
    const bool present = ReadValue(registration.mimeClass, view, current);
    if (MayClaimMimeType(present, current) && !WriteValue(registration.mimeClass, view)) return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT UnregisterControl(REGSAM view)
{
    const ControlRegistration registration = RegistrationFor("");
    bool done = ReleaseMimeType(registration.mimeClass, view);
    for (const std::string& tree : registration.ownedTrees) done = DeleteTree(tree, view) && done;
    return done ? S_OK : SELFREG_E_CLASS;
}
