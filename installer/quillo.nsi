; Setup of the quillo driver package: the device control service, the
; control panel and the Brindle ASIO driver for 64-bit and 32-bit hosts.
;
; Built by the build's "installer" target, which defines:
;   VERSION   the package version (major.minor.patch)
;   STAGE     a folder with x64\ and x86\, each holding quillosvc.exe,
;             quillocpl.exe, korvelcpl.exe, brindleasio.dll, asiohost.exe and
;             quilloctl.exe
;   OUTFILE   the setup program to write
;   AMD64     (optional) build the setup itself as a 64-bit program; the
;             product's setup is 32-bit so that it runs on every Windows
;
; On 64-bit Windows it installs the 64-bit set into $PROGRAMFILES64\quillo
; and the driver for 32-bit hosts (with a launcher and a test host of its
; bitness) into $PROGRAMFILES32\quillo; on 32-bit Windows the 32-bit set
; into $PROGRAMFILES\quillo. Command line: /S silent; /NOASIO32 leaves out
; the driver for 32-bit hosts. The uninstaller takes /S and /REMOVESETTINGS.
; Exit codes: 0 done, 1 cancelled, 2 refused (rights, processor, files in
; use), 3 installed but a step failed (see the details).

Unicode true
!ifdef AMD64
Target amd64-unicode
!else
Target x86-unicode
!endif
SetCompressor /SOLID lzma
ManifestSupportedOS all
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include nsDialogs.nsh

!define PRODUCT "quillo driver package"
!define PUBLISHER "VANTREL"
!define PRODUCT_KEY "Software\VANTREL\quillo"
!define VENDOR_KEY "Software\VANTREL"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\quillo"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "quillo Control Panel"
!define MENU_FOLDER "quillo"
!define PANEL_LINK "quillo Control Panel.lnk"
!define UNINSTALL_LINK "Uninstall quillo.lnk"
; Under the product key: the installed panel, for korvelcpl.exe.
!define PANEL_PATH_VALUE "ControlPanel"
; Under the uninstall key: where the driver for 32-bit hosts went.
!define ASIO32_DIR_VALUE "Asio32Location"

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} Setup"
UninstallCaption "${PRODUCT} ${VERSION} Uninstall"
OutFile "${OUTFILE}"
BrandingText "quillo ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "QUILLO Device Driver"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}.0"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${PUBLISHER}"

Var Asio32Dir        ; where the driver for 32-bit hosts goes; empty on 32-bit Windows
Var StepFailed       ; 1 once a step failed: the exit code becomes 3
Var RemoveSettings   ; uninstaller: 1 removes the product key with every setting
Var RemoveSettingsBox
Var FinishText       ; the finish page's text, which says whether a step failed

!define MUI_ICON "${STAGE}/quillocpl.ico"
!define MUI_UNICON "${STAGE}/quillocpl.ico"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This installs the quillo driver package ${VERSION}:$\r$\n$\r$\n\
- the Brindle ASIO driver for 64-bit and 32-bit audio applications,$\r$\n\
- the quillo control service, which starts with Windows,$\r$\n\
- the quillo control panel, in the Start menu and in the notification area.$\r$\n$\r$\n\
Close every audio application before you continue. An installed version is \
replaced; your settings stay."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "$FinishText"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
UninstPage custom un.SettingsPage un.SettingsPageLeave
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; ---------------------------------------------------------------------------
; Shared steps

; Fails the step: the text goes to the details and, unless silent, to a
; message box; the run goes on and ends with exit code 3.
!macro StepFailed TEXT
  DetailPrint "${TEXT}"
  MessageBox MB_OK|MB_ICONEXCLAMATION "${TEXT}" /SD IDOK
  StrCpy $StepFailed 1
  StrCpy $FinishText "Setup has finished, but a step failed: see the messages shown and the details.$\r$\n$\r$\nRun setup again once the cause is mended."
!macroend

; Runs a program without a window, its output into the details; $0 gets its
; exit code ("error" when it could not be started).
!macro RunQuiet COMMAND
  DetailPrint `Running ${COMMAND}`
  nsExec::ExecToLog '${COMMAND}'
  Pop $0
!macroend

