// The facts of Help > Diagnostics, gathered when the user asks for them: the plug-in's
// settings read as the plug-in reads them, the files they name, the folders in use and the
// end of the plug-in's trace.
#pragma once

#include "DiagnosticsReport.h"
#include "PluginCandidates.h"

// `plugin` is the library the player loaded (an empty path when none was found).
DiagnosticFacts GatherDiagnostics(const PluginCandidate& plugin);
