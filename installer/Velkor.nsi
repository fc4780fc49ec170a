; The Velkor installer: velkor.exe and README.txt under Program Files, the
; automation server registered for the machine, the operator's data folder
; with the bands file, and shortcuts that start the program in that folder
; (it reads velkor.ini and keeps velkor.mem in its current directory).
;
; scripts/package.sh builds it:
;   makensis -DVERSION=1.2.3 -DSTAGE=<folder with velkor.exe, velkor.ini,
;            README.txt> -DOUTFILE=<setup.exe> installer/Velkor.nsi
;
; Exit codes: 0 installed; 2 not installed (cancelled, Velkor running, or the
; registration failed and the installation was undone).

Unicode true
; 64-bit: velkor.exe is a 64-bit program and registers in the 64-bit registry.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all
ManifestDPIAware true

!ifndef VERSION | STAGE | OUTFILE
  !error "VERSION, STAGE and OUTFILE must be defined (scripts/package.sh does)"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

!define PRODUCT "Velkor"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velkor"
!define PROGRAM_KEY "Software\Velkor"
; The operator's own folder: bands file and memories.
!define DATA_DIR "$APPDATA\Velkor"
; The main window's caption: how a running Velkor is found.
!define MAIN_CAPTION "Velkor - Transceiver control module"
!define SHORTCUT_COMMENT "Transceiver control"

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} Setup"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

; 1 when velkor.exe was already installed in the folder: it is kept aside
; until the new one is registered, and put back when that fails.
Var Upgrade

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} ${VERSION} Setup"
; A standard key, left empty: makensis warns without it.
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" ""

; Waits while velkor.exe runs (its files could not be replaced, and a
; logger's program would lose its server); Cancel, and a silent run, give up.
!macro RefuseWhileRunning UN
Function ${UN}RefuseWhileRunning
  ${Do}
    FindWindow $0 "" "${MAIN_CAPTION}"
    ${If} $0 = 0
      Return
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "Velkor is running. Close it, then click Retry." /SD IDCANCEL IDRETRY retry
    DetailPrint "Velkor is running: nothing was changed."
    SetErrorLevel 2
    Quit
    retry:
  ${Loop}
FunctionEnd
!macroend
!insertmacro RefuseWhileRunning ""
!insertmacro RefuseWhileRunning "un."

Function .onInit
  SetShellVarContext current
  SetRegView 64
FunctionEnd

; Puts the folder back as it was before this installation began.
Function RollBack
  ${If} $Upgrade = 1
    ; The same path registered again: the earlier program's entries are the
    ; ones the failed registration wrote, so putting its files back restores it.
    Delete "$INSTDIR\velkor.exe"
    Rename "$INSTDIR\velkor.exe.old" "$INSTDIR\velkor.exe"
    ${If} ${FileExists} "$INSTDIR\README.txt.old"
      Delete "$INSTDIR\README.txt"
      Rename "$INSTDIR\README.txt.old" "$INSTDIR\README.txt"
    ${EndIf}
  ${Else}
    ; Whatever the failed registration did write goes again.
    ExecWait '"$INSTDIR\velkor.exe" /unregserver'
    Delete "$INSTDIR\velkor.exe"
    Delete "$INSTDIR\README.txt"
    SetOutPath "$TEMP"
    RMDir "$INSTDIR"
  ${EndIf}
FunctionEnd

Section "Velkor (required)" SecProgram
  SectionIn RO
  Call RefuseWhileRunning

  SetOutPath "$INSTDIR"
  StrCpy $Upgrade 0
  ${If} ${FileExists} "$INSTDIR\velkor.exe"
    StrCpy $Upgrade 1
    Delete "$INSTDIR\velkor.exe.old"
    Delete "$INSTDIR\README.txt.old"
    Rename "$INSTDIR\velkor.exe" "$INSTDIR\velkor.exe.old"
    Rename "$INSTDIR\README.txt" "$INSTDIR\README.txt.old"
  ${EndIf}
  File "${STAGE}/velkor.exe"
  File "${STAGE}/README.txt"

  ; The automation server, for every user of the machine.
  DetailPrint "Registering the automation server: velkor.exe /regserver"
  StrCpy $0 "not started"
  ClearErrors
  ExecWait '"$INSTDIR\velkor.exe" /regserver' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    DetailPrint "velkor.exe /regserver failed ($0): undoing the installation"
    Call RollBack
    MessageBox MB_OK|MB_ICONSTOP \
      "Velkor could not be registered as an automation server (velkor.exe /regserver: $0).$\r$\n$\r$\nThe installation has been undone." \
      /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  Delete "$INSTDIR\velkor.exe.old"
  Delete "$INSTDIR\README.txt.old"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\velkor.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1

  ; The operator's data folder, with the shipped bands file unless the
  ; operator has one there already. It is the shortcuts' working folder.
  SetOutPath "${DATA_DIR}"
  ${IfNot} ${FileExists} "${DATA_DIR}\velkor.ini"
    File "${STAGE}/velkor.ini"
  ${EndIf}
  ; A logger's start by COM works in the folder of the operator's last start;
  ; before the first one, in the data folder rather than Program Files.
  ClearErrors
  ReadRegStr $1 HKCU "${PROGRAM_KEY}" "StartFolder"
  ${If} $1 == ""
    WriteRegStr HKCU "${PROGRAM_KEY}" "StartFolder" "${DATA_DIR}"
  ${EndIf}
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\velkor.exe" "" "$INSTDIR\velkor.exe" 0 \
    SW_SHOWNORMAL "" "${SHORTCUT_COMMENT}"
SectionEnd

Section "Desktop shortcut" SecDesktop
  SetOutPath "${DATA_DIR}"
  CreateShortCut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\velkor.exe" "" "$INSTDIR\velkor.exe" 0 \
    SW_SHOWNORMAL "" "${SHORTCUT_COMMENT}"
SectionEnd

Section "un.Velkor (required)" SecUnProgram
  SectionIn RO
  Call un.RefuseWhileRunning
  ExecWait '"$INSTDIR\velkor.exe" /unregserver'
  Delete "$INSTDIR\velkor.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  SetOutPath "$TEMP"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

; Unticked: the operator's memories and bands file stay for a later install.
Section /o "un.Remove my memories and bands" SecRemoveData
  RMDir /r "${DATA_DIR}"
SectionEnd

Function un.onInit
  SetShellVarContext current
  SetRegView 64
  ; The unattended form of the checkbox "Remove my memories and bands".
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/RemoveData" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecRemoveData}
  ${EndIf}
FunctionEnd
