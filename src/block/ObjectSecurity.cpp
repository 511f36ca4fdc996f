#include "block/ObjectSecurity.h"

#include <sddl.h>

#include "base/ProcessIntegrity.h"

namespace {

// A system access list holding one mandatory label: low, and no writing from below it.
constexpr wchar_t kLowLabel[] = L"S:(ML;;NW;;;LW)";

}  // namespace

ObjectSecurity::ObjectSecurity(ObjectLabel label)
{
    if (label != ObjectLabel::Low) return;
    PSECURITY_DESCRIPTOR made = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kLowLabel, SDDL_REVISION_1, &made, nullptr)) return;
    descriptor.Reset(made);
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = made;
    attributes.bInheritHandle = FALSE;
}

ObjectLabel CreatorLabel()
{
    return LabelForCreator(ProcessIntegrity());
}
