; Puts the plug-in where browsers find it (on 64-bit Windows its x86-64 build as well, for
; 64-bit browsers), the control for Internet Explorer beside each, registered in the registry
; view of its width, and the renderer where both find it (unless
; the user keeps another player's renderer there), and the player beside the plug-in, with a
; Start-menu shortcut, the applet files opened by it and its registration as the native host
; of the browsers' extension, and takes all of it away again.
; installer/CMakeLists.txt compiles it with VERSION ("1.3.2"), VERSION_NUMBERS ("1.3.2.0"),
; STAGE (the stripped binaries, the x86-64 plug-in and control in STAGE/x64), SAMPLES (the sample file lists) and OUTFILE defined.
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include x64.nsh
!include "${SAMPLES}"

!define VENDOR "Orbolanth"
!define PRODUCT "Orbolanth3D Player"
!define PLUGIN_DLL "npOrbolanth.dll"
!define CONTROL_DLL "OrbolanthControl.dll"
!define RENDERER_EXE "orbrenderer.exe"
!define PLAYER_EXE "OrbolanthPlayer.exe"
!define PLAYER_SHORTCUT "$SMPROGRAMS\Orbolanth Player.lnk"
!define UNINSTALLER "uninstall.exe"
!define MIME_TYPE "application/x-Orbolanth-3D-Applet"

; Where the plug-in looks for its renderer. Another player may have put its own renderer
; there first, and that key may hold values this installer never writes (ParamFile).
!define VENDOR_KEY "SOFTWARE\Orbolanth"
!define CONFIG_KEY "${VENDOR_KEY}\ActiveXOrbolanth"
; The copies put into browsers' own plug-in folders, one value per copy named by its path:
; the uninstaller removes these and nothing else.
!define COPIES_KEY "${VENDOR_KEY}\PluginCopies"
; Where browsers of the Mozilla family look for plug-ins installed elsewhere.
!define MOZILLA_PLUGINS_KEY "SOFTWARE\MozillaPlugins"
!define PLUGIN_KEY "${MOZILLA_PLUGINS_KEY}\@orbolanth.org/Orbolanth"
!define UNINSTALL_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Orbolanth"
; The player opens the applet files: a ProgID of its own, offered for both extensions in
; OpenWithProgids, and the extension's default only where no other program has one.
!define CLASSES "SOFTWARE\Classes"
!define PROGID "Orbolanth.Applet"
; The control registers itself (DllRegisterServer, through regsvr32); the installer only reads
; which class Internet Explorer starts for the applet type, which another program may own.
!define CONTROL_CLSID "{7B9DBB87-D073-440A-A713-787FD3FD89EF}"
!define CONTENT_TYPE_KEY "${CLASSES}\MIME\Database\Content Type\${MIME_TYPE}"
; Browsers of today load no plug-ins: their extension starts the player as a native-messaging
; host, found through a manifest file that one of these keys names, one for each browser family
; (Chromium-family browsers take the caller by its origin, Firefox by its extension id).
!define NATIVE_HOST "org.orbolanth.player"
!define CHROMIUM_HOST_MANIFEST "${NATIVE_HOST}.chromium.json"
!define FIREFOX_HOST_MANIFEST "${NATIVE_HOST}.firefox.json"
!define CHROME_HOSTS_KEY "SOFTWARE\Google\Chrome\NativeMessagingHosts"
!define EDGE_HOSTS_KEY "SOFTWARE\Microsoft\Edge\NativeMessagingHosts"
!define FIREFOX_HOSTS_KEY "SOFTWARE\Mozilla\NativeMessagingHosts"
!define EXTENSION_ORIGIN "chrome-extension://mlldpcenpjnjhndloennphfbfndfdhbp/"
!define EXTENSION_ID "orbolanth-player@orbolanth.org"
; In UNINSTALL_KEY: the folder of the x86-64 plug-in and control, absent when there is none.
!define PLUGIN64_LOCATION "Plugin64Location"
; In UNINSTALL_KEY: the RendererPath this installation replaced, for the uninstaller to put back.
!define REPLACED_RENDERER "ReplacedRendererPath"

; Exit codes besides NSIS's own (0 done, 1 cancelled, 2 aborted).
!define EXIT_IN_USE 3
!define EXIT_NOT_ADMIN 4
!define EXIT_OTHER_FOLDER 5
!define EXIT_BAD_OPTION 6

; "keep" or "bundled": whether a working renderer of another player stays in RendererPath.
; /RENDERER= on the command line, or the renderer page.
Var RendererChoice
; That renderer, or empty when RendererPath names none (FindForeignRenderer).
Var ForeignRenderer
Var KeepRadio
; The x86-64 plug-in's folder, or empty on 32-bit Windows (ChoosePlugin64Dir).
Var Plugin64Dir
; 32 or 64: the registry view whose browsers CopyIntoBrowserFolders serves.
Var BrowserView
Var BundledRadio
; What the finish page says about the control: a failed registration, or the applet type left
; to another program's class. Empty: nothing to say, and no such page.
Var ControlNote

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Orbolanth"
; An upgrade goes where the earlier version is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_NUMBERS}"
VIFileVersion "${VERSION_NUMBERS}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${VENDOR}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${VENDOR}"