; The administrator check and the processor check of both programs.
!macro RefuseUnsuitable
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "quillo Setup needs administrator rights. Run it again as an administrator." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  ${If} ${IsNativeARM64}
    MessageBox MB_OK|MB_ICONSTOP "This package is for the x86 and x64 editions of Windows." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
!macroend

; The 64-bit registry view holds every entry on 64-bit Windows, as the
; 64-bit service and panel read it.
!macro ChooseRegistryView
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
!macroend

; Where things go.
!macro ChooseLocations
  ${If} ${RunningX64}
    StrCpy $INSTDIR "$PROGRAMFILES64\quillo"
    ; A 64-bit setup's $PROGRAMFILES32 names the 64-bit folder; Windows
    ; tells every process of 64-bit Windows where the 32-bit one is.
    ReadEnvStr $0 "ProgramFiles(x86)"
    ${If} $0 == ""
      StrCpy $0 $PROGRAMFILES32
    ${EndIf}
    StrCpy $Asio32Dir "$0\quillo"
  ${Else}
    StrCpy $INSTDIR "$PROGRAMFILES\quillo"
    StrCpy $Asio32Dir ""
  ${EndIf}
!macroend

; regsvr32 of the driver's own bitness: the native one for $INSTDIR, the
; 32-bit one of SysWOW64 for $Asio32Dir. A 32-bit setup sees the native
; System32 only with the file system redirection turned off.
!macro Regsvr32 FUNCTIONPREFIX
Function ${FUNCTIONPREFIX}Regsvr32Native ; (arguments) -> $0 exit code
  Exch $1
  DetailPrint `Running "$WINDIR\System32\regsvr32.exe" /s $1`
  ${DisableX64FSRedirection}
  nsExec::ExecToLog '"$WINDIR\System32\regsvr32.exe" /s $1'
  Pop $0
  ${EnableX64FSRedirection}
  Pop $1
FunctionEnd
Function ${FUNCTIONPREFIX}Regsvr32Wow64 ; (arguments) -> $0 exit code
  Exch $1
  DetailPrint `Running "$WINDIR\SysWOW64\regsvr32.exe" /s $1`
  ${DisableX64FSRedirection}
  nsExec::ExecToLog '"$WINDIR\SysWOW64\regsvr32.exe" /s $1'
  Pop $0
  ${EnableX64FSRedirection}
  Pop $1
FunctionEnd
!macroend
!insertmacro Regsvr32 ""
!insertmacro Regsvr32 "un."

; Closes a running control panel and stops the service, so that their files
; can be replaced or removed. Both may be absent; failures are normal here.
!macro StopRunning FUNCTIONPREFIX
Function ${FUNCTIONPREFIX}StopRunning
  ${If} ${FileExists} "$INSTDIR\quillocpl.exe"
    !insertmacro RunQuiet '"$INSTDIR\quillocpl.exe" -exit'
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\quillosvc.exe"
    !insertmacro RunQuiet '"$INSTDIR\quillosvc.exe" -stop'
  ${EndIf}
FunctionEnd
!macroend
!insertmacro StopRunning ""
!insertmacro StopRunning "un."

; ---------------------------------------------------------------------------
; Installer

; A driver that an audio application has loaded cannot be replaced: ask for
; the applications to be closed (a silent run gives up with exit code 2).
Function EnsureReplaceable ; (path)
  Exch $1
  ${Do}
    ${IfNot} ${FileExists} $1
      ${Break}
    ${EndIf}
    ClearErrors
    FileOpen $2 $1 a
    ${IfNot} ${Errors}
      FileClose $2
      ${Break}
    ${EndIf}
    ${If} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$1 is in use. Close every audio application that uses Brindle ASIO, then click Retry." /SD IDCANCEL IDCANCEL`
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${Loop}
  Pop $1
FunctionEnd

Section "-Stop the running package"
  Call StopRunning
  Push "$INSTDIR\brindleasio.dll"
  Call EnsureReplaceable
  ${If} $Asio32Dir != ""
    Push "$Asio32Dir\brindleasio.dll"
    Call EnsureReplaceable
  ${EndIf}
SectionEnd

