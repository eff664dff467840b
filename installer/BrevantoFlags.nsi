; Setup program of the Brevanto Flags Screensaver (NSIS 3, Modern UI 2).
;
; Built by installer/CMakeLists.txt with:
;   makensis -DARCH=x86-unicode|amd64-unicode -DSCR=<path of BrevantoFlags.scr>
;            -DSOURCE=<repository root> -DFLAG_ROOT=<the folder that holds the build's IMAGE>
;            -DOUTFILE=<setup program>
;            -DFLAG_FILES=<flag-files.nsh> -DREMOVE_EARLIER_FLAGS=<its .exe> BrevantoFlags.nsi
;
; Installs the saver and its flag folder IMAGE into a folder of the user's
; choice (removing the flags of earlier releases there), copies the saver
; into the system folder where Windows looks for screen savers, tells the
; saver where its flags are, and registers an uninstaller, which removes
; what was installed and leaves the user's own pictures.
;
; Command line (besides the usual /S and /D=<folder>, which must come last):
;   /ACTIVATE=1   silent mode: also make this the current screen saver.
; Exit codes: 0 done, 1 cancelled, 2 aborted, 3 installed but the saver could
; not be copied into the system folder (the settings then name the copy in
; the install folder).

!macro REQUIRE_DEFINE name
  !ifndef ${name}
    !error "define ${name} (-D${name}=...)"
  !endif
!macroend
!insertmacro REQUIRE_DEFINE ARCH
!insertmacro REQUIRE_DEFINE SCR
!insertmacro REQUIRE_DEFINE SOURCE
!insertmacro REQUIRE_DEFINE FLAG_ROOT
!insertmacro REQUIRE_DEFINE OUTFILE
!insertmacro REQUIRE_DEFINE FLAG_FILES
!insertmacro REQUIRE_DEFINE REMOVE_EARLIER_FLAGS

Target ${ARCH}
SetCompressor /SOLID lzma
ManifestDPIAware true

!define PRODUCT "Brevanto Flags"
!define PRODUCT_LONG "Brevanto Flags Screensaver"
!define VERSION "1.0"
!define PUBLISHER "Brevanto Flags"
!define WEBSITE "https://brevanto-flags.example.org/"
!define SAVER_FILE "BrevantoFlags.scr"
!define UNINSTALLER "Uninstall.exe"
!define SETTINGS_KEY "Control Panel\Desktop\Brevanto Flags"
!define DESKTOP_KEY "Control Panel\Desktop"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Brevanto Flags"
!define EXIT_NO_SYSTEM_COPY 3

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "x64.nsh"
!include "${FLAG_FILES}"

Name "${PRODUCT_LONG}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT_LONG} v${VERSION}"
; The system folder and Program Files need administrator rights.
RequestExecutionLevel admin
!if ${ARCH} == amd64-unicode
  InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
  InstallDir "$PROGRAMFILES\${PRODUCT}"
!endif
; A second installation goes where the first one went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT_LONG}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT_LONG} Setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

Var SaverPath      ; the saver as Windows starts it (system folder, else install folder)
Var ActivateOption ; "1" when /ACTIVATE=1 was given

!define MUI_ICON "${SOURCE}\src\resources\icon100.ico"
!define MUI_UNICON "${SOURCE}\src\resources\icon100.ico"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This will install the ${PRODUCT_LONG} v${VERSION}: a flag waving in the wind in front of a photograph.$\r$\n$\r$\nThe flags are pictures in the IMAGE folder of the installation folder; you can add your own.$\r$\n$\r$\n$_CLICK"
; The finish page's two check boxes, both on: the first ("run") box makes
; this the current screen saver, the second opens its settings, in that order.
!define MUI_FINISHPAGE_RUN ""
!define MUI_FINISHPAGE_RUN_TEXT "Make ${PRODUCT} my screen saver"
!define MUI_FINISHPAGE_RUN_FUNCTION activateSaver
!define MUI_FINISHPAGE_SHOWREADME ""
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Open the screen saver's settings"
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION openSettings
!define MUI_FINISHPAGE_LINK "${WEBSITE}"
!define MUI_FINISHPAGE_LINK_LOCATION "${WEBSITE}"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; The saver's path in the system folder as Windows itself names it. $SYSDIR
; is what GetSystemDirectory says: for this 32-bit installer on 64-bit
; Windows that is "system32", and file-system redirection sends its writes
; to SysWOW64, the system folder of 32-bit screen savers; the 64-bit
; Winlogon and display settings must be given the SysWOW64 path itself.
!macro SYSTEM_SAVER_PATH un
Function ${un}systemSaverPath
  !if ${ARCH} == x86-unicode
    ${If} ${RunningX64}
      Push "$WINDIR\SysWOW64\${SAVER_FILE}"
      Return
    ${EndIf}
  !endif
  Push "$SYSDIR\${SAVER_FILE}"
