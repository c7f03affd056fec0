; Scrivane's installer: one user's install, no administrator rights asked for.
;
; Built by packaging/CMakeLists.txt with makensis, which defines:
;   VERSION        x.y.z from project()        VERSION_QUAD   x.y.z.0
;   EXE            the stripped scrivane.exe    MANUAL         Scrivane.pdf
;   ICON           the program icon             WIZARD_BITMAP  164x314 picture of the welcome page
;   HEADER_BITMAP  150x57 picture of the other pages
;   OUTFILE        the setup program to write
;
; The x86 stubs do nothing on a 64-bit-only system (Wine here) and still exit 0: the program is
; 64-bit, and so is its installer.
Target amd64-unicode
Unicode true
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh

!define PUBLISHER "Scrivane developers"
!define MAIN_WINDOW_CLASS "ScrivaneMainForm"
!define SPLASH_WINDOW_CLASS "ScrivaneSplash"
; The registered message by which a running Scrivane is asked to close everything and end (its main
; window), the one every window of Scrivane's answers the same way, and the single-instance mutex a
; running copy holds.
!define CLOSE_REQUEST "Scrivane.Close"
!define END_REQUEST "Scrivane.CloseAll"
!define INSTANCE_MUTEX "Local\Scrivane.SingleInstance"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Scrivane"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "Software\Scrivane"
!define DRAWINGS "$LOCALAPPDATA\Scrivane\Drawings"

Name "Scrivane"
Caption "Scrivane ${VERSION} Setup"
UninstallCaption "Scrivane ${VERSION} Uninstall"
BrandingText "Scrivane ${VERSION}"
OutFile "${OUTFILE}"
; Per user, where Windows itself puts per-user programs; a former install's folder is kept.
InstallDir "$LOCALAPPDATA\Programs\Scrivane"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductName" "Scrivane"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "Scrivane ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD_BITMAP}"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${WIZARD_BITMAP}"
!define MUI_HEADERIMAGE
!define MUI_HEADERIMAGE_BITMAP "${HEADER_BITMAP}"
!define MUI_HEADERIMAGE_UNBITMAP "${HEADER_BITMAP}"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "Scrivane lets you draw on your screen while you present: Ctrl+Shift+Z freezes the screen, you draw on it, and Esc brings the desktop back.$\r$\n$\r$\nThis installs Scrivane ${VERSION} for you alone; it does not need administrator rights. If Scrivane is running, Setup closes it first.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
Page custom StartupPageShow StartupPageLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\scrivane.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Scrivane now"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "English"

Var StartAtSignIn       ; ${BST_CHECKED} or ${BST_UNCHECKED}
Var StartAtSignInBox
Var ClosedRunningCopy   ; 1 when Setup closed a running Scrivane

; ---------------------------------------------------------------------------------------------
; Asks a running Scrivane to end and waits until its process has gone, so that its files can be
; replaced or removed. A running copy holds its single-instance mutex for as long as its process
; lives, whatever windows it has left: after Exit with the magnifier open there is no main window,
; only the magnifier. So the mutex tells whether a copy runs; the main window, when there is one,
; gets the close request (and the copy is started again after a silent update), and every window
; of Scrivane's answers the second request, broadcast to all windows, by ending the program. A
; copy still showing its splash ends that way too. Sets $ClosedRunningCopy. If a copy does not end,
; the user may close it and retry; cancelling (the answer of a silent run) aborts.
!macro DEFINE_CLOSE_RUNNING un
Function ${un}CloseRunningScrivane
  Push $0
  Push $1
  Push $2
  StrCpy $ClosedRunningCopy 0
  ${Do}
    Call ${un}ScrivaneRuns
    Pop $0
    ${If} $0 = 0
      ${Break}
    ${EndIf}
    DetailPrint "Closing Scrivane..."
    FindWindow $0 "${MAIN_WINDOW_CLASS}"
    ${If} $0 <> 0
      StrCpy $ClosedRunningCopy 1
      System::Call "user32::RegisterWindowMessageW(w '${CLOSE_REQUEST}') i .r1"
      SendMessage $0 $1 0 0 /TIMEOUT=5000
    ${EndIf}
    ; Asked again every two seconds for twenty: a copy in its splash hands off first, and a busy one
    ; answers late.
    StrCpy $2 0
    ${Do}
      System::Call "user32::RegisterWindowMessageW(w '${END_REQUEST}') i .r1"
      System::Call "user32::PostMessageW(p ${HWND_BROADCAST}, i r1, p 0, p 0)"
      StrCpy $1 0
      ${Do}
        Sleep 250
        Call ${un}ScrivaneRuns
        Pop $0
        IntOp $1 $1 + 1
        ${If} $0 = 0
        ${OrIf} $1 >= 8
          ${Break}
        ${EndIf}
      ${Loop}
      IntOp $2 $2 + 1
      ${If} $0 = 0
      ${OrIf} $2 >= 10
        ${Break}
      ${EndIf}
    ${Loop}
    ${If} $0 <> 0
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Scrivane is still running. Choose Exit in the menu of its icon in the notification area and close its other windows, then Retry." /SD IDCANCEL IDRETRY retry
        Abort "Scrivane is still running."
      retry:
    ${EndIf}
  ${Loop}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; Pushes 1 while a copy of Scrivane runs in this session (its single-instance mutex exists), else 0.