Page directory
PageEx custom
    Caption ": Renderer"
    PageCallbacks RendererPage RendererPageLeave
PageExEnd
Page instfiles
Page custom ControlNotePage
UninstPage uninstConfirm
UninstPage instfiles

; Both programs stop before changing anything when they lack administrator rights or when
; a running program has one of the files they would replace or remove loaded.
!macro CHECKS un
Function ${un}RequireAdmin
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
        MessageBox MB_ICONSTOP|MB_OK "${PRODUCT} can only be installed or removed by an administrator: it writes to $PROGRAMFILES and to the machine's registry.$\r$\n$\r$\nRun this program again as an administrator." /SD IDOK
        SetErrorLevel ${EXIT_NOT_ADMIN}
        Quit
    ${EndIf}
FunctionEnd

; A library or program that a process has loaded cannot be opened for writing: Windows and
; Wine both refuse with a sharing violation (renaming it would still succeed, so that proves
; nothing). $R0: the file; it stays untouched.
Function ${un}RefuseIfLoaded
    ${IfNot} ${FileExists} "$R0"
        Return
    ${EndIf}
    ClearErrors
    FileOpen $R1 "$R0" a
    ${If} ${Errors}
        MessageBox MB_ICONSTOP|MB_OK "$R0 is in use: a web browser or another program has it loaded.$\r$\n$\r$\nClose every browser window and run this program again. Nothing has been changed." /SD IDOK
        SetErrorLevel ${EXIT_IN_USE}
        Quit
    ${EndIf}
    FileClose $R1
FunctionEnd

Function ${un}RefuseWhileInUse
    StrCpy $R0 "$INSTDIR\${PLUGIN_DLL}"
    Call ${un}RefuseIfLoaded
    StrCpy $R0 "$INSTDIR\${CONTROL_DLL}"
    Call ${un}RefuseIfLoaded
    ${If} $Plugin64Dir != ""
        StrCpy $R0 "$Plugin64Dir\${PLUGIN_DLL}"
        Call ${un}RefuseIfLoaded
        StrCpy $R0 "$Plugin64Dir\${CONTROL_DLL}"
        Call ${un}RefuseIfLoaded
    ${EndIf}
    StrCpy $R0 "$INSTDIR\${RENDERER_EXE}"
    Call ${un}RefuseIfLoaded
    StrCpy $R0 "$INSTDIR\${PLAYER_EXE}"
    Call ${un}RefuseIfLoaded
    StrCpy $R2 0
    ${Do}
        ClearErrors
        EnumRegValue $R0 HKLM "${COPIES_KEY}" $R2
        ${If} ${Errors}
        ${OrIf} $R0 == ""
            ${ExitDo}
        ${EndIf}
        Call ${un}RefuseIfLoaded
        IntOp $R2 $R2 + 1
    ${Loop}
FunctionEnd

