// Identifiers of the player's menu commands and of its resources (also read by the .rc file).
#pragma once

#define kPlayerIcon 1

#define kUrlDialog 100
#define kUrlEdit 101
#define kDiagnosticsDialog 102
#define kDiagnosticsText 103
#define kDiagnosticsCopy 104

#define kOpenFile 1000
#define kOpenUrl 1001
#define kReload 1002
#define kExit 1003
#define kFullscreen 1010
#define kLeaveFullscreen 1011
#define kFitToWindow 1012
#define kActualSize 1013
#define kAbout 1020
#define kDiagnostics 1021
#define kFirstRecent 1100
