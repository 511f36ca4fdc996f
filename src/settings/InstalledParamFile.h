// The parameter file that an installation names in the registry (HKLM
// "SOFTWARE\Orbolanth\ActiveXOrbolanth", "ParamFile"): its pairs are an applet's settings
// before the page's own attributes.
#pragma once

class AppletSettings;

// Applies the file's pairs in order; a missing value or unreadable file applies nothing.
void ApplyInstalledParamFile(AppletSettings& settings);