; Runs the regsvr32 of the control's width on it, which registers it (or, with /u, takes
; away what registering wrote) in the registry view of that width: $R0 the DLL, $R1 its width
; (32 or 64), $R2 the switches. $R3: regsvr32's exit code, 0 when the DLL's call succeeded.
; A 32-bit installer's system folder is the 32-bit one; only with the redirection off does it
; name the 64-bit folder and its regsvr32.
Function ${un}RunRegsvr32
    ${If} $R1 == 64
        ${DisableX64FSRedirection}
    ${EndIf}
    ClearErrors
    ExecWait '"$SYSDIR\regsvr32.exe" $R2 "$R0"' $R3
    ${IfThen} ${Errors} ${|} StrCpy $R3 "not started" ${|}
    ${If} $R1 == 64
        ${EnableX64FSRedirection}
    ${EndIf}
FunctionEnd
!macroend
!insertmacro CHECKS ""
!insertmacro CHECKS "un."

Function .onInit
    SetRegView 32
    Call RequireAdmin
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/RENDERER=" $RendererChoice
    ${If} ${Errors}
        StrCpy $RendererChoice "keep"
    ${ElseIf} $RendererChoice != "keep"
    ${AndIf} $RendererChoice != "bundled"
        MessageBox MB_ICONSTOP|MB_OK "/RENDERER= takes keep or bundled, not $\"$RendererChoice$\". Nothing has been changed." /SD IDOK
        SetErrorLevel ${EXIT_BAD_OPTION}
        Quit
    ${EndIf}
FunctionEnd

; A RendererPath naming a file that is there but is not this installation's renderer belongs
; to another player that works, and a user who has it may well want to keep it. One naming nothing is no
; renderer at all: the installer takes it over, and the uninstaller still puts it back, in
; case it names a drive that was only away.
Function FindForeignRenderer
    StrCpy $ForeignRenderer ""
    ReadRegStr $R0 HKLM "${CONFIG_KEY}" "RendererPath"
    ${If} $R0 != ""
    ${AndIf} $R0 != "$INSTDIR\${RENDERER_EXE}"
    ${AndIf} ${FileExists} "$R0"
    ${AndIfNot} ${FileExists} "$R0\*.*"
        StrCpy $ForeignRenderer $R0
    ${EndIf}
FunctionEnd

; Comes after the folder page: whether the renderer is ours depends on the folder.
Function RendererPage
    Call FindForeignRenderer
    ${IfThen} $ForeignRenderer == "" ${|} Abort ${|}
    nsDialogs::Create 1018
    Pop $R0
    ${NSD_CreateLabel} 0 0 100% 40u "Another Orbolanth renderer is installed, and the plug-in uses it:$\r$\n$\r$\n$ForeignRenderer$\r$\n$\r$\nWhich renderer should the plug-in use?"
    Pop $R0
    ${NSD_CreateRadioButton} 10u 48u -10u 12u "&Keep the installed renderer"
    Pop $KeepRadio
    ${NSD_CreateRadioButton} 10u 64u -10u 12u "&Use the renderer that comes with ${PRODUCT} ${VERSION}"
    Pop $BundledRadio
    ${NSD_CreateLabel} 0 84u 100% 24u "If you choose the one that comes with ${PRODUCT}, uninstalling ${PRODUCT} later gives the plug-in the installed renderer back."
    Pop $R0
    ${If} $RendererChoice == "bundled"
        ${NSD_Check} $BundledRadio
    ${Else}
        ${NSD_Check} $KeepRadio
    ${EndIf}
    nsDialogs::Show
FunctionEnd

Function RendererPageLeave
    ${NSD_GetState} $BundledRadio $R0
    ${If} $R0 == ${BST_CHECKED}
        StrCpy $RendererChoice "bundled"
    ${Else}
        StrCpy $RendererChoice "keep"
    ${EndIf}
FunctionEnd

