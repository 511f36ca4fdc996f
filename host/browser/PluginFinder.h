// Finds a plug-in library the way Windows browsers of the Mozilla family do: first the
// subkeys of SOFTWARE\MozillaPlugins (the current user's, then the machine's), each naming
// its library in "Path" and its MIME types as the subkeys of "MimeTypes"; then the np*.dll
// files of the browser's own plug-in folder, by the MIMEType of their version resource.
// Registrations whose library is gone are passed over, as browsers pass over what an
// uninstalled plug-in left behind.
#pragma once

#include <string>
#include <vector>

#include "PluginCandidates.h"

std::vector<PluginCandidate> KnownPlugins(const std::string& pluginsFolder);

// The registry view of a key opened without naming one: the program's own width's.
constexpr int kOwnRegistryView = sizeof(void*) == 8 ? 64 : 32;

// The folder of this program's executable.
std::string ProgramFolder();

// "<folder of this program>\Plugins", where a browser keeps its own plug-ins.
std::string OwnPluginsFolder();
