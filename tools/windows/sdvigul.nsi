; SPDX-License-Identifier: GPL-3.0-or-later
; The Windows installer of the game. build-windows.sh passes VERSION, OUTFILE, LICENSE_FILE,
; ICON_FILE, and FILES and DELETES: the lists of the files it installs and removes.
; A 64-bit installer for the 64-bit game: it needs no 32-bit subsystem, under Wine neither.
Target amd64-unicode
SetCompressor /SOLID lzma

!include MUI2.nsh

!define TITLE "Сдвигуль"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\sdvigul"

Name "${TITLE}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${TITLE}"
RequestExecutionLevel admin

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductName" "${TITLE}"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка игры ${TITLE}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "GPL-3.0-or-later"

!define MUI_ICON "${ICON_FILE}"
!define MUI_UNICON "${ICON_FILE}"
!insertmacro MUI_PAGE_LICENSE "${LICENSE_FILE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

; The Start-menu entry for every user of the machine.
Function .onInit
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetShellVarContext all
FunctionEnd

Section
    !include "${FILES}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ; The shortcut starts the game in its folder (the output path), where F1 finds help.txt.
    SetOutPath "$INSTDIR"
    CreateShortCut "$SMPROGRAMS\${TITLE}.lnk" "$INSTDIR\sdvigul.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${TITLE}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\sdvigul.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    Delete "$SMPROGRAMS\${TITLE}.lnk"
    !include "${DELETES}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