FunctionEnd
!macroend
!insertmacro SYSTEM_SAVER_PATH ""
!insertmacro SYSTEM_SAVER_PATH "un."

Function .onInit
  !if ${ARCH} == amd64-unicode
    SetRegView 64
  !endif
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/ACTIVATE=" $ActivateOption
  ${If} ${Errors}
    StrCpy $ActivateOption "0"
  ${EndIf}
FunctionEnd

!macro INSTALL_FLAG name
  File "${FLAG_ROOT}\IMAGE\${name}"
!macroend
!macro REMOVE_FLAG name
  Delete "$INSTDIR\IMAGE\${name}"
!macroend

; Earlier releases shipped GIF, JPEG and BMP flags under the names of today's
; PNG ones; left in place they would show those nations twice (loading by
; name takes the old picture). Removes each where it is as shipped, so that
; a picture the user made or changed under such a name stays.
Function removeEarlierFlags
  ${IfNot} ${FileExists} "$INSTDIR\IMAGE\*.*"
    Return
  ${EndIf}
  InitPluginsDir
  File "/oname=$PLUGINSDIR\remove_earlier_flags.exe" "${REMOVE_EARLIER_FLAGS}"
  File "/oname=$PLUGINSDIR\earlier-flags.txt" "${SOURCE}\installer\earlier-flags.txt"
  nsExec::ExecToLog '"$PLUGINSDIR\remove_earlier_flags.exe" "$PLUGINSDIR\earlier-flags.txt" "$INSTDIR\IMAGE"'
  Pop $0
  ${If} $0 != 0
    DetailPrint "Some flags of an earlier release could not be removed from $INSTDIR\IMAGE ($0)"
  ${EndIf}
FunctionEnd

