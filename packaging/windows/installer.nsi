; Per-user installer of the Tavrin Plugin for Orvolux (no administrator rights).
;
; makensis -INPUTCHARSET UTF8 -DVERSION=1.0.0 -DARCH=win64 -DFILES=<staged files>
;          -DOUTFILE=<installer.exe> installer.nsi
;
; FILES holds what the portable zip holds: TavrinPlugin.exe, tavrin-convert.exe,
; Language\, TavrinPlugin.ini and README-Windows.txt; beside it, language-files.nsh
; defines the macros InstallLanguageFiles and DeleteLanguageFiles with one File or Delete
; line per language file, so that the uninstaller removes exactly the installed ones. ARCH is win32 (x86 stubs) or win64
; (amd64 stubs). Silent use: setup.exe /S [/D=<folder>], <uninstaller> /S.

!ifndef VERSION | ARCH | FILES | OUTFILE
  !error "VERSION, ARCH, FILES and OUTFILE must be defined"
!endif

!if "${ARCH}" == "win64"
  Target amd64-unicode
!else if "${ARCH}" == "win32"
  Target x86-unicode
!else
  !error "ARCH must be win32 or win64"
!endif

!define PRODUCT "Tavrin Plugin for Orvolux"
; One entry for both builds: installing one replaces the other.
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TavrinPlugin"
; Named after the plug-in because the host's Plugins folder is shared with other plug-ins.
!define UNINSTALLER "TavrinPlugin-uninstall.exe"

Unicode true
Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true
; The per-user programs folder; a host installation's Plugins folder is chosen on the
; directory page. A folder used before is offered again.
InstallDir "$LOCALAPPDATA\Programs\Tavrin Plugin"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} setup (${ARCH})"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PRODUCT}"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"
!include "${FILES}/../language-files.nsh"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_DIRECTORYPAGE_TEXT_TOP "$(DirectoryHint)"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The installer speaks the Windows display language when it is German, else English (the
; first one inserted), as the plug-in falls back to English for languages it lacks.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"

LangString DirectoryHint ${LANG_GERMAN} "Wählen Sie den Ordner Plugins der Orvolux-Installation: von dort findet das Plug-in die Orvolux-Software selbst. In einem anderen Ordner findet es sie, wenn die Orvolux-Software läuft oder OXSWBaseFolder in TavrinPlugin.ini sie nennt."
LangString DirectoryHint ${LANG_ENGLISH} "Choose the Plugins folder of the Orvolux installation: from there the plug-in finds the Orvolux software by itself. In another folder it finds it when the Orvolux software is running or OXSWBaseFolder in TavrinPlugin.ini names it."

Section "!$(SectionProgram)" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${FILES}/TavrinPlugin.exe"
  File "${FILES}/tavrin-convert.exe"
  File "${FILES}/README-Windows.txt"
  ; Settings the user has changed survive a new installation.
  SetOverwrite off
  File "${FILES}/TavrinPlugin.ini"
  SetOverwrite on
  SetOutPath "$INSTDIR\Language"
  !insertmacro InstallLanguageFiles
  SetOutPath "$INSTDIR"

  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\TavrinPlugin.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Off unless chosen: the report is for those who ask for it. Silent installations choose
; it with /REPORT.
Section /o "$(SectionReport)" SecReport
  WriteINIStr "$INSTDIR\TavrinPlugin.ini" "Config" "CreateReport" "1"
SectionEnd

LangString SectionProgram ${LANG_GERMAN} "Tavrin Plugin for Orvolux"
LangString SectionProgram ${LANG_ENGLISH} "Tavrin Plugin for Orvolux"
LangString SectionReport ${LANG_GERMAN} "Nach jedem Import einen Importbericht erstellen"
LangString SectionReport ${LANG_ENGLISH} "Create an import report after each import"

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REPORT" $1
  IfErrors reportNotChosen
  !insertmacro SelectSection ${SecReport}
  reportNotChosen:
FunctionEnd

; Removes the installed files one by one, never the folder's other content (the program's
; cfg folder, other plug-ins), then the folders when they are empty.
Section "Uninstall"
  Delete "$INSTDIR\TavrinPlugin.exe"
  Delete "$INSTDIR\tavrin-convert.exe"
  Delete "$INSTDIR\README-Windows.txt"
  Delete "$INSTDIR\TavrinPlugin.ini"
  !insertmacro DeleteLanguageFiles
  RMDir "$INSTDIR\Language"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  ; The entry belongs to this folder's installation only when it names this folder.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  StrCmp $0 "$INSTDIR" 0 +2
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
