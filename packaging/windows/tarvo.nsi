; SPDX-License-Identifier: MIT
; The TARVO installer, made by tools/make-windows with NSIS:
;   makensis -DVERSION=1.60 -DSTAGE=DIR -DOUTFILE=FILE tarvo.nsi
; DIR holds tarvo.exe, README.txt, LICENSE.txt and tarvo.ico.
;
; It installs for the user who runs it, under %LOCALAPPDATA%\Programs, as
; Windows' own per-user programs do: no administrator is asked for, and the
; game writes nothing at run time that would need one. A Start-menu shortcut
; and an entry in the list of installed apps come with it; the uninstaller
; removes all three. /S installs or uninstalls silently.

Unicode true
; A 64-bit installer for a 64-bit program: it runs where the game runs.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true
ManifestSupportedOS Win10
; No file times in the installer: the same files give the same bytes.
SetDateSave off

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TARVO"

Name "TARVO ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\TARVO"
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
BrandingText "TARVO ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=0 "ProductName" "TARVO"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "TARVO ${VERSION} Setup"
VIAddVersionKey /LANG=0 "CompanyName" "The TARVO developers"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (c) 2026 The TARVO developers. MIT License."

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define MUI_ICON "${STAGE}\tarvo.ico"
!define MUI_UNICON "${STAGE}\tarvo.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\tarvo.exe"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The installer speaks Japanese where Windows does, English elsewhere.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

Section "TARVO"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${STAGE}\tarvo.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\TARVO.lnk" "$INSTDIR\tarvo.exe" "" "$INSTDIR\tarvo.exe" 0

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "TARVO"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "The TARVO developers"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\tarvo.exe,0"
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\TARVO.lnk"
  Delete "$INSTDIR\tarvo.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINST_KEY}"
SectionEnd