; What RendererPath held before is remembered only when it was not ours: an upgrade keeps what
; the first installation replaced.
Function SetRendererPath
    Call FindForeignRenderer
    ${If} $ForeignRenderer != ""
    ${AndIf} $RendererChoice == "keep"
        DetailPrint "Kept the installed renderer: $ForeignRenderer"
        Return
    ${EndIf}
    ReadRegStr $R0 HKLM "${CONFIG_KEY}" "RendererPath"
    ${If} $R0 != ""
    ${AndIf} $R0 != "$INSTDIR\${RENDERER_EXE}"
        WriteRegStr HKLM "${UNINSTALL_KEY}" "${REPLACED_RENDERER}" "$R0"
    ${EndIf}
    WriteRegStr HKLM "${CONFIG_KEY}" "RendererPath" "$INSTDIR\${RENDERER_EXE}"
FunctionEnd

; The registration for browsers of the Mozilla family, in the current registry view, of the
; plug-in DLL, for OP to write (WRITE_PLUGIN_VALUE) or remove (DELETE_PLUGIN_VALUE): the
; uninstaller removes exactly what the installer wrote, and whatever else someone put under
; that key stays.
!macro PLUGIN_REGISTRATION OP DLL
    !insertmacro ${OP} "${PLUGIN_KEY}" "Path" "${DLL}"
    !insertmacro ${OP} "${PLUGIN_KEY}" "Description" "Orbolanth3D Plug-in (Version ${VERSION})"
    !insertmacro ${OP} "${PLUGIN_KEY}" "ProductName" "${PRODUCT}"
    !insertmacro ${OP} "${PLUGIN_KEY}" "Vendor" "${VENDOR}"
    !insertmacro ${OP} "${PLUGIN_KEY}" "Version" "${VERSION}"
    !insertmacro ${OP} "${PLUGIN_KEY}\MimeTypes\${MIME_TYPE}" "Description" "Orbolanth 3D Applet"
    !insertmacro ${OP} "${PLUGIN_KEY}\MimeTypes\${MIME_TYPE}" "Suffixes" "obvm,obv"
!macroend
!macro WRITE_PLUGIN_VALUE KEY NAME DATA
    WriteRegStr HKLM "${KEY}" "${NAME}" "${DATA}"
!macroend
!macro DELETE_PLUGIN_VALUE KEY NAME DATA
    DeleteRegValue HKLM "${KEY}" "${NAME}"
!macroend
!macro REMOVE_PLUGIN_REGISTRATION
    !insertmacro PLUGIN_REGISTRATION DELETE_PLUGIN_VALUE ""
    DeleteRegKey /ifempty HKLM "${PLUGIN_KEY}\MimeTypes\${MIME_TYPE}"
    DeleteRegKey /ifempty HKLM "${PLUGIN_KEY}\MimeTypes"
    DeleteRegKey /ifempty HKLM "${PLUGIN_KEY}"
    DeleteRegKey /ifempty HKLM "${MOZILLA_PLUGINS_KEY}"
!macroend

; One installation per machine: an upgrade into another folder would leave the old files
; behind with nothing left to remove them.
Function RefuseOtherFolder
    ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $R0 != ""
    ${AndIf} $R0 != $INSTDIR
    ${AndIf} ${FileExists} "$R0\${UNINSTALLER}"
        MessageBox MB_ICONSTOP|MB_OK "${PRODUCT} is already installed in $R0.$\r$\n$\r$\nInstall into that folder to upgrade it, or remove it first. Nothing has been changed." /SD IDOK
        SetErrorLevel ${EXIT_OTHER_FOLDER}
        Quit
    ${EndIf}
FunctionEnd

; A folder of its own under the 64-bit Program Files, wherever the i686 plug-in goes: a browser
; loads every plug-in in the folder that Path names, and would meet the i686 one there too.
; When the user chose that very folder for the installation, the two libraries, which share a
; name, would overwrite each other; the x86-64 one then goes into a folder inside it, which no
; browser scans for the i686 one.
Function ChoosePlugin64Dir
    StrCpy $Plugin64Dir ""
    ${If} ${RunningX64}
        StrCpy $Plugin64Dir "$PROGRAMFILES64\Orbolanth"
        ${IfThen} $Plugin64Dir == $INSTDIR ${|} StrCpy $Plugin64Dir "$INSTDIR\x64" ${|}
    ${EndIf}