Function ${un}ScrivaneRuns
  Push $0
  ; SYNCHRONIZE is enough to see it; the handle is closed at once, so as not to keep it alive.
  System::Call "kernel32::OpenMutexW(i 0x00100000, i 0, w '${INSTANCE_MUTEX}') p .r0"
  ${If} $0 <> 0
    System::Call "kernel32::CloseHandle(p r0)"
    StrCpy $0 1
  ${EndIf}
  Exch $0
FunctionEnd
!macroend
!insertmacro DEFINE_CLOSE_RUNNING ""
!insertmacro DEFINE_CLOSE_RUNNING "un."

; ---------------------------------------------------------------------------------------------
; Pushes 1 when the name on the stack is one Scrivane gives a kept drawing, else 0:
; "2026-12-07 14-03-27.png", or with " (n)" before ".png" for n of 2 or more (in any case).
Function un.IsKeptDrawingName
  Exch $0   ; the name
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  StrCpy $5 0
  StrLen $1 $0
  ${If} $1 >= 23
    ; "0000-00-00 00-00-00": a digit wherever the shape has a 0.
    StrCpy $3 "0000-00-00 00-00-00"
    StrCpy $1 0
    ${Do}
      StrCpy $2 $0 1 $1
      StrCpy $4 $3 1 $1
      ${If} $4 == "0"
        ; A digit is what reads back as the same number.
        IntOp $4 $2 + 0
        ${If} "$4" S!= "$2"
          ${Break}
        ${EndIf}
      ${ElseIf} $4 S!= $2
        ${Break}
      ${EndIf}
      IntOp $1 $1 + 1
    ${LoopUntil} $1 >= 19
    ${If} $1 >= 19
      StrCpy $2 $0 "" 19
      ${If} $2 == ".png"
        StrCpy $5 1
      ${Else}
        ; " (n).png"
        StrLen $1 $2
        StrCpy $3 $2 2
        StrCpy $4 $2 "" -5
        ${If} $3 S== " ("
        ${AndIf} $4 == ").png"
        ${AndIf} $1 >= 8
        ${AndIf} $1 <= 13
          IntOp $1 $1 - 7
          StrCpy $3 $2 $1 2
          IntOp $4 $3 + 0
          ${If} "$4" S== "$3"
          ${AndIf} $4 >= 2
            StrCpy $5 1
          ${EndIf}
        ${EndIf}
      ${EndIf}
    ${EndIf}
  ${EndIf}
  StrCpy $0 $5
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; Deletes the drawings Scrivane kept, and only those: the folder is the user's too (Recent
; Drawings opens it), and goes only when nothing else is in it.
Function un.DeleteKeptDrawings
  Push $0
  Push $1
  Push $2
  FindFirst $0 $1 "${DRAWINGS}\*.png"
  ${DoWhile} $1 != ""
    Push $1
    Call un.IsKeptDrawingName
    Pop $2
    ${If} $2 = 1
      Delete "${DRAWINGS}\$1"
    ${EndIf}
    FindNext $0 $1
  ${Loop}
  FindClose $0
  RMDir "${DRAWINGS}"
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; ---------------------------------------------------------------------------------------------
Function .onInit
  StrCpy $StartAtSignIn ${BST_CHECKED}
