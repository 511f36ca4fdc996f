// A process's mandatory integrity level, as the last sub-authority of its token's label
// (0x1000 low, 0x2000 medium, 0x3000 high). Internet Explorer runs Internet-zone tabs in
// Protected Mode, at low integrity; the control and the plug-in then live in such a process.
#pragma once

#include <optional>

constexpr unsigned long kLowIntegrity = 0x1000;
constexpr unsigned long kMediumIntegrity = 0x2000;

// Below medium: a process that may write only to low-integrity folders and objects.
// Unknown (a system without integrity levels, a token that does not answer) is not low.
bool IsBelowMedium(std::optional<unsigned long> integrity);

// The mandatory label the kernel objects a process shares with its renderer are made with.
enum class ObjectLabel {
    Default,  // whatever the creator's token gives
    Low,      // low, written into the object's security descriptor
};

// A process below medium labels them low itself: a renderer it starts runs at its level, and
// can open for writing only objects labelled at or below it. Above that, and where levels do
// not exist (a label there would make the creation fail), the token's default serves.
ObjectLabel LabelForCreator(std::optional<unsigned long> integrity);