FunctionEnd

; $R0: a plug-in folder as a browser of $BrowserView records it. The copy of the plug-in of
; that width goes in when the folder exists and holds no file of that name that this installer
; did not put there. The list of copies stays in the 32-bit view whatever their width.
Function CopyIntoFolder
    ${Do}
        StrCpy $R1 $R0 1 -1
        ${IfThen} $R1 != "\" ${|} ${ExitDo} ${|}
        StrCpy $R0 $R0 -1
    ${Loop}
    ${If} $R0 == ""
    ${OrIfNot} ${FileExists} "$R0\*.*"
        Return
    ${EndIf}
    StrCpy $R1 "$R0\${PLUGIN_DLL}"
    ClearErrors
    ReadRegStr $R2 HKLM "${COPIES_KEY}" "$R1"
    ${If} ${Errors}
    ${AndIf} ${FileExists} "$R1"
        DetailPrint "Left alone: $R1 (not installed by this program)"
        Return
    ${EndIf}
    ${If} $BrowserView == 64
        File "/oname=$R1" "${STAGE}/x64/${PLUGIN_DLL}"
    ${Else}
        File "/oname=$R1" "${STAGE}/${PLUGIN_DLL}"
    ${EndIf}
    WriteRegStr HKLM "${COPIES_KEY}" "$R1" ""
FunctionEnd

; The browsers' keys are read in $BrowserView, everything else in the 32-bit view.
!macro BROWSER_VIEW
    ${IfThen} $BrowserView == 64 ${|} SetRegView 64 ${|}
!macroend

; Browsers older than the MozillaPlugins key only scan their own plug-in folder. 64-bit
; browsers record theirs in the 64-bit view and get the x86-64 copy.
Function CopyIntoBrowserFolders
    ; Netscape 6.1 and later, Mozilla and its descendants: "<name> <version>\Extensions", "Plugins".
    StrCpy $R3 0
    ${Do}
        !insertmacro BROWSER_VIEW
        EnumRegKey $R4 HKLM "SOFTWARE\Mozilla" $R3
        ReadRegStr $R0 HKLM "SOFTWARE\Mozilla\$R4\Extensions" "Plugins"
        SetRegView 32
        ${IfThen} $R4 == "" ${|} ${ExitDo} ${|}
        Call CopyIntoFolder
        IntOp $R3 $R3 + 1
    ${Loop}
    ; Netscape Navigator and Communicator 4: "<version>\Main", "Plugins Directory".
    StrCpy $R3 0
    ${Do}
        !insertmacro BROWSER_VIEW
        EnumRegKey $R4 HKLM "SOFTWARE\Netscape\Netscape Navigator" $R3
        ReadRegStr $R0 HKLM "SOFTWARE\Netscape\Netscape Navigator\$R4\Main" "Plugins Directory"
        SetRegView 32
        ${IfThen} $R4 == "" ${|} ${ExitDo} ${|}
        Call CopyIntoFolder
        IntOp $R3 $R3 + 1
    ${Loop}
FunctionEnd

; $R0: an extension (".obvm"). Our ProgID goes into its OpenWithProgids; it becomes the
; extension's default only when no program, for the machine or this user, has made it its own.
Function AssociateExtension
    WriteRegStr HKLM "${CLASSES}\$R0\OpenWithProgids" "${PROGID}" ""
    ReadRegStr $R1 HKCR "$R0" ""
    ${If} $R1 == ""
    ${OrIf} $R1 == "${PROGID}"
        WriteRegStr HKLM "${CLASSES}\$R0" "" "${PROGID}"
    ${EndIf}
FunctionEnd

; Only our own entries go: the default while it still names our ProgID, which goes too.
Function un.DissociateExtension
    DeleteRegValue HKLM "${CLASSES}\$R0\OpenWithProgids" "${PROGID}"
    DeleteRegKey /ifempty HKLM "${CLASSES}\$R0\OpenWithProgids"
    ReadRegStr $R1 HKLM "${CLASSES}\$R0" ""
    ${IfThen} $R1 == "${PROGID}" ${|} DeleteRegValue HKLM "${CLASSES}\$R0" "" ${|}
    DeleteRegKey /ifempty HKLM "${CLASSES}\$R0"
