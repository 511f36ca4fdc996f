// The security attributes the block's mapping and mutex are created with: none (the token's
// defaults) or a descriptor that carries only a low mandatory label, so that the access list
// stays the token's default while the object is open to the renderer a low process starts.
#pragma once

#include <windows.h>

#include "base/IntegrityLevel.h"
#include "base/UniqueHandle.h"

class ObjectSecurity {
public:
    explicit ObjectSecurity(ObjectLabel label);
    ObjectSecurity(const ObjectSecurity&) = delete;
    ObjectSecurity& operator=(const ObjectSecurity&) = delete;

    // For the creating call; null for the defaults, and when the label could not be made
    // (the object then gets the creator's default label, which for a low creator is low).
    SECURITY_ATTRIBUTES* Attributes() { return descriptor ? &attributes : nullptr; }

private:
    LocalMemory descriptor;
    SECURITY_ATTRIBUTES attributes{};
};

// The label for objects this process makes for its renderer.
ObjectLabel CreatorLabel();
