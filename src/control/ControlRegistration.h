// What registering the control writes, as plain data: every key and value under HKLM
// "SOFTWARE" of the DLL's own registry view, and what unregistering may take away again.
// The keys named in ownedTrees are the control's alone and go whole; the MIME type's
// class value is shared with whoever registered the type first, so it is written only
// where nobody else's class is, and removed only while it still names ours. Nothing here
// ever names the administrator's kill bit.
#pragma once

#include <string>
#include <vector>

struct RegistryValue {
    std::string key;   // under HKLM\SOFTWARE
    std::string name;  // empty for the key's default value
    std::string text;  // REG_SZ; an empty default value stands for the key alone
};

struct ControlRegistration {
    std::vector<RegistryValue> values;    // written in this order, their keys made as needed
    std::vector<std::string> ownedTrees;  // deleted whole on unregistering, deepest first
    RegistryValue mimeClass;              // the content type's CLSID value
};

// Every entry for the library at dllPath.
ControlRegistration RegistrationFor(const std::string& dllPath);

// The OLEMISC flags under MiscStatus: an inside-out control that is activated as soon as it
// is visible, wants its client site before its parameters, and is recomposed on resize.
constexpr unsigned long kControlMiscStatus = 0x1 | 0x10 | 0x80 | 0x100 | 0x20000;

// The MIME type's class value may be written when it is absent or already ours, and removed
// only while it is ours (class ids compare ignoring case). present: whether a value exists.
bool MayClaimMimeType(bool present, const std::string& current);
bool MayReleaseMimeType(bool present, const std::string& current);