FunctionEnd

; $R0: the control just installed, $R1: its width. Registers it and reads, in that view, which
; class the applet type starts: when another program's control has the type, registering left
; it alone, and the finish page says so.
Function RegisterControl
    StrCpy $R2 "/s"
    Call RunRegsvr32
    ${If} $R3 != 0
        StrCpy $R4 "The $R1-bit control for Internet Explorer was not registered (regsvr32: $R3)."
        DetailPrint "$R4"
        StrCpy $ControlNote "$ControlNote$R4$\r$\n$\r$\n"
        Return
    ${EndIf}
    DetailPrint "Registered for Internet Explorer: $R0"
    ${IfThen} $R1 == 64 ${|} SetRegView 64 ${|}
    ReadRegStr $R4 HKLM "${CONTENT_TYPE_KEY}" "CLSID"
    SetRegView 32
    ${If} $R4 != ""
    ${AndIf} $R4 != "${CONTROL_CLSID}"
        StrCpy $R4 "In $R1-bit Internet Explorer tabs, ${MIME_TYPE} stays with another program's control ($R4): embeds of that type start it, not ours. Pages whose <object> names our class id still use ours."
        DetailPrint "$R4"
        StrCpy $ControlNote "$ControlNote$R4$\r$\n$\r$\n"
    ${EndIf}
FunctionEnd

; $R0: text to put in a JSON string. $R1: the same as ASCII, escaped: manifests are read as
; UTF-8, which NSIS does not write, and an installation folder may have any name.
Function JsonString
    StrCpy $R1 ""
    StrCpy $R2 0
    ${Do}
        StrCpy $R3 $R0 1 $R2
        ${IfThen} $R3 == "" ${|} ${ExitDo} ${|}
        System::Call "*(&t2 R3)p.R4"
        System::Call "*$R4(&i2.R5)"
        System::Free $R4
        ${If} $R3 == "\"
        ${OrIf} $R3 == '"'
            StrCpy $R1 "$R1\$R3"
        ${ElseIf} $R5 < 32
        ${OrIf} $R5 > 126
            IntFmt $R5 "\u%04x" $R5
            StrCpy $R1 "$R1$R5"
        ${Else}
            StrCpy $R1 "$R1$R3"
        ${EndIf}
        IntOp $R2 $R2 + 1
    ${Loop}
FunctionEnd

; $R0: the manifest's file name, $R6: its last member, naming who may start the player.
Function WriteHostManifest
    Push $R0
    StrCpy $R0 "$INSTDIR\${PLAYER_EXE}"
    Call JsonString
    Pop $R0
    FileOpen $R2 "$INSTDIR\$R0" w
    FileWrite $R2 '{$\r$\n  "name": "${NATIVE_HOST}",$\r$\n'
    FileWrite $R2 '  "description": "${PRODUCT}: Orbolanth 3-D applets in web pages",$\r$\n'
    FileWrite $R2 '  "path": "$R1",$\r$\n  "type": "stdio",$\r$\n  $R6$\r$\n}$\r$\n'
    FileClose $R2
FunctionEnd

Function RegisterNativeHost
    StrCpy $R0 "${CHROMIUM_HOST_MANIFEST}"
    StrCpy $R6 '"allowed_origins": ["${EXTENSION_ORIGIN}"]'
    Call WriteHostManifest
    StrCpy $R0 "${FIREFOX_HOST_MANIFEST}"
    StrCpy $R6 '"allowed_extensions": ["${EXTENSION_ID}"]'
    Call WriteHostManifest
    WriteRegStr HKLM "${CHROME_HOSTS_KEY}\${NATIVE_HOST}" "" "$INSTDIR\${CHROMIUM_HOST_MANIFEST}"
    WriteRegStr HKLM "${EDGE_HOSTS_KEY}\${NATIVE_HOST}" "" "$INSTDIR\${CHROMIUM_HOST_MANIFEST}"
    WriteRegStr HKLM "${FIREFOX_HOSTS_KEY}\${NATIVE_HOST}" "" "$INSTDIR\${FIREFOX_HOST_MANIFEST}"
