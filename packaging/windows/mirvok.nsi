; The Windows installer: mirvok.exe, mirvok-station.exe, mirvok-cli.exe, the
; README, the sample and the licence text into Program Files\Mirvok,
; Start-menu entries for the window and the station window, the
; folder on the system PATH when asked for, and the entry of "Apps" /
; "Programs and Features" with a silent uninstaller. Settings are never
; touched: the programs keep them per user (the marker file below tells them
; so), and the uninstaller leaves them where they are.
;
; Built by packaging/windows/package.sh, which passes
;   INFO     ProgramInfo.nsh of the Windows build (version, publisher, copyright)
;   STAGE    the folder with the files to install
;   OUTFILE  the installer to write
;   SIGN     (optional) a command that signs the file named by its argument
;   COMPRESSOR  (optional) instead of solid LZMA (the tests take zlib: faster)
;
; Switches: /S installs silently, /PATH (with or without /S) puts the folder
; on the system PATH, /D=FOLDER (last) installs elsewhere. An installation
; over an earlier one goes into its folder and replaces its files.

; A 64-bit installer for the 64-bit programs: it writes the 64-bit registry
; and Program Files without redirection, and a 32-bit Windows refuses to
; start it at all.
Target amd64-unicode
!include "${INFO}"
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include WinMessages.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Mirvok"
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
; The programs read this file's presence (kSetupMarkerName).
!define MARKER "Mirvok.installed"
!define SHORTCUT "$SMPROGRAMS\Mirvok.lnk"
!define STATION_SHORTCUT "$SMPROGRAMS\Mirvok Station.lnk"
!searchparse /noerrors "${VERSION}" "" VERSION_MAJOR "." VERSION_MINOR "."

Name "Mirvok ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Mirvok"
RequestExecutionLevel admin
!ifdef COMPRESSOR
  SetCompressor ${COMPRESSOR}
!else
  SetCompressor /SOLID lzma
!endif
; A file that cannot be replaced (a program still running) stops the
; installation, also a silent one, instead of being skipped.
AllowSkipFiles off
ManifestDPIAware true
ShowInstDetails show
ShowUninstDetails show
BrandingText "Mirvok ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "Mirvok"
VIAddVersionKey /LANG=0 "FileDescription" "Mirvok ${VERSION} setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${COPYRIGHT}"

!ifdef SIGN
  !uninstfinalize '"${SIGN}" "%1"' = 0
  !finalize '"${SIGN}" "%1"' = 0
!endif

!define MUI_ICON "${__FILEDIR__}/../../src/ui/win32/mirvok.ico"
!define MUI_UNICON "${MUI_ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipFolderOnUpgrade
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The system's language picks one of these.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString SectionPrograms ${LANG_ENGLISH} "Mirvok (window, station window and command line)"
LangString SectionPrograms ${LANG_JAPANESE} "Mirvok (ウィンドウ、ステーション、コマンドライン)"
LangString SectionStartMenu ${LANG_ENGLISH} "Start-menu entry"
LangString SectionStartMenu ${LANG_JAPANESE} "スタートメニューに登録"
LangString SectionPath ${LANG_ENGLISH} "Add the folder to the system PATH (mirvok-cli)"
LangString SectionPath ${LANG_JAPANESE} "フォルダをシステムの PATH に追加 (mirvok-cli)"
LangString PathNotAdded ${LANG_ENGLISH} "The system PATH is too long to be changed safely and was left as it is. Add $INSTDIR to it by hand."
LangString PathNotAdded ${LANG_JAPANESE} "システムの PATH が長すぎるため変更しませんでした。$INSTDIR を手動で追加してください。"
LangString PathNotCleaned ${LANG_ENGLISH} "The system PATH is too long to be changed safely and was left as it is. Remove $INSTDIR from it by hand."
LangString PathNotCleaned ${LANG_JAPANESE} "システムの PATH が長すぎるため変更しませんでした。$INSTDIR を手動で削除してください。"

