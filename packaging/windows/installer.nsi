; Per-user installer of the Tavrin Plugin for Orvolux (no administrator rights).
;
; makensis -INPUTCHARSET UTF8 -DVERSION=1.0.0 -DARCH=win64 -DFILES=<staged files>
;          -DOUTFILE=<installer.exe> installer.nsi
;
; FILES holds what the portable zip holds: TavrinPlugin.exe, tavrin-convert.exe,
; Language\, TavrinPlugin.ini and README-Windows.txt; beside it, language-files.nsh
; defines the macros InstallLanguageFiles and DeleteLanguageFiles with one File or Delete
; line per language file, so that the uninstaller removes exactly the installed ones, and
; SizeLanguageFiles, adding each installed language file's size to $R0. ARCH is win32 (x86
; stubs) or win64 (amd64 stubs). SIGN_COMMAND, when defined, is run on the uninstaller
; before it is packed ("%1" is its file). Silent use: setup.exe /S [/D=<folder>],
; <uninstaller> /S.

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
!define PUBLISHER "KELSAR"
!define UNINSTALL_ROOT "Software\Microsoft\Windows\CurrentVersion\Uninstall"
; Each folder has an entry of its own, "TavrinPlugin-" and the CRC-32 of the folder's path
; in lower case (see UninstallKey); both builds share it, so installing one into a folder
; replaces the other there. Earlier builds wrote this single entry for every folder.
!define OLD_UNINSTALL_KEY "${UNINSTALL_ROOT}\TavrinPlugin"
; A hidden copy of TavrinPlugin.ini as the installer left it: the uninstaller removes
; TavrinPlugin.ini only when it is still equal to this copy.
!define INI_AS_INSTALLED "TavrinPlugin.ini.installed"
; Named after the plug-in because the host's Plugins folder is shared with other plug-ins.
!define UNINSTALLER "TavrinPlugin-uninstall.exe"

Unicode true
Var UninstallKey
Var HostNote  ; what the host search found, or where it looked, for the directory page
Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true
; The per-user programs folder; a host installation's Plugins folder is chosen on the
; directory page. A folder installed into before is offered instead (.onInit).
!define DEFAULT_INSTALL_DIR "$LOCALAPPDATA\Programs\Tavrin Plugin"
InstallDir "${DEFAULT_INSTALL_DIR}"
!ifdef SIGN_COMMAND
  !uninstfinalize '${SIGN_COMMAND} "%1"'
!endif

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} setup (${ARCH})"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"
!include "StrFunc.nsh"
${StrStr}
!include "${FILES}/../language-files.nsh"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_DIRECTORYPAGE_TEXT_TOP "$HostNote$(DirectoryHint)"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The installer speaks the Windows display language when it is German, else English (the
; first one inserted), as the plug-in falls back to English for languages it lacks.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"

LangString DirectoryHint ${LANG_GERMAN} "Wählen Sie den Ordner Plugins der Orvolux-Installation: von dort findet das Plug-in die Orvolux-Software selbst. In einem anderen Ordner findet es sie, wenn die Orvolux-Software läuft oder OXSWBaseFolder in TavrinPlugin.ini sie nennt."
LangString HostFound ${LANG_GERMAN} "Die Orvolux-Software wurde in $R9 gefunden; ihr Ordner Plugins ist vorgeschlagen. "
LangString HostFound ${LANG_ENGLISH} "The Orvolux software was found in $R9; its Plugins folder is proposed. "
LangString HostNotFound ${LANG_GERMAN} "Die Orvolux-Software wurde nicht gefunden (gesucht in den Deinstallationseinträgen von Windows und in den Ordnern Veltra\Orvolux und Orvolux unter $PROGRAMFILES64, $PROGRAMFILES32 und C:\). "
LangString HostNotFound ${LANG_ENGLISH} "The Orvolux software was not found (looked in the uninstall entries of Windows and in the folders Veltra\Orvolux and Orvolux under $PROGRAMFILES64, $PROGRAMFILES32 and C:\). "
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
  SetFileAttributes "$INSTDIR\${INI_AS_INSTALLED}" NORMAL
  File "/oname=${INI_AS_INSTALLED}" "${FILES}/TavrinPlugin.ini"
  SetOutPath "$INSTDIR\Language"
  !insertmacro InstallLanguageFiles
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
SectionEnd

; Off unless chosen: the report is for those who ask for it. Silent installations choose
; it with /REPORT.
Section /o "$(SectionReport)" SecReport
  WriteINIStr "$INSTDIR\TavrinPlugin.ini" "Config" "CreateReport" "1"
  WriteINIStr "$INSTDIR\${INI_AS_INSTALLED}" "Config" "CreateReport" "1"
SectionEnd

; Adds the size in bytes of the file NAME in FOLDER to $R0.
!macro AddSize FOLDER NAME
  ${GetSize} "${FOLDER}" "/M=${NAME} /S=0B /G=0" $R1 $R2 $R3
  IntOp $R0 $R0 + $R1