FunctionEnd

; Our host's key, and the browser's keys above it only when nothing else is left in them.
!macro REMOVE_NATIVE_HOST HOSTS_KEY
    DeleteRegKey HKLM "${HOSTS_KEY}\${NATIVE_HOST}"
    DeleteRegKey /ifempty HKLM "${HOSTS_KEY}"
!macroend

Function ControlNotePage
    ${IfThen} $ControlNote == "" ${|} Abort ${|}
    nsDialogs::Create 1018
    Pop $R0
    ${NSD_CreateLabel} 0 0 100% 100% "${PRODUCT} ${VERSION} is installed.$\r$\n$\r$\n$ControlNote"
    Pop $R0
    nsDialogs::Show
FunctionEnd

Section
    Call RefuseOtherFolder
    Call ChoosePlugin64Dir
    Call RefuseWhileInUse

    SetOutPath "$INSTDIR"
    File "${STAGE}/${PLUGIN_DLL}"
    File "${STAGE}/${CONTROL_DLL}"
    File "${STAGE}/${RENDERER_EXE}"
    File "${STAGE}/${PLAYER_EXE}"
    !insertmacro INSTALL_SAMPLES
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"

    Call SetRendererPath
    !insertmacro PLUGIN_REGISTRATION WRITE_PLUGIN_VALUE "$INSTDIR\${PLUGIN_DLL}"
    StrCpy $BrowserView 32
    Call CopyIntoBrowserFolders
    StrCpy $R0 "$INSTDIR\${CONTROL_DLL}"
    StrCpy $R1 32
    Call RegisterControl

    ${If} $Plugin64Dir != ""
        SetOutPath "$Plugin64Dir"
        File "${STAGE}/x64/${PLUGIN_DLL}"
        File "${STAGE}/x64/${CONTROL_DLL}"
        StrCpy $R0 "$Plugin64Dir\${CONTROL_DLL}"
        StrCpy $R1 64
        Call RegisterControl
        SetOutPath "$INSTDIR"
        WriteRegStr HKLM "${UNINSTALL_KEY}" "${PLUGIN64_LOCATION}" "$Plugin64Dir"
        SetRegView 64
        !insertmacro PLUGIN_REGISTRATION WRITE_PLUGIN_VALUE "$Plugin64Dir\${PLUGIN_DLL}"
        SetRegView 32
        StrCpy $BrowserView 64
        Call CopyIntoBrowserFolders
    ${EndIf}

    SetShellVarContext all
    CreateShortcut "${PLAYER_SHORTCUT}" "$INSTDIR\${PLAYER_EXE}" "" "$INSTDIR\${PLAYER_EXE}" 0
    WriteRegStr HKLM "${CLASSES}\${PROGID}" "" "Orbolanth 3-D Applet"
    WriteRegStr HKLM "${CLASSES}\${PROGID}\DefaultIcon" "" "$INSTDIR\${PLAYER_EXE},0"
    WriteRegStr HKLM "${CLASSES}\${PROGID}\shell\open" "" "Open with Orbolanth Player"
    WriteRegStr HKLM "${CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\${PLAYER_EXE}" "%1"'
    StrCpy $R0 ".obvm"
    Call AssociateExtension
    StrCpy $R0 ".obv"
    Call AssociateExtension
    Call RegisterNativeHost
    System::Call "shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${VENDOR}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${UNINSTALLER},0"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
    SetRegView 32
    Call un.RequireAdmin
    ReadRegStr $Plugin64Dir HKLM "${UNINSTALL_KEY}" "${PLUGIN64_LOCATION}"
    Call un.RefuseWhileInUse
FunctionEnd