Section "Driver, service, panel" SecCore
  SectionIn RO
  SetOutPath $INSTDIR
  ${If} ${RunningX64}
    File "${STAGE}/x64/quillosvc.exe" "${STAGE}/x64/quillocpl.exe" "${STAGE}/x64/korvelcpl.exe" \
         "${STAGE}/x64/brindleasio.dll" "${STAGE}/x64/asiohost.exe" "${STAGE}/x64/quilloctl.exe"
  ${Else}
    File "${STAGE}/x86/quillosvc.exe" "${STAGE}/x86/quillocpl.exe" "${STAGE}/x86/korvelcpl.exe" \
         "${STAGE}/x86/brindleasio.dll" "${STAGE}/x86/asiohost.exe" "${STAGE}/x86/quilloctl.exe"
  ${EndIf}
  WriteUninstaller "$INSTDIR\uninstall.exe"

  Push '"$INSTDIR\brindleasio.dll"'
  Call Regsvr32Native
  ${If} $0 != 0
    !insertmacro StepFailed "The Brindle ASIO driver could not be registered (regsvr32 result: $0)."
  ${EndIf}
SectionEnd

Section "32-bit ASIO driver" SecAsio32
  SetOutPath $Asio32Dir
  File "${STAGE}/x86/brindleasio.dll" "${STAGE}/x86/korvelcpl.exe" "${STAGE}/x86/asiohost.exe" \
       "${STAGE}/x86/quilloctl.exe"
  Push '"$Asio32Dir\brindleasio.dll"'
  Call Regsvr32Wow64
  ${If} $0 != 0
    !insertmacro StepFailed "The Brindle ASIO driver for 32-bit applications could not be registered (regsvr32 result: $0)."
  ${EndIf}
  WriteRegStr HKLM "${UNINSTALL_KEY}" "${ASIO32_DIR_VALUE}" $Asio32Dir
SectionEnd

Section "-Service, shortcuts and entries"
  ; -install stops and removes an earlier service first.
  !insertmacro RunQuiet '"$INSTDIR\quillosvc.exe" -install'
  ${If} $0 != 0
    !insertmacro StepFailed "The quillo control service could not be installed (error $0)."
  ${Else}
    !insertmacro RunQuiet '"$INSTDIR\quillosvc.exe" -start'
    ${If} $0 != 0
      !insertmacro StepFailed "The quillo control service could not be started (error $0)."
    ${EndIf}
  ${EndIf}

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\${MENU_FOLDER}"
  CreateShortcut "$SMPROGRAMS\${MENU_FOLDER}\${PANEL_LINK}" "$INSTDIR\quillocpl.exe" "" \
                 "$INSTDIR\quillocpl.exe" 0
  CreateShortcut "$SMPROGRAMS\${MENU_FOLDER}\${UNINSTALL_LINK}" "$INSTDIR\uninstall.exe"
  ; The panel asks for administrator rights, which a log-on entry cannot
  ; give: the launcher starts it through the shell.
  WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\korvelcpl.exe" -hide'
  WriteRegStr HKLM "${PRODUCT_KEY}" "${PANEL_PATH_VALUE}" "$INSTDIR\quillocpl.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quillocpl.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1
  ${IfNot} ${SectionIsSelected} ${SecAsio32}
    DeleteRegValue HKLM "${UNINSTALL_KEY}" "${ASIO32_DIR_VALUE}"
  ${EndIf}

  ; The panel in the notification area, as at every log-on.
  Exec '"$INSTDIR\quillocpl.exe" -hide'
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecCore} "The quillo control service, the control panel and the Brindle ASIO driver for applications of this Windows' own bitness."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecAsio32} "The Brindle ASIO driver for 32-bit audio applications."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; After the sections, whose indexes it uses.
Function .onInit
  !insertmacro RefuseUnsuitable
  !insertmacro ChooseRegistryView
  !insertmacro ChooseLocations
  StrCpy $StepFailed 0
  StrCpy $FinishText "The quillo driver package ${VERSION} is installed. The control panel is in the Start menu and in the notification area; audio applications find the driver as $\"Brindle ASIO$\"."
  ${If} $Asio32Dir == ""
    ; 32-bit Windows: the 32-bit set is the whole package.
    SectionSetText ${SecAsio32} ""
    !insertmacro UnselectSection ${SecAsio32}
  ${Else}
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/NOASIO32" $R1
    ${IfNot} ${Errors}
      !insertmacro UnselectSection ${SecAsio32}
    ${EndIf}
  ${EndIf}
