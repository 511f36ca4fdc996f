// What the player's window mode and its native-host mode both ask of the system: the plug-in a
// browser would pick, and the system's text as the UTF-8 that reports and messages carry.
#pragma once

#include <string>

#include "PluginCandidates.h"

// The MozillaPlugins keys, then the libraries beside the program; an empty path when none
// handles the applet type.
PluginCandidate FindPlayerPlugin();

std::string Utf8FromWide(const std::wstring& wide);
// Text of the ANSI code page (registry values, paths, the plug-in's status and links).
std::string Utf8FromAnsi(const std::string& ansi);