; Only while RendererPath still names this installation's renderer is it ours to change: back
; to what the installation replaced, or gone. A value set since by the user or another player
; stays.
Function un.RestoreRendererPath
    ReadRegStr $R0 HKLM "${CONFIG_KEY}" "RendererPath"
    ${If} $R0 != "$INSTDIR\${RENDERER_EXE}"
        Return
    ${EndIf}
    ClearErrors
    ReadRegStr $R1 HKLM "${UNINSTALL_KEY}" "${REPLACED_RENDERER}"
    ${If} ${Errors}
        DeleteRegValue HKLM "${CONFIG_KEY}" "RendererPath"
    ${Else}
        WriteRegStr HKLM "${CONFIG_KEY}" "RendererPath" "$R1"
    ${EndIf}
FunctionEnd

; $R0: an installed control, $R1: its width. The DLL takes away what it registered, which
; leaves the applet type's class while another program's, and an administrator's kill bit.
Function un.UnregisterControl
    ${IfNot} ${FileExists} "$R0"
        Return
    ${EndIf}
    StrCpy $R2 "/u /s"
    Call un.RunRegsvr32
    ${IfThen} $R3 != 0 ${|} DetailPrint "$R0 was not unregistered (regsvr32: $R3)" ${|}
FunctionEnd

Section Uninstall
    ; While the libraries are still there to say what they registered.
    StrCpy $R0 "$INSTDIR\${CONTROL_DLL}"
    StrCpy $R1 32
    Call un.UnregisterControl
    ${If} $Plugin64Dir != ""
        StrCpy $R0 "$Plugin64Dir\${CONTROL_DLL}"
        StrCpy $R1 64
        Call un.UnregisterControl
    ${EndIf}

    ${Do}
        ClearErrors
        EnumRegValue $R0 HKLM "${COPIES_KEY}" 0
        ${If} ${Errors}
        ${OrIf} $R0 == ""
            ${ExitDo}
        ${EndIf}
        Delete "$R0"
        ClearErrors
        DeleteRegValue HKLM "${COPIES_KEY}" "$R0"
        ${IfThen} ${Errors} ${|} ${ExitDo} ${|}
    ${Loop}
    DeleteRegKey /ifempty HKLM "${COPIES_KEY}"

    ; The x86-64 plug-in's folder first: it may lie inside the installation's.
    ${If} $Plugin64Dir != ""
        Delete "$Plugin64Dir\${PLUGIN_DLL}"
        Delete "$Plugin64Dir\${CONTROL_DLL}"
        RMDir "$Plugin64Dir"
        SetRegView 64
        !insertmacro REMOVE_PLUGIN_REGISTRATION
        SetRegView 32
    ${EndIf}
    SetShellVarContext all
    Delete "${PLAYER_SHORTCUT}"
    StrCpy $R0 ".obvm"
    Call un.DissociateExtension
    StrCpy $R0 ".obv"
    Call un.DissociateExtension
    DeleteRegKey HKLM "${CLASSES}\${PROGID}"
    !insertmacro REMOVE_NATIVE_HOST "${CHROME_HOSTS_KEY}"
    DeleteRegKey /ifempty HKLM "SOFTWARE\Google\Chrome"
    DeleteRegKey /ifempty HKLM "SOFTWARE\Google"
    !insertmacro REMOVE_NATIVE_HOST "${EDGE_HOSTS_KEY}"
    DeleteRegKey /ifempty HKLM "SOFTWARE\Microsoft\Edge"
    !insertmacro REMOVE_NATIVE_HOST "${FIREFOX_HOSTS_KEY}"
    Delete "$INSTDIR\${CHROMIUM_HOST_MANIFEST}"
    Delete "$INSTDIR\${FIREFOX_HOST_MANIFEST}"
    System::Call "shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)"

    !insertmacro REMOVE_SAMPLES
    Delete "$INSTDIR\${PLUGIN_DLL}"
    Delete "$INSTDIR\${CONTROL_DLL}"
    Delete "$INSTDIR\${PLAYER_EXE}"
    Delete "$INSTDIR\${RENDERER_EXE}"
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"

    Call un.RestoreRendererPath
    DeleteRegKey /ifempty HKLM "${CONFIG_KEY}"
    DeleteRegKey /ifempty HKLM "${VENDOR_KEY}"
    !insertmacro REMOVE_PLUGIN_REGISTRATION
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