!macroend

; Last, when the files are in place: the uninstall entry of this folder.
Section "-Register"
  SetFileAttributes "$INSTDIR\${INI_AS_INSTALLED}" HIDDEN
  ; What this installation occupies: its own files only, the folder may hold others.
  StrCpy $R0 0
  !insertmacro AddSize "$INSTDIR" "TavrinPlugin.exe"
  !insertmacro AddSize "$INSTDIR" "tavrin-convert.exe"
  !insertmacro AddSize "$INSTDIR" "README-Windows.txt"
  !insertmacro AddSize "$INSTDIR" "TavrinPlugin.ini"
  !insertmacro AddSize "$INSTDIR" "${INI_AS_INSTALLED}"
  !insertmacro AddSize "$INSTDIR" "${UNINSTALLER}"
  !insertmacro SizeLanguageFiles
  IntOp $R0 $R0 + 1023
  IntOp $R0 $R0 / 1024

  Call UninstallKey
  WriteRegStr HKCU "$UninstallKey" "DisplayName" "${PRODUCT} ($INSTDIR)"
  WriteRegStr HKCU "$UninstallKey" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "$UninstallKey" "Publisher" "${PUBLISHER}"
  WriteRegDWORD HKCU "$UninstallKey" "EstimatedSize" $R0
  WriteRegStr HKCU "$UninstallKey" "DisplayIcon" "$INSTDIR\TavrinPlugin.exe"
  WriteRegStr HKCU "$UninstallKey" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "$UninstallKey" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "$UninstallKey" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "$UninstallKey" "NoModify" 1
  WriteRegDWORD HKCU "$UninstallKey" "NoRepair" 1
  ; The single entry of older versions, when it was this folder's, is replaced by it.
  ReadRegStr $0 HKCU "${OLD_UNINSTALL_KEY}" "InstallLocation"
  StrCmp $0 "$INSTDIR" 0 +2
    DeleteRegKey HKCU "${OLD_UNINSTALL_KEY}"
SectionEnd

LangString SectionProgram ${LANG_GERMAN} "Tavrin Plugin for Orvolux"
LangString SectionProgram ${LANG_ENGLISH} "Tavrin Plugin for Orvolux"
LangString SectionReport ${LANG_GERMAN} "Nach jedem Import einen Importbericht erstellen"
LangString SectionReport ${LANG_ENGLISH} "Create an import report after each import"

; Sets $UninstallKey to the uninstall entry of $INSTDIR: the installer and the uninstaller
; (whose $INSTDIR is its own folder) derive the same name from the folder.
!macro UninstallKeyFunction PREFIX
Function ${PREFIX}UninstallKey
  Push $0
  Push $1
  Push $2
  StrCpy $0 "$INSTDIR"
  System::Call 'user32::CharLowerW(w r0 r0)'
  StrLen $1 $0
  IntOp $1 $1 * 2
  System::Call 'ntdll::RtlComputeCrc32(i 0, w r0, i r1) i .r2'
  IntFmt $2 "%08X" $2
  StrCpy $UninstallKey "${UNINSTALL_ROOT}\TavrinPlugin-$2"
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro UninstallKeyFunction ""
!insertmacro UninstallKeyFunction "un."

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REPORT" $1
  IfErrors reportNotChosen
  !insertmacro SelectSection ${SecReport}
  reportNotChosen:
  ; Without /D=, the first folder installed into before is offered.
  StrCmp $INSTDIR "${DEFAULT_INSTALL_DIR}" 0 folderChosen
  StrCpy $2 0
  nextEntry:
    EnumRegKey $3 HKCU "${UNINSTALL_ROOT}" $2
    StrCmp $3 "" folderChosen
    IntOp $2 $2 + 1
    StrCpy $4 $3 13
    StrCmp $4 "TavrinPlugin-" 0 nextEntry
    ReadRegStr $4 HKCU "${UNINSTALL_ROOT}\$3" "InstallLocation"
    StrCmp $4 "" nextEntry
    StrCpy $INSTDIR $4
    Return
  folderChosen:
  ; A first installation goes into the Plugins folder of the Orvolux installation, where
  ; the plug-in finds the host by itself.
  StrCmp $INSTDIR "${DEFAULT_INSTALL_DIR}" 0 hostDone
  Call FindHost
  StrCmp $R9 "" 0 hostFound
  StrCpy $HostNote "$(HostNotFound)"
  Goto hostDone
  hostFound:
  StrCpy $INSTDIR "$R9\Plugins"
  StrCpy $HostNote "$(HostFound)"
  hostDone:
FunctionEnd