FunctionEnd

Function StartupPageShow
  !insertmacro MUI_HEADER_TEXT "Start-up" "Choose whether Scrivane starts by itself."
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 30u "Scrivane waits in the notification area for Ctrl+Shift+Z and Ctrl+Shift+M. Started when you sign in, it is ready when you begin to present."
  Pop $0
  ${NSD_CreateCheckbox} 0 40u 100% 12u "Start Scrivane when I sign in"
  Pop $StartAtSignInBox
  ${NSD_SetState} $StartAtSignInBox $StartAtSignIn
  nsDialogs::Show
FunctionEnd

Function StartupPageLeave
  ${NSD_GetState} $StartAtSignInBox $StartAtSignIn
FunctionEnd

Section "Scrivane"
  SectionIn RO
  SetShellVarContext current
  Call CloseRunningScrivane

  SetOutPath "$INSTDIR"
  File "/oname=scrivane.exe" "${EXE}"
  File "/oname=Scrivane.pdf" "${MANUAL}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\Scrivane.lnk" "$INSTDIR\scrivane.exe" "" "$INSTDIR\scrivane.exe" 0 SW_SHOWNORMAL "" "Draw on your screen while you present"

  ${If} $StartAtSignIn == ${BST_CHECKED}
    WriteRegStr HKCU "${RUN_KEY}" "Scrivane" '"$INSTDIR\scrivane.exe"'
  ${Else}
    DeleteRegValue HKCU "${RUN_KEY}" "Scrivane"
  ${EndIf}

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Scrivane"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\scrivane.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; The size Windows shows for the program, in KB: the three files.
  ${GetSize} "$INSTDIR" "/M=scrivane.exe /S=0K /G=0" $0 $1 $2
  ${GetSize} "$INSTDIR" "/M=Scrivane.pdf /S=0K /G=0" $1 $2 $3
  IntOp $0 $0 + $1
  ${GetSize} "$INSTDIR" "/M=uninstall.exe /S=0K /G=0" $1 $2 $3
  IntOp $0 $0 + $1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; An update that closed a running copy leaves one running again; the finish page offers the
  ; same when Setup is not silent.
  ${If} ${Silent}
  ${AndIf} $ClosedRunningCopy = 1
    Exec '"$INSTDIR\scrivane.exe"'
  ${EndIf}
SectionEnd

; ---------------------------------------------------------------------------------------------
Section "Uninstall"
  SetShellVarContext current
  Call un.CloseRunningScrivane

  Delete "$INSTDIR\scrivane.exe"
  Delete "$INSTDIR\Scrivane.pdf"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: the folder may have been chosen with other files in it.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Scrivane.lnk"
  DeleteRegValue HKCU "${RUN_KEY}" "Scrivane"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  ; The settings and the drawings are the user's: each kept unless asked for, and always by a
  ; silent uninstall (an update script may uninstall and install again).
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Also remove your Scrivane settings (pen, colours, text)?" /SD IDNO IDNO keepSettings
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    ; The program keeps its settings under the machine's key only where this user may write it;
    ; only then may they go from there, and without rights nothing is tried.
    System::Call "advapi32::RegOpenKeyExW(p 0x80000002, w '${SETTINGS_KEY}', i 0, i 0x00010009, *p .r1) i .r0"
    ${If} $0 = 0
      System::Call "advapi32::RegCloseKey(p r1)"
      DeleteRegKey HKLM "${SETTINGS_KEY}"
    ${EndIf}
    ClearErrors
  keepSettings:
  ${If} ${FileExists} "${DRAWINGS}\*.*"
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Also remove the drawings Scrivane kept in ${DRAWINGS}? Other files in that folder stay." /SD IDNO IDNO keepDrawings
      Call un.DeleteKeptDrawings
    keepDrawings:
  ${EndIf}
  RMDir "$LOCALAPPDATA\Scrivane"
SectionEnd