FunctionEnd

Function .onInstSuccess
  ${If} $StepFailed == 1
    SetErrorLevel 3
  ${EndIf}
FunctionEnd

; ---------------------------------------------------------------------------
; Uninstaller

Function un.onInit
  !insertmacro RefuseUnsuitable
  !insertmacro ChooseRegistryView
  ; $INSTDIR is the folder the uninstaller was started from.
  ReadRegStr $Asio32Dir HKLM "${UNINSTALL_KEY}" "${ASIO32_DIR_VALUE}"
  StrCpy $RemoveSettings 0
  ${GetParameters} $R0
  ClearErrors
  ${un.GetOptions} $R0 "/REMOVESETTINGS" $R1
  ${IfNot} ${Errors}
    StrCpy $RemoveSettings 1
  ${EndIf}
FunctionEnd

Function un.SettingsPage
  !insertmacro MUI_HEADER_TEXT "Saved settings" "The settings of your devices can stay for a later installation."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 36u "Each device's Windows audio endpoint settings and the control panel's window position are kept unless you tick the box."
  Pop $0
  ${NSD_CreateCheckbox} 0 44u 100% 12u "Also remove the saved device settings"
  Pop $RemoveSettingsBox
  ${If} $RemoveSettings == 1
    ${NSD_Check} $RemoveSettingsBox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function un.SettingsPageLeave
  ${NSD_GetState} $RemoveSettingsBox $RemoveSettings
  ${If} $RemoveSettings == ${BST_CHECKED}
    StrCpy $RemoveSettings 1
  ${Else}
    StrCpy $RemoveSettings 0
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.StopRunning
  !insertmacro RunQuiet '"$INSTDIR\quillosvc.exe" -uninstall'

  ${If} ${FileExists} "$INSTDIR\brindleasio.dll"
    Push '/u "$INSTDIR\brindleasio.dll"'
    Call un.Regsvr32Native
  ${EndIf}
  ${If} $Asio32Dir != ""
  ${AndIf} ${FileExists} "$Asio32Dir\brindleasio.dll"
    Push '/u "$Asio32Dir\brindleasio.dll"'
    Call un.Regsvr32Wow64
  ${EndIf}

  ; A driver that an audio application still holds goes at the next restart.
  Delete "$INSTDIR\quillosvc.exe"
  Delete "$INSTDIR\quillocpl.exe"
  Delete "$INSTDIR\korvelcpl.exe"
  Delete /REBOOTOK "$INSTDIR\brindleasio.dll"
  Delete "$INSTDIR\asiohost.exe"
  Delete "$INSTDIR\quilloctl.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  ${If} $Asio32Dir != ""
    Delete /REBOOTOK "$Asio32Dir\brindleasio.dll"
    Delete "$Asio32Dir\korvelcpl.exe"
    Delete "$Asio32Dir\asiohost.exe"
    Delete "$Asio32Dir\quilloctl.exe"
    RMDir /REBOOTOK "$Asio32Dir"
  ${EndIf}

  SetShellVarContext all
  Delete "$SMPROGRAMS\${MENU_FOLDER}\${PANEL_LINK}"
  Delete "$SMPROGRAMS\${MENU_FOLDER}\${UNINSTALL_LINK}"
  RMDir "$SMPROGRAMS\${MENU_FOLDER}"

  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegValue HKLM "${PRODUCT_KEY}" "${PANEL_PATH_VALUE}"
  ${If} $RemoveSettings == 1
    DeleteRegKey HKLM "${PRODUCT_KEY}"
  ${EndIf}
  DeleteRegKey /ifempty HKLM "${PRODUCT_KEY}"
  DeleteRegKey /ifempty HKLM "${VENDOR_KEY}"
  ${If} ${RebootFlag}
    MessageBox MB_OK|MB_ICONINFORMATION "An audio application still uses the Brindle ASIO driver: its file is removed when Windows restarts." /SD IDOK
  ${EndIf}
SectionEnd
