; The setup program of Kovo: the server, the connector, the Excel add-in, the
; toolbar and help files into one folder, the server's "Path" for the add-in,
; a Start-menu entry, an uninstaller in the list of installed programs, the
; add-in attached to Excel for the installing user, and optionally the demo
; ledger with the record manager stand-in.
;
; scripts/package compiles it with:
;   KOVO_VERSION   the release version (from version.h)
;   KOVO_STAGE     the staging folder: program\, demo\ and files.nsh (the file lists)
;   KOVO_OUTFILE   the setup program to write
;
; Command line (besides NSIS's own /S and /D=FOLDER):
;   /DEMO      install the demo ledger (silent mode; the components page offers it)
;   /NOEXCEL   do not attach the add-in to Excel
; The uninstaller takes /S and /PURGE (also remove the settings and the demo ledger).
; Exit status: 0 done, 1 cancelled, 2 refused (the server runs) or failed.

Unicode true
Target amd64-unicode
RequestExecutionLevel admin
ManifestDPIAware true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

!define PRODUCT_NAME "Kovo - The Ledger Companion"
!define PUBLISHER "Talvik Systems Corporation"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kovo"
!define CONNECTOR_KEY "SOFTWARE\Talvik Systems Corporation\Kovo\4.0\Kovo for LEDRA5"
!define SERVER_MUTEX "KovoServer32Mutex"
!define DEMO_FOLDER "Demo Ledger"
!define UNINSTALLER "Uninstall.exe"

Name "Kovo ${KOVO_VERSION}"
OutFile "${KOVO_OUTFILE}"
InstallDir "$PROGRAMFILES64\Kovo"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Kovo ${KOVO_VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${KOVO_VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "Kovo Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${KOVO_VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${KOVO_VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${PUBLISHER}"

Var DemoDir          ; the demo ledger's folder
Var PreviousDir      ; the folder of an installation found at start, if any
Var PreviousDemo     ; its demo ledger folder, when it installed one

!include "${KOVO_STAGE}/files.nsh"

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

!define SERVER_RUNNING_TEXT "The Kovo Server (Kovo.exe) is running, and its files cannot be replaced or removed while it runs.$\r$\n$\r$\nClose it first: close Excel, or choose Quit Server in the Kovo Server's menu (its window is on the task bar). Then press Retry."

; In silent mode a message goes to the standard error of the caller, when it
; gave one (setup.exe /S 2> log.txt); otherwise it is a message box.
!macro KovoTell FLAGS TEXT
  ${If} ${Silent}
    System::Call 'kernel32::GetStdHandle(i -12) p .r9'
    ${If} $9 P<> 0
    ${AndIf} $9 P<> -1
      StrCpy $8 "Kovo setup: ${TEXT}$\r$\n"
      StrLen $7 $8
      System::Call 'kernel32::WriteFile(p r9, m r8, i r7, *i .r6, p 0)'
    ${EndIf}
  ${Else}
    MessageBox ${FLAGS} "${TEXT}"
  ${EndIf}
!macroend

; $0 = 1 while a Kovo Server runs in this session (it holds its mutex).
!macro KovoServerRunningFunction PREFIX
Function ${PREFIX}KovoServerRunning
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${SERVER_MUTEX}") p .r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    StrCpy $0 1
  ${Else}
    StrCpy $0 0
  ${EndIf}
FunctionEnd

; Asks to close a running server until it is closed ($0 = 0) or the user
; cancels ($0 = 1). Silent mode does not wait: it reports and gives up.
Function ${PREFIX}KovoWaitForServer
  ${Do}
    Call ${PREFIX}KovoServerRunning
    ${If} $0 == 0
      Return
    ${EndIf}
    ${If} ${Silent}
      !insertmacro KovoTell "MB_OK" "${SERVER_RUNNING_TEXT}"
      StrCpy $0 1
      Return
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${SERVER_RUNNING_TEXT}" IDRETRY retry
    StrCpy $0 1
    Return
    retry:
  ${Loop}
FunctionEnd
!macroend
!insertmacro KovoServerRunningFunction ""
!insertmacro KovoServerRunningFunction "un."

; The path of a record manager Windows would load for the connector from
; the system folders or the PATH, in $1; empty when there is none.
!macro KovoSearchSystemPath NAME
  System::Call 'kernel32::SearchPathW(w "$SYSDIR;$WINDIR;$2", w "${NAME}", p 0, i ${NSIS_MAX_STRLEN}, w .r1, p 0) i .r5'
  ${If} $5 <> 0
    Return
  ${EndIf}
!macroend
Function FindRecordManager
  ReadEnvStr $2 PATH
  !insertmacro KovoSearchSystemPath "W3BTRV7.DLL"
  !insertmacro KovoSearchSystemPath "WBTRV32.DLL"
  StrCpy $1 ""
FunctionEnd


Section "Kovo" SecKovo
  SectionIn RO
  SetRegView 64
  ; The server may have been started while the pages were shown.
  Call KovoWaitForServer
  ${If} $0 == 1
    SetErrorLevel 2
    Abort "The Kovo Server is running; nothing was changed."
  ${EndIf}
  ; An earlier installation elsewhere goes first, keeping settings and ledger.
  ${If} $PreviousDir != ""
  ${AndIf} $PreviousDir != $INSTDIR
  ${AndIf} ${FileExists} "$PreviousDir\${UNINSTALLER}"
    DetailPrint "Removing the earlier installation in $PreviousDir"
    ExecWait '"$PreviousDir\${UNINSTALLER}" /S _?=$PreviousDir'
    Delete "$PreviousDir\${UNINSTALLER}"
    RMDir "$PreviousDir"
    StrCpy $PreviousDemo ""
  ${EndIf}

  SetOutPath "$INSTDIR"
  !insertmacro KovoProgramFiles

  ; The add-in starts the server from this folder (the server writes it
  ; again at every start).
  SetShellVarContext current
  WriteINIStr "$APPDATA\Kovo.ini" "Kovo Server" "Path" "$INSTDIR\"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Kovo"
  CreateShortCut "$SMPROGRAMS\Kovo\Kovo Server.lnk" "$INSTDIR\Kovo.exe" "MAX" "$INSTDIR\Kovo.exe" 0
  CreateShortCut "$SMPROGRAMS\Kovo\Kovo Help.lnk" "$INSTDIR\Ledra5.chm"
SectionEnd

Section "Attach to Excel" SecExcel
  DetailPrint "Attaching Kovo.XLL to Excel"
  nsExec::ExecToStack '"$INSTDIR\kovo-excel.exe" attach "$INSTDIR\Kovo.XLL"'
  Pop $0
  Pop $1
  DetailPrint "$1"
  ${If} $0 == 3
    !insertmacro KovoTell "MB_OK|MB_ICONINFORMATION" "No Excel was found for this user, so Kovo was not attached to Excel. Kovo is installed: once Excel is installed, add $INSTDIR\Kovo.XLL with Excel's Add-in Manager, or run kovo-excel attach in that folder."
  ${ElseIf} $0 != 0
    !insertmacro KovoTell "MB_OK|MB_ICONEXCLAMATION" "Kovo could not be attached to Excel: $1"
  ${EndIf}
SectionEnd

Section /o "Demo ledger" SecDemo
  SetRegView 64
  StrCpy $DemoDir "$INSTDIR\${DEMO_FOLDER}"
  ; A record manager of the accounting system wins: the stand-in never goes
  ; beside it, or over one placed in this folder by someone else.
  Call FindRecordManager
  ${If} $1 == ""
  ${AndIf} $PreviousDemo == ""
  ${AndIf} ${FileExists} "$INSTDIR\WBTRV32.DLL"
    StrCpy $1 "$INSTDIR\WBTRV32.DLL"
  ${EndIf}
  ${If} $1 != ""
    !insertmacro KovoTell "MB_OK|MB_ICONINFORMATION" "The demo ledger was not installed: a record manager is installed already ($1), and the demo ledger would stand in its way."
    Return
  ${EndIf}
  ${If} ${FileExists} "$DemoDir\*.*"
    ${If} $PreviousDemo != $DemoDir
      !insertmacro KovoTell "MB_OK|MB_ICONINFORMATION" "The demo ledger was not installed: the folder $DemoDir exists already, and a ledger is never installed over it."
      Return
    ${EndIf}
    ; The demo ledger of the earlier installation stays as the user left it.
    DetailPrint "Keeping the demo ledger in $DemoDir"
  ${Else}
    !insertmacro KovoDemoLedgerFiles
    ; The connector reads the demo ledger from now on.
    WriteRegStr HKCU "${CONNECTOR_KEY}" "System" "$DemoDir"
  ${EndIf}
  SetOutPath "$INSTDIR"
  !insertmacro KovoRecordManagerFiles
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DemoLedger" "$DemoDir"
SectionEnd

Section "-Register"
  SetRegView 64
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${KOVO_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Kovo.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function .onInit
  SetRegView 64
  ReadRegStr $PreviousDir HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $PreviousDemo HKLM "${UNINSTALL_KEY}" "DemoLedger"
  ; An installation that has the demo ledger keeps it up to date on upgrade.
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/DEMO" $R1
  ${IfNot} ${Errors}
  ${OrIf} $PreviousDemo != ""
    !insertmacro SelectSection ${SecDemo}
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/NOEXCEL" $R1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecExcel}
  ${EndIf}
  Call KovoWaitForServer
  ${If} $0 == 1
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecKovo} "The Kovo Server, the Cyma IV connector, the Excel add-in, its toolbar and the help."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecExcel} "Makes Excel open Kovo.XLL at start for you, in every Excel version found."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecDemo} "A small Cyma IV ledger (companies DEMO and MFG2) and a record manager for it, to try Kovo without Cyma IV. The connector is pointed at it."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; ------------------------------------------------------------------ uninstaller


Section "un.Kovo" unSecKovo
  SectionIn RO
  SetRegView 64
  ; Excel first, while the helper is still there.
  nsExec::ExecToStack '"$INSTDIR\kovo-excel.exe" detach "$INSTDIR\Kovo.XLL"'
  Pop $0
  Pop $1
  DetailPrint "$1"
  !insertmacro KovoRemoveProgramFiles
  ${If} $DemoDir != ""
    !insertmacro KovoRemoveRecordManagerFiles
  ${EndIf}
  Delete "$INSTDIR\${UNINSTALLER}"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Kovo\Kovo Server.lnk"
  Delete "$SMPROGRAMS\Kovo\Kovo Help.lnk"
  RMDir "$SMPROGRAMS\Kovo"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  RMDir "$INSTDIR"
SectionEnd

Section /o "un.Settings and demo ledger" unSecPurge
  SetShellVarContext current
  Delete "$APPDATA\Kovo.ini"
  Delete "$WINDIR\Kovo.INI"
  DeleteRegKey HKCU "${CONNECTOR_KEY}"
  DeleteRegKey /ifempty HKCU "SOFTWARE\Talvik Systems Corporation\Kovo\4.0"
  DeleteRegKey /ifempty HKCU "SOFTWARE\Talvik Systems Corporation\Kovo"
  DeleteRegKey /ifempty HKCU "SOFTWARE\Talvik Systems Corporation"
  ${If} $DemoDir != ""
    !insertmacro KovoRemoveDemoLedgerFiles
  ${EndIf}
  RMDir "$INSTDIR"
SectionEnd

Function un.onInit
  SetRegView 64
  ReadRegStr $DemoDir HKLM "${UNINSTALL_KEY}" "DemoLedger"
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/PURGE" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${unSecPurge}
  ${EndIf}
  Call un.KovoWaitForServer
  ${If} $0 == 1
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${unSecKovo} "The program files, the Start-menu entry and the Excel attachment."
  !insertmacro MUI_DESCRIPTION_TEXT ${unSecPurge} "Also your Kovo settings and the demo ledger, with anything written into it."
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END