; Whether $R8 is an Orvolux installation: the folder holds the host's program. Then $R9
; becomes the folder (without a trailing "\").
!define HOST_PROGRAM "Veltra Orvolux Software.exe"
!macro TryHostFolder folder
  StrCpy $R8 "${folder}"
  Call CheckHostFolder
  StrCmp $R9 "" 0 found
!macroend
Function CheckHostFolder
  StrCpy $R9 ""
  StrCmp $R8 "" done
  StrCpy $R7 $R8 1 -1
  StrCmp $R7 "\" 0 +2
  StrCpy $R8 $R8 -1
  IfFileExists "$R8\${HOST_PROGRAM}" 0 done
  StrCpy $R9 $R8
  done:
FunctionEnd

; $R9 becomes the folder of an Orvolux installation, empty when none is found: first the
; uninstall entries that name Orvolux (the machine's, 64- and 32-bit, then the user's),
; then the usual folders.
Function FindHost
  StrCpy $R9 ""
  SetRegView 64
  StrCpy $R6 HKLM
  Call SearchUninstallEntries
  StrCmp $R9 "" 0 found
  SetRegView 32
  Call SearchUninstallEntries
  SetRegView lastused
  StrCmp $R9 "" 0 found
  StrCpy $R6 HKCU
  Call SearchUninstallEntries
  StrCmp $R9 "" 0 found
  !insertmacro TryHostFolder "$PROGRAMFILES64\Veltra\Orvolux"
  !insertmacro TryHostFolder "$PROGRAMFILES32\Veltra\Orvolux"
  !insertmacro TryHostFolder "$PROGRAMFILES64\Orvolux"
  !insertmacro TryHostFolder "$PROGRAMFILES32\Orvolux"
  !insertmacro TryHostFolder "C:\Orvolux"
  found:
  SetRegView default
FunctionEnd

; The uninstall entries of root $R6 (HKLM or HKCU) whose DisplayName holds "Orvolux" and
; whose InstallLocation holds the host's program.
Function SearchUninstallEntries
  StrCpy $R5 0
  next:
    StrCmp $R6 HKLM 0 +3
    EnumRegKey $R4 HKLM "${UNINSTALL_ROOT}" $R5
    Goto +2
    EnumRegKey $R4 HKCU "${UNINSTALL_ROOT}" $R5
    StrCmp $R4 "" done
    IntOp $R5 $R5 + 1
    StrCmp $R6 HKLM 0 +4
    ReadRegStr $R3 HKLM "${UNINSTALL_ROOT}\$R4" "DisplayName"
    ReadRegStr $R8 HKLM "${UNINSTALL_ROOT}\$R4" "InstallLocation"
    Goto +3
    ReadRegStr $R3 HKCU "${UNINSTALL_ROOT}\$R4" "DisplayName"
    ReadRegStr $R8 HKCU "${UNINSTALL_ROOT}\$R4" "InstallLocation"
    ${StrStr} $R2 $R3 "Orvolux"
    StrCmp $R2 "" next
    Call CheckHostFolder
    StrCmp $R9 "" next done
  done:
FunctionEnd

; $R0 becomes 1 when TavrinPlugin.ini is byte for byte the copy the installer left, else 0
; (changed by the user or the program, or no copy to compare with).
Function un.IniAsInstalled
  StrCpy $R0 0
  ClearErrors
  FileOpen $R1 "$INSTDIR\TavrinPlugin.ini" r
  IfErrors done
  FileOpen $R2 "$INSTDIR\${INI_AS_INSTALLED}" r
  IfErrors closeIni
  nextByte:
    ClearErrors
    FileReadByte $R1 $R3
    IfErrors iniEnded
    FileReadByte $R2 $R4
    IfErrors closeBoth
    StrCmp $R3 $R4 nextByte closeBoth
  iniEnded:
    ClearErrors
    FileReadByte $R2 $R4
    IfErrors 0 closeBoth
    StrCpy $R0 1
  closeBoth:
    FileClose $R2
  closeIni:
    FileClose $R1
  done:
FunctionEnd

; Removes the installed files one by one, never the folder's other content (the program's
; cfg folder, other plug-ins), then the folders when they are empty.
Section "Uninstall"
  Delete "$INSTDIR\TavrinPlugin.exe"
  Delete "$INSTDIR\tavrin-convert.exe"
  Delete "$INSTDIR\README-Windows.txt"
  ; Settings changed since the installation stay.
  Call un.IniAsInstalled
  StrCmp $R0 1 0 +2
    Delete "$INSTDIR\TavrinPlugin.ini"
  SetFileAttributes "$INSTDIR\${INI_AS_INSTALLED}" NORMAL
  Delete "$INSTDIR\${INI_AS_INSTALLED}"
  !insertmacro DeleteLanguageFiles
  RMDir "$INSTDIR\Language"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  ; Only this folder's entry; installations in other folders keep theirs.
  Call un.UninstallKey
  DeleteRegKey HKCU "$UninstallKey"
SectionEnd