Section "!$(SectionPrograms)" SecPrograms
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE}/mirvok.exe"
  File "${STAGE}/mirvok-station.exe"
  File "${STAGE}/mirvok-cli.exe"
  File "${STAGE}/README.md"
  File "${STAGE}/demo.s28"
  File "${STAGE}/LICENSE.txt"
  File "${__FILEDIR__}/${MARKER}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Mirvok"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMajor" ${VERSION_MAJOR}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMinor" ${VERSION_MINOR}
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\mirvok.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "$(SectionStartMenu)" SecStartMenu
  SetShellVarContext all
  CreateShortcut "${SHORTCUT}" "$INSTDIR\mirvok.exe" "" "$INSTDIR\mirvok.exe" 0
  CreateShortcut "${STATION_SHORTCUT}" "$INSTDIR\mirvok-station.exe" "" "$INSTDIR\mirvok-station.exe" 0
SectionEnd

Section /o "$(SectionPath)" SecPath
  StrCpy $0 "+$INSTDIR"
  Call EditPath
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\mirvok.exe"
  Delete "$INSTDIR\mirvok-station.exe"
  Delete "$INSTDIR\mirvok-cli.exe"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\demo.s28"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\${MARKER}"
  ; The uninstaller runs from a copy of itself, started by the one in the
  ; folder, which may not have ended yet: its file is deleted once it has.
  StrCpy $1 0
  ${Do}
    ClearErrors
    Delete "$INSTDIR\uninstall.exe"
    ${IfNot} ${Errors}
      ${Break}
    ${EndIf}
    IntOp $1 $1 + 1
    Sleep 100
  ${LoopWhile} $1 < 100
  ; Only when empty: whatever else someone put there stays.
  RMDir "$INSTDIR"
  SetShellVarContext all
  Delete "${SHORTCUT}"
  Delete "${STATION_SHORTCUT}"
  StrCpy $0 "-$INSTDIR"
  Call un.EditPath
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

Var upgrade  ; 1 when an earlier installation is replaced

Function .onInit
  SetRegView 64
  StrCpy $upgrade 0
  ; Upgrade in place: into the folder of the installation found, unless
  ; /D named another.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $INSTDIR == "$PROGRAMFILES64\Mirvok"
    StrCpy $INSTDIR $0
  ${EndIf}
  ${If} $0 != ""
  ${AndIf} $0 == $INSTDIR
    StrCpy $upgrade 1
  ${EndIf}
  ; The PATH choice: asked for with /PATH, or kept from the installation
  ; replaced.
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/PATH" $2
  ${IfNot} ${Errors}
    SectionSetFlags ${SecPath} ${SF_SELECTED}
  ${Else}
    Call IsOnPath
    Pop $2
    ${If} $2 == 1
      SectionSetFlags ${SecPath} ${SF_SELECTED}
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Function SkipFolderOnUpgrade
  ${If} $upgrade == 1
    Abort
  ${EndIf}
FunctionEnd

; The system PATH with $0 ("+FOLDER" or "-FOLDER") applied, entries compared
; without letter case. NSIS holds at most NSIS_MAX_STRLEN characters in a
; variable, and a longer PATH reads as an error: such a PATH is never written
; back, since a cut one would break the system. Adding needs room for the
; folder and its separator besides.
!macro EDIT_PATH un message
Function ${un}EditPath
  ClearErrors
  ReadRegStr $1 HKLM "${ENVIRONMENT_KEY}" "Path"
  ${If} ${Errors}
    StrCpy $2 ${NSIS_MAX_STRLEN}
  ${Else}
    StrLen $2 $1
    !if "${un}" == ""
      StrLen $3 $INSTDIR
      IntOp $2 $2 + $3
      IntOp $2 $2 + 1
    !endif
  ${EndIf}
  ${If} $2 >= ${NSIS_MAX_STRLEN}
    DetailPrint "$(${message})"
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(${message})" /SD IDOK
    Return
  ${EndIf}
  ${WordAdd} $1 ";" $0 $2
  ${If} $2 != $1
    WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" $2
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
  ${EndIf}
FunctionEnd
!macroend
!insertmacro EDIT_PATH "" PathNotAdded
!insertmacro EDIT_PATH "un." PathNotCleaned

; Pushes 1 when $INSTDIR is on the system PATH, else 0.
Function IsOnPath
  ReadRegStr $1 HKLM "${ENVIRONMENT_KEY}" "Path"
  ${WordAdd} $1 ";" "+$INSTDIR" $2
  ${If} $1 != ""
  ${AndIf} $2 == $1
    Push 1
  ${Else}
    Push 0
  ${EndIf}
FunctionEnd
