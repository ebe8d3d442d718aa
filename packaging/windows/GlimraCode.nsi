; GlimraCode-Setup.exe: puts GlimraCode.scr, with the glyph font beside it, where the Screen Saver
; settings list savers, and takes it away again.
;   makensis -DSCR32=... -DSCR64=... -DFONT=... -DLICENCE=... -DVERSION=2.7.0 -DOUTFILE=...
;            [-DTARGET=amd64-unicode] GlimraCode.nsi
; Command line of the installer: /S silent; /ACTIVE makes GlimraCode the active screen saver even
; when silent. Of the uninstaller: /S silent; /PURGE also removes the user's settings.
;
; The default target is a 32-bit installer, the one program that runs on every Windows. A 64-bit
; Windows gets both savers: the 64-bit one in the real System32, which the Screen Saver settings
; list, and the 32-bit one in SysWOW64, where 32-bit programs see their System32.

Unicode true
!ifdef TARGET
  Target ${TARGET}
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

!define NAME "GlimraCode"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\GlimraCode"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SETTINGS_KEY "Software\KLOV\Glimra"

Name "${NAME}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
ManifestSupportedOS all
SetCompressor /SOLID lzma
InstallDir "$PROGRAMFILES\${NAME}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${NAME}"
VIAddVersionKey "FileDescription" "${NAME} screen saver setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "(c) GlimraCode maintainers, MIT licence; glyph font (c) IPA, IPA Font License v1.0"

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_LICENSE "${LICENCE}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The real System32 of this Windows, whatever the installer's own bitness: a 32-bit installer on a
; 64-bit Windows would otherwise be redirected to SysWOW64.
!macro SaverFolders
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
    SetRegView 64
  ${EndIf}
!macroend

Section "GlimraCode screen saver" SectionSaver
  SectionIn RO
  !insertmacro SaverFolders
  ${If} ${RunningX64}
    SetOutPath "$WINDIR\System32"
    File "/oname=GlimraCode.scr" "${SCR64}"
    File "/oname=GlimraCode.TTF" "${FONT}"
    SetOutPath "$WINDIR\SysWOW64"
    File "/oname=GlimraCode.scr" "${SCR32}"
    File "/oname=GlimraCode.TTF" "${FONT}"
    StrCpy $INSTDIR "$PROGRAMFILES64\${NAME}"
  ${Else}
    SetOutPath "$SYSDIR"
    File "/oname=GlimraCode.scr" "${SCR32}"
    File "/oname=GlimraCode.TTF" "${FONT}"
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "/oname=Font licence.txt" "${LICENCE}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME} screen saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "GlimraCode maintainers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$WINDIR\System32\GlimraCode.scr"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntOp $0 $0 + 1800
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Make GlimraCode the active screen saver" SectionActive
  ; The Screen Saver settings of a 64-bit Windows start the saver they find in the real System32.
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$WINDIR\System32\GlimraCode.scr"
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
SectionEnd

Function .onInit
  ; A silent install changes which saver is active only when asked to.
  ${If} ${Silent}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/ACTIVE" $1
    ${If} ${Errors}
      !insertmacro UnselectSection ${SectionActive}
    ${EndIf}
  ${EndIf}
FunctionEnd

!macro RemoveSaver folder
  Delete "${folder}\GlimraCode.scr"
  Delete "${folder}\GlimraCode.TTF"
  ; The saver writes this font resource file beside itself each time it registers the font.
  Delete "${folder}\GlimraCode.FOT"
!macroend

Section "Uninstall"
  !insertmacro SaverFolders
  ${If} ${RunningX64}
    !insertmacro RemoveSaver "$WINDIR\System32"
    !insertmacro RemoveSaver "$WINDIR\SysWOW64"
  ${Else}
    !insertmacro RemoveSaver "$SYSDIR"
  ${EndIf}

  ; Leave another saver the user chose since alone.
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${GetFileName} $0 $1
  ${If} $1 == "GlimraCode.scr"
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${EndIf}

  ; The settings are the user's; they go only when the user says so.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PURGE" $1
  ${IfNot} ${Errors}
    DeleteRegKey HKCU "${SETTINGS_KEY}"
  ${ElseIfNot} ${Silent}
    MessageBox MB_YESNO|MB_DEFBUTTON2 "Also remove your GlimraCode settings?" IDNO keep_settings
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    keep_settings:
  ${EndIf}
  DeleteRegKey /ifempty HKCU "Software\KLOV"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\Font licence.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