Section "Screen saver" SecSaver
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "/oname=${SAVER_FILE}" "${SCR}"
  ; The flag pictures' licence notice.
  File "${SOURCE}\installer\FLAGS-LICENSE.txt"
  Call removeEarlierFlags
  SetOutPath "$INSTDIR\IMAGE"
  !insertmacro FOR_EACH_FLAG INSTALL_FLAG
  SetOutPath "$INSTDIR"

  ; Where Windows lists and starts screen savers.
  Call systemSaverPath
  Pop $SaverPath
  ClearErrors
  ${If} ${FileExists} "$SYSDIR\${SAVER_FILE}\*.*"
    ; A folder of that name would take the copy inside it.
    SetErrors
  ${Else}
    CopyFiles /SILENT "$INSTDIR\${SAVER_FILE}" "$SYSDIR"
  ${EndIf}
  ${IfNot} ${Errors}
  ${AndIf} ${FileExists} "$SYSDIR\${SAVER_FILE}"
    DetailPrint "Screen saver copied to $SaverPath"
  ${Else}
    DetailPrint "Could not copy the screen saver into the system folder $SYSDIR"
    MessageBox MB_OK|MB_ICONEXCLAMATION "The screen saver could not be copied into the system folder$\r$\n$SYSDIR.$\r$\n$\r$\nIt is installed in $INSTDIR; right-click ${SAVER_FILE} there and choose Install to use it." /SD IDOK
    StrCpy $SaverPath "$INSTDIR\${SAVER_FILE}"
    SetErrorLevel ${EXIT_NO_SYSTEM_COPY}
  ${EndIf}

  ; The saver makes this folder its current directory and finds IMAGE there.
  WriteRegStr HKCU "${SETTINGS_KEY}" "[Directory]" "$INSTDIR"

  ; A new install shows a flag on every monitor in the display's own mode,
  ; which today's displays suit, and so does an upgrade from settings of the
  ; earlier format, which have no such value; an upgrade keeps a value the
  ; user chose (of either type).
  ClearErrors
  ReadRegDWORD $0 HKCU "${SETTINGS_KEY}" "[Desktop Mode]"
  ${If} ${Errors}
    ClearErrors
    ReadRegStr $0 HKCU "${SETTINGS_KEY}" "[Desktop Mode]"
    ${If} ${Errors}
      WriteRegDWORD HKCU "${SETTINGS_KEY}" "[Desktop Mode]" 1
    ${EndIf}
  ${EndIf}
  ; The flag changes every three minutes where no interval is stored yet (a
  ; new install, or over a release that had none); a stored one stays.
  ClearErrors
  ReadRegDWORD $0 HKCU "${SETTINGS_KEY}" "[Change Minutes]"
  ${If} ${Errors}
    ClearErrors
    ReadRegStr $0 HKCU "${SETTINGS_KEY}" "[Change Minutes]"
    ${If} ${Errors}
      WriteRegDWORD HKCU "${SETTINGS_KEY}" "[Change Minutes]" 3
    ${EndIf}
  ${EndIf}

  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_LONG}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${WEBSITE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${SAVER_FILE},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"

  ; Interactive runs ask on the finish page instead.
  ${If} ${Silent}
  ${AndIf} $ActivateOption == "1"
    Call activateSaver
  ${EndIf}
SectionEnd

Function activateSaver
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$SaverPath"
  DetailPrint "Current screen saver: $SaverPath"
FunctionEnd

Function openSettings
  Exec '"$SaverPath" /c'
FunctionEnd

Function un.onInit
  !if ${ARCH} == amd64-unicode
    SetRegView 64
  !endif
FunctionEnd

; Leaves 1 on the stack when the path on the stack names this saver (the
; system copy or the installed one, long or short spelling), else 0.
; Must run while the files still exist: short names need them.
Function un.namesThisSaver
  Exch $0
  Push $1
  Push $2
  StrCpy $2 "0"
  ${If} $0 != ""
    Call un.systemSaverPath
    Pop $1
    ${If} $0 == $1
      StrCpy $2 "1"
    ${EndIf}
    GetFullPathName /SHORT $1 $1
    ${If} $0 == $1
    ${AndIf} $1 != ""
      StrCpy $2 "1"
    ${EndIf}
    ${If} $0 == "$INSTDIR\${SAVER_FILE}"
      StrCpy $2 "1"
    ${EndIf}
    GetFullPathName /SHORT $1 "$INSTDIR\${SAVER_FILE}"
    ${If} $0 == $1
    ${AndIf} $1 != ""
      StrCpy $2 "1"
    ${EndIf}
  ${EndIf}
  StrCpy $0 $2
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

Section "Uninstall"
  ; Another screen saver chosen since stays chosen.
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  Push $0
  Call un.namesThisSaver
  Pop $1
  ${If} $1 == "1"
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    DetailPrint "Removed as the current screen saver"
  ${EndIf}

  Delete /REBOOTOK "$SYSDIR\${SAVER_FILE}"
  Delete /REBOOTOK "$INSTDIR\${SAVER_FILE}"
  Delete "$INSTDIR\FLAGS-LICENSE.txt"
  ; The flags the setup program installed; pictures of the user's own stay,
  ; and the folder with them.
  !insertmacro FOR_EACH_FLAG REMOVE_FLAG
  RMDir "$INSTDIR\IMAGE"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only when empty: never remove what else the user keeps there.
  RMDir /REBOOTOK "$INSTDIR"

  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
