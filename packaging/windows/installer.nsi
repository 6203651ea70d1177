; The Windows installer of Quillmarch Varo Server: a per-user installation without administrator
; rights below %LOCALAPPDATA%\Programs, a Start-menu entry, an optional start at log-on and an
; uninstaller listed under the installed apps. The user's systems (Documents\Quillmarch\...) and
; settings (%APPDATA%\Quillmarch\...) are never touched.
;
; Made by scripts/package-windows:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.15 -DFILE_VERSION=1.15.0.0 -DFILES=<folder>
;            -DOUTFILE=<setup.exe> installer.nsi
; FILES holds quillmarch-varo-server.exe, LEGGIMI.txt (the users' guide) and LICENSE.txt.
; makensis works in this script's folder, so FILES and OUTFILE are absolute paths.

!ifndef VERSION | FILE_VERSION | FILES | OUTFILE
  !error "VERSION, FILE_VERSION, FILES and OUTFILE must be defined"
!endif

Unicode true
; A 64-bit installer, like the program (a 32-bit stub does not start on 64-bit-only Wine either).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!define PRODUCT "Quillmarch Varo Server"
!define PUBLISHER "Quillmarch"
!define PROGRAM "quillmarch-varo-server.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The program's single-instance mutex (its platform layer names it), held while it runs.
!define INSTANCE_MUTEX "Quillmarch Varo server"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "FileFunc.nsh"

!define MUI_ICON "../../src/shell/icons/quillmarch-varo-server.ico"
!define MUI_UNICON "../../src/shell/icons/quillmarch-varo-server.ico"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\${PROGRAM}"
; Started by hand, it shows its window, or has the running instance show its own.
!define MUI_FINISHPAGE_RUN_PARAMETERS "--mostra"
!define MUI_FINISHPAGE_NOAUTOCLOSE

!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; Italian, the language of the program's own texts.
!insertmacro MUI_LANGUAGE "Italian"

VIProductVersion "${FILE_VERSION}"
VIFileVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "FileDescription" "Installazione di ${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "FileVersion" "${FILE_VERSION}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "LegalCopyright" "MIT License"

; Files of a running program would be left half replaced or half removed: while it runs, ask the
; user to close it; a silent run stops at once instead (exit code 2), having changed nothing.
; It runs while its mutex exists: opened, or refused with access denied (error 5), as Windows
; refuses a normal user the mutex of an instance started as administrator (from an installer run
; so); the program counts that as running too. MUTEX_MODIFY_STATE (1) is asked, not SYNCHRONIZE
; alone: Windows refuses both alike there, but Wine grants SYNCHRONIZE whatever the access list
; says, and the test under Wine could not then tell the refusal from an opening.
!define MUTEX_MODIFY_STATE 0x0001
!define ERROR_ACCESS_DENIED 5
!macro WaitUntilNotRunning un
  Function ${un}WaitUntilNotRunning
    retry:
      System::Call 'kernel32::OpenMutexW(i ${MUTEX_MODIFY_STATE}, i 0, w "${INSTANCE_MUTEX}") p .r0 ? e'
      Pop $1  ; the last error, which "? e" pushes
      ${If} $0 P<> 0
        System::Call 'kernel32::CloseHandle(p r0)'
      ${ElseIf} $1 <> ${ERROR_ACCESS_DENIED}
        Return  ; no such mutex (error 2): not running
      ${EndIf}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "${PRODUCT} è in esecuzione. Chiudilo e scegli Riprova, oppure Annulla." \
        /SD IDCANCEL IDRETRY retry
      Abort
  FunctionEnd
!macroend
!insertmacro WaitUntilNotRunning ""
!insertmacro WaitUntilNotRunning "un."

Function un.onInit
  Call un.WaitUntilNotRunning
FunctionEnd

; The folder of the installation this one replaces, from its uninstall entry; empty on a first one.
Var EarlierFolder

; An earlier installation in another folder is removed first, by its own uninstaller waited for in
; place, or its copy would stay behind with an uninstaller that could undo this one's entries.
Section "-RemoveEarlier"
  ${If} $EarlierFolder == ""
  ${OrIf} $EarlierFolder == $INSTDIR
  ${OrIfNot} ${FileExists} "$EarlierFolder\uninstall.exe"
    Return
  ${EndIf}
  DetailPrint "Rimozione dell'installazione precedente in $EarlierFolder"
  ClearErrors
  ExecWait '"$EarlierFolder\uninstall.exe" /S _?=$EarlierFolder' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    MessageBox MB_OK|MB_ICONSTOP \
      "L'installazione precedente in $EarlierFolder non si è lasciata rimuovere." /SD IDOK
    Abort
  ${EndIf}
  ; Run in place, the uninstaller could not delete itself nor its folder.
  Delete "$EarlierFolder\uninstall.exe"
  RMDir "$EarlierFolder"
SectionEnd

Section "${PRODUCT}" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${FILES}/${PROGRAM}"
  File "${FILES}/LEGGIMI.txt"
  File "${FILES}/LICENSE.txt"
  ; Earlier versions shipped the developers' README; the guide took its place.
  Delete "$INSTDIR\README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT} - Guida.lnk" "$INSTDIR\LEGGIMI.txt"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${PROGRAM}" "--mostra" "$INSTDIR\${PROGRAM}" 0

  ; Listed under the user's installed apps.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Checked by default: the server is of use only while it runs, since the programs that ask it may
; do so at any time, and it starts hidden in the notification area. Over an earlier installation
; the earlier choice holds instead (see .onInit), for a silent installation too.
Section "Avvia all'accesso a Windows" SecLogOn
  WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\${PROGRAM}"'
SectionEnd

; An installation over an earlier one with the box cleared no longer starts it at log-on.
Section "-ForgetLogOn"
  ${IfNot} ${SectionIsSelected} ${SecLogOn}
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  ${EndIf}
SectionEnd

; Started after the sections, whose numbers it needs.
Function .onInit
  Call WaitUntilNotRunning
  ReadRegStr $EarlierFolder HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $EarlierFolder != ""
    ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
    ${If} $0 == ""
      !insertmacro UnselectSection ${SecLogOn}
    ${EndIf}
  ${EndIf}
FunctionEnd

; Only what the installation made; a folder the user filled stays. The entries belong to the
; installation their uninstall entry names (paths compare without regard to case): the uninstaller
; of a copy left elsewhere takes nothing of it. The folder goes last, so its going marks the end.
Section "Uninstall"
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT} - Guida.lnk"
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${EndIf}
  Delete "$INSTDIR\${PROGRAM}"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LEGGIMI.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
