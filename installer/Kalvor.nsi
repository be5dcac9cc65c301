; KalvorSetup.exe: installs the Kalvor Turkish speech engine (Kalvor.dll, its two voices), Lumeko and
; the command-line tools, registers the engine with COM, with the SAPI 4 run time and as SAPI 5
; voices, and makes an uninstaller that takes all of it out again. On 64-bit Windows the 64-bit
; engine (Kalvor64.dll, beside the voices) is installed and registered for 64-bit SAPI 5 programs
; as well.
;
; Built by CMake with makensis:
;   makensis -INPUTCHARSET UTF8 -DARCH=x86 -DBINDIR=build/win32/bin -DBIN64DIR=build/win32/x64/bin
;            -DOUTFILE=.../KalvorSetup.exe -DVERSION=1.0.0 Kalvor.nsi
; BIN64DIR (x86 only) holds the 64-bit Kalvor.dll and kalvor-sapi.exe.
; ARCH x86 is what users get: SAPI 4 and its programs are 32-bit, so the engine goes into the 32-bit
; program files folder and is registered where 32-bit programs look. ARCH amd64 makes the same
; installer from a 64-bit build, for the tests under 64-bit Wine.
;
; Command line (besides NSIS's own /S for silent and /D=FOLDER):
;   /RUNTIME    also install the stand-in SAPI 4 run time; honoured only where no SAPI 4 run time
;               is registered (a real one is never replaced)
;   /AUTOSTART  start Lumeko with Windows
;   /CHOICES=FILE  for the install test: writes the parts as the components page would offer them
;               (NAME=1 chosen, 0 not, -1 not offered) to FILE and ends without installing
; The uninstaller takes /S too.

Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!ifndef ARCH
  !define ARCH x86
!endif
!ifndef BINDIR
  !error "BINDIR (the folder of the built binaries and voices) is not defined"
!endif
!ifndef OUTFILE
  !define OUTFILE "KalvorSetup.exe"
!endif
!ifndef VERSION
  !define VERSION 1.0.0
!endif

Target ${ARCH}-unicode
!if ${ARCH} == x86
  !define BITS 32
  !define PROGRAMFILES_DIR "$PROGRAMFILES32"
!else if ${ARCH} == amd64
  !define BITS 64
  !define PROGRAMFILES_DIR "$PROGRAMFILES64"
!else
  !error "ARCH is x86 or amd64, not ${ARCH}"
!endif

!define PRODUCT "Kalvor"
!define PUBLISHER "Verdanis"
; Our own record of the installation: its folder and which optional parts it registered.
!define STATE_KEY "Software\Verdanis\Kalvor"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kalvor"
; Lumeko keeps its settings here (per user; machine-wide defaults under HKLM).
!define LUMEKO_KEY "Software\Verdanis\Lumeko"
!define MAKER_KEY "Software\Verdanis"
; The SAPI 4 run time's TTS enumerator: registered wherever a SAPI 4 run time is installed.
!define CLSID_TTSENUMERATOR "{D67C0280-C743-11CD-80E5-00AA003E4B50}"
; How Lumeko's running copy is found, and its message "stop reading and end the program".
!define LUMEKO_CLASS "TForm_Config"
!define LUMEKO_CAPTION "Lumeko - Ayarlar"
!define WM_READER_QUIT 0x046F

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "${PROGRAMFILES_DIR}\${PRODUCT}"
; A reinstallation goes where the last one went (unless /D says otherwise).
InstallDirRegKey HKLM "${STATE_KEY}" "InstallDir"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinMessages.nsh
!include x64.nsh

Var RuntimePath      ; the registered TTS enumerator's DLL, empty when there is none
Var RealRuntime      ; 1 when that is a real SAPI 4 run time (not a stand-in)
Var RuntimeRefused   ; 1 when /RUNTIME was asked for where a real run time is registered
Var LumekoWasRunning ; 1 when this installation ended a running Lumeko
Var LumekoStarted    ; 1 once this installation has started Lumeko

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\Lumeko.exe"
!define MUI_FINISHPAGE_RUN_TEXT "$(RunLumeko)"
!define MUI_FINISHPAGE_RUN_FUNCTION RunLumekoNow

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; The page functions belong to the page inserted next: here the finish page.
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishPageShow
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE FinishPageLeave
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; Turkish first: it is the language of the product; English for everyone else.
!insertmacro MUI_LANGUAGE "Turkish"
!insertmacro MUI_LANGUAGE "English"

LangString SecEngineName ${LANG_TURKISH} "Kalvor konuşma motoru"
LangString SecEngineName ${LANG_ENGLISH} "Kalvor speech engine"
LangString SecEngineDesc ${LANG_TURKISH} "Türkçe SAPI 4 ve SAPI 5 konuşma motoru, erkek ve kadın sesiyle (Tarpek, Nilvo); her SAPI programı Türkçe okur."
LangString SecEngineDesc ${LANG_ENGLISH} "The Turkish SAPI 4 and SAPI 5 speech engine with its male and female voice (Tarpek, Nilvo), for every SAPI program."
LangString SecLumekoDesc ${LANG_TURKISH} "Panoya kopyalanan metni sesli okur (F10 okur, F11 durdurur); Başlat menüsüne eklenir."
LangString SecLumekoDesc ${LANG_ENGLISH} "Reads text copied to the clipboard aloud (F10 reads, F11 stops); added to the Start menu."
LangString SecAutostartName ${LANG_TURKISH} "Lumeko Windows ile başlasın"
LangString SecAutostartName ${LANG_ENGLISH} "Start Lumeko with Windows"
LangString SecAutostartDesc ${LANG_TURKISH} "Lumeko her oturum açılışında bildirim alanında başlar."
LangString SecAutostartDesc ${LANG_ENGLISH} "Lumeko starts in the notification area whenever someone logs on."
LangString SecToolsName ${LANG_TURKISH} "Komut satırı araçları"
LangString SecToolsName ${LANG_ENGLISH} "Command-line tools"
LangString SecToolsDesc ${LANG_TURKISH} "kalvor: metinden WAV dosyası; kalvor-sapi: SAPI 4 ve SAPI 5 seslerini listeler, onlarla konuşur."
LangString SecToolsDesc ${LANG_ENGLISH} "kalvor: text to WAV files; kalvor-sapi: lists the SAPI 4 and SAPI 5 voices and speaks through them."
LangString SecRuntimeName ${LANG_TURKISH} "Yedek SAPI 4 çalışma ortamı"
LangString SecRuntimeName ${LANG_ENGLISH} "Stand-in SAPI 4 run time"
LangString SecRuntimeDesc ${LANG_TURKISH} "Bu bilgisayarda SAPI 4 çalışma ortamı yok ama gerekli: Microsoft'unkini kurun ya da bu yedeği seçin."
LangString SecRuntimeDesc ${LANG_ENGLISH} "No SAPI 4 run time is here, and one is needed: install Microsoft's, or choose this stand-in."
LangString RunLumeko ${LANG_TURKISH} "Lumeko'yu şimdi başlat"
LangString RunLumeko ${LANG_ENGLISH} "Start Lumeko now"
LangString NoRuntime ${LANG_TURKISH} "Bu bilgisayarda SAPI 4 çalışma ortamı kayıtlı değil, bu yüzden Kalvor henüz duyulamaz. Microsoft'un SAPI 4 çalışma ortamını kurun ya da kurulumu yeniden çalıştırıp yedek SAPI 4 çalışma ortamını seçin."
LangString NoRuntime ${LANG_ENGLISH} "No SAPI 4 run time is registered on this computer, so Kalvor cannot be heard yet. Install Microsoft's SAPI 4 run time, or run this setup again and choose the stand-in SAPI 4 run time."
LangString RealRuntimeKept ${LANG_TURKISH} "Bir SAPI 4 çalışma ortamı zaten kayıtlı ($RuntimePath); yedek çalışma ortamı kurulmadı."
LangString RealRuntimeKept ${LANG_ENGLISH} "A SAPI 4 run time is registered already ($RuntimePath); the stand-in run time was not installed."
LangString RegisterFailed ${LANG_TURKISH} "Kalvor kaydedilemedi (kalvor-reg: $0). Ayrıntılar kurulum ayrıntılarında."
LangString RegisterFailed ${LANG_ENGLISH} "Kalvor could not be registered (kalvor-reg: $0). See the details of the installation."
LangString NeedAdmin ${LANG_TURKISH} "Kalvor'un kurulması ve kaldırılması yönetici hakları gerektirir."
LangString NeedAdmin ${LANG_ENGLISH} "Installing and removing Kalvor needs administrator rights."
LangString LumekoStillRunning ${LANG_TURKISH} "Lumeko kapanmadı; dosyaları yeniden başlatmada silinecek."
LangString LumekoStillRunning ${LANG_ENGLISH} "Lumeko did not end; its files are removed at the next restart."

; ---------------------------------------------------------------------------------------------
; Shared by the installer and the uninstaller.

; Ends every running Lumeko of this session, as its tray menu's "quit" does, and waits for its
; windows to go (at most about half a minute: it may be busy speaking), so that its program file can
; be replaced or removed.
!macro StopLumeko un
Function ${un}StopLumeko
  Push $0
  Push $1
  StrCpy $1 0
  ${Do}
    FindWindow $0 "${LUMEKO_CLASS}" "${LUMEKO_CAPTION}"
    ${If} $0 == 0
      ${Break}
    ${EndIf}
    ${If} $1 == 0
      DetailPrint "Lumeko..."
      StrCpy $LumekoWasRunning 1
    ${EndIf}
    ; Posted, not sent: a hung Lumeko must not hang the installer.
    System::Call "user32::PostMessage(p r0, i ${WM_READER_QUIT}, p 0, p 0)"
    Sleep 250
    IntOp $1 $1 + 1
    ${If} $1 >= 120
      ${Break}
    ${EndIf}
  ${Loop}
  ; The window goes just before the process ends: give it a moment to let go of its file.
  ${If} $1 > 0
    Sleep 500
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro StopLumeko ""
!insertmacro StopLumeko "un."

; The registered SAPI 4 run time, if any: sets $RuntimePath and $RealRuntime. Our stand-in is
; recognised by its file name (sapi4rt.dll), as the registration program does.
!macro FindRuntime un
Function ${un}FindRuntime
  Push $0
  StrCpy $RealRuntime 0
  ReadRegStr $RuntimePath HKCR "CLSID\${CLSID_TTSENUMERATOR}\InprocServer32" ""
  ${If} $RuntimePath != ""
    ${GetFileName} $RuntimePath $0
    ${If} $0 != "sapi4rt.dll"  ; StrCmp ignores case
      StrCpy $RealRuntime 1
    ${EndIf}
  ${EndIf}
  Pop $0
FunctionEnd
!macroend
!insertmacro FindRuntime ""

; Removes one installed file; one still in use (a SAPI 4 program holding the engine, a Lumeko of
; another session) goes at the next restart.
!macro RemoveFile NAME
  ClearErrors
  Delete "$INSTDIR\${NAME}"
  ${If} ${Errors}
    ; A program that was just told to end (Lumeko, restarted by an update) may hold the engine for
    ; a few seconds more while it closes down: keep trying for ten seconds before giving up.
    Push $R9
    ${For} $R9 1 20
      Sleep 500
      ClearErrors
      Delete "$INSTDIR\${NAME}"
      ${IfNot} ${Errors}
        ${Break}
      ${EndIf}
    ${Next}
    ${If} ${Errors}
      Delete /REBOOTOK "$INSTDIR\${NAME}"
    ${EndIf}
    Pop $R9
  ${EndIf}
!macroend

; The keys of the SAPI 4 engine list, where this installation may have made them: removed only
; when nothing else is listed there.
!macro RemoveEngineListKeys
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "SOFTWARE\Voice\TextToSpeech\Engine"
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "SOFTWARE\Voice\TextToSpeech"
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "SOFTWARE\Voice"
!macroend

; The choice of an optional part, kept for the next installation, and taken up again there.
!macro RememberChoice NAME SECTION
  ${If} ${SectionIsSelected} ${SECTION}
    WriteRegDWORD HKLM "${STATE_KEY}" "${NAME}" 1
  ${Else}
    WriteRegDWORD HKLM "${STATE_KEY}" "${NAME}" 0
  ${EndIf}
!macroend
!macro ChosenBefore NAME SECTION
  ClearErrors
  ReadRegDWORD $1 HKLM "${STATE_KEY}" "${NAME}"
  ${IfNot} ${Errors}
    ${If} $1 == 1
      !insertmacro SelectSection ${SECTION}
    ${Else}
      !insertmacro UnselectSection ${SECTION}
    ${EndIf}
  ${EndIf}
!macroend

; One line "NAME=STATE" of /CHOICES: 1 chosen, 0 not chosen, -1 not offered (hidden).
!macro WriteChoice HANDLE NAME SECTION
  SectionGetText ${SECTION} $2
  ${If} $2 == ""
    FileWrite ${HANDLE} "${NAME}=-1$\r$\n"
  ${ElseIf} ${SectionIsSelected} ${SECTION}
    FileWrite ${HANDLE} "${NAME}=1$\r$\n"
  ${Else}
    FileWrite ${HANDLE} "${NAME}=0$\r$\n"
  ${EndIf}
!macroend

; Runs kalvor-reg.exe with the given arguments, its output in the details; leaves its exit code
; (or "error") in $0.
!macro RunKalvorReg ARGS
  DetailPrint `kalvor-reg ${ARGS}`
  nsExec::ExecToLog '"$INSTDIR\kalvor-reg.exe" ${ARGS}'
  Pop $0
!macroend

; ---------------------------------------------------------------------------------------------
; Installer

Section "!$(SecEngineName)" SecEngine
  SectionIn RO
  SetOutPath "$INSTDIR"
  Call StopLumeko
  File "${BINDIR}/Kalvor.dll"
  File "${BINDIR}/ORVDAT1.SPD"
  File "${BINDIR}/ORVDAT2.SPD"
  File "${BINDIR}/kalvor-reg.exe"
!ifdef BIN64DIR
  ; The 64-bit engine for 64-bit SAPI 5 programs, beside the voices it shares with the 32-bit one.
  ${If} ${RunningX64}
    File "/oname=Kalvor64.dll" "${BIN64DIR}/Kalvor.dll"
  ${EndIf}
!endif
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${STATE_KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${STATE_KEY}" "Version" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Kalvor ${VERSION} (Türkçe konuşma motoru ve Lumeko)"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Lumeko" SecLumeko
  SetOutPath "$INSTDIR"
  File "${BINDIR}/Lumeko.exe"
  CreateShortCut "$SMPROGRAMS\Lumeko.lnk" "$INSTDIR\Lumeko.exe" "" "$INSTDIR\Lumeko.exe" 0
SectionEnd

Section /o "$(SecAutostartName)" SecAutostart
  ; Only with Lumeko itself (it may have been left out on the components page).
  ${If} ${SectionIsSelected} ${SecLumeko}
    CreateShortCut "$SMSTARTUP\Lumeko.lnk" "$INSTDIR\Lumeko.exe" "" "$INSTDIR\Lumeko.exe" 0
  ${EndIf}
SectionEnd

Section "$(SecToolsName)" SecTools
  SetOutPath "$INSTDIR"
  File "${BINDIR}/kalvor.exe"
  File "${BINDIR}/kalvor-sapi.exe"
!ifdef BIN64DIR
  ${If} ${RunningX64}
    File "/oname=kalvor-sapi64.exe" "${BIN64DIR}/kalvor-sapi.exe"
  ${EndIf}
!endif
SectionEnd

Section /o "$(SecRuntimeName)" SecRuntime
  SetOutPath "$INSTDIR"
  File "${BINDIR}/sapi4rt.dll"
SectionEnd

; Registration once every file is in place; parts left out of a reinstallation are taken away.
Section "-Register"
  ${If} $RuntimeRefused == 1
    DetailPrint "$(RealRuntimeKept)"
  ${EndIf}
  ; A stand-in run time of ours that is no longer wanted goes first.
  ReadRegDWORD $1 HKLM "${STATE_KEY}" "StandInRuntime"
  ${IfNot} ${SectionIsSelected} ${SecRuntime}
  ${AndIf} $1 == 1
    !insertmacro RunKalvorReg 'uninstall --runtime'
    Delete "$INSTDIR\sapi4rt.dll"
    DeleteRegValue HKLM "${STATE_KEY}" "StandInRuntime"
  ${EndIf}
  ${If} ${SectionIsSelected} ${SecRuntime}
    !insertmacro RunKalvorReg 'install --dll "$INSTDIR\Kalvor.dll" --runtime --runtime-dll "$INSTDIR\sapi4rt.dll"'
  ${Else}
    !insertmacro RunKalvorReg 'install --dll "$INSTDIR\Kalvor.dll"'
  ${EndIf}
  ${If} $0 != 0
    MessageBox MB_ICONSTOP|MB_OK "$(RegisterFailed)" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
!ifdef BIN64DIR
  ; kalvor-reg puts a 64-bit DLL where 64-bit programs look.
  ${If} ${RunningX64}
    !insertmacro RunKalvorReg 'install --dll "$INSTDIR\Kalvor64.dll" --sapi5-only'
    ${If} $0 != 0
      MessageBox MB_ICONSTOP|MB_OK "$(RegisterFailed)" /SD IDOK
      SetErrorLevel 2
      Abort
    ${EndIf}
  ${EndIf}
!endif
  ${If} ${SectionIsSelected} ${SecRuntime}
    WriteRegDWORD HKLM "${STATE_KEY}" "StandInRuntime" 1
  ${EndIf}
  !insertmacro RememberChoice "Lumeko" ${SecLumeko}
  !insertmacro RememberChoice "Autostart" ${SecAutostart}
  !insertmacro RememberChoice "Tools" ${SecTools}

  ${IfNot} ${SectionIsSelected} ${SecLumeko}
    Delete "$INSTDIR\Lumeko.exe"
    Delete "$SMPROGRAMS\Lumeko.lnk"
  ${EndIf}
  ${IfNot} ${SectionIsSelected} ${SecAutostart}
  ${OrIfNot} ${SectionIsSelected} ${SecLumeko}
    Delete "$SMSTARTUP\Lumeko.lnk"
  ${EndIf}
  ${IfNot} ${SectionIsSelected} ${SecTools}
    Delete "$INSTDIR\kalvor.exe"
    Delete "$INSTDIR\kalvor-sapi.exe"
    Delete "$INSTDIR\kalvor-sapi64.exe"
  ${EndIf}

  SetDetailsPrint none  ; GetSize reports its count otherwise
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  SetDetailsPrint both
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"

  ; Without a run time the engine is registered but silent: tell the user what is missing.
  Call FindRuntime
  ${If} $RuntimePath == ""
    MessageBox MB_ICONINFORMATION|MB_OK "$(NoRuntime)" /SD IDOK
  ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecEngine} "$(SecEngineDesc)"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecLumeko} "$(SecLumekoDesc)"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecAutostart} "$(SecAutostartDesc)"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecTools} "$(SecToolsDesc)"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecRuntime} "$(SecRuntimeDesc)"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
  SetRegView ${BITS}
  SetShellVarContext all
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_ICONSTOP|MB_OK "$(NeedAdmin)" /SD IDOK
    SetErrorLevel 740  ; ERROR_ELEVATION_REQUIRED
    Abort
  ${EndIf}

  ; A reinstallation (an update) keeps the parts chosen last time.
  ReadRegStr $0 HKLM "${STATE_KEY}" "InstallDir"
  ${If} $0 != ""
    !insertmacro ChosenBefore "Lumeko" ${SecLumeko}
    !insertmacro ChosenBefore "Autostart" ${SecAutostart}
    !insertmacro ChosenBefore "Tools" ${SecTools}
  ${EndIf}

  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/AUTOSTART" $0
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecAutostart}
  ${EndIf}

  ; The stand-in run time is offered only where no real SAPI 4 run time is registered: it is
  ; never put over one. Where our stand-in is in use already, it stays chosen.
  Call FindRuntime
  ${If} $RealRuntime == 1
    !insertmacro UnselectSection ${SecRuntime}
    SectionSetText ${SecRuntime} ""  ; hidden
    ClearErrors
    ${GetOptions} $R0 "/RUNTIME" $0
    ${IfNot} ${Errors}
      StrCpy $RuntimeRefused 1
    ${EndIf}
  ${Else}
    ReadRegDWORD $0 HKLM "${STATE_KEY}" "StandInRuntime"
    ${If} $0 == 1
      !insertmacro SelectSection ${SecRuntime}
    ${EndIf}
    ; No run time at all: without one Kalvor stays silent, so the stand-in is chosen for the user,
    ; who may still untick it. A silent install takes it only with /RUNTIME: administrators decide
    ; what goes on their machines.
    ${If} $RuntimePath == ""
    ${AndIfNot} ${Silent}
      !insertmacro SelectSection ${SecRuntime}
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/RUNTIME" $0
    ${IfNot} ${Errors}
      !insertmacro SelectSection ${SecRuntime}
    ${EndIf}
  ${EndIf}

  ClearErrors
  ${GetOptions} $R0 "/CHOICES=" $0
  ${IfNot} ${Errors}
    FileOpen $1 $0 w
    !insertmacro WriteChoice $1 "Lumeko" ${SecLumeko}
    !insertmacro WriteChoice $1 "Autostart" ${SecAutostart}
    !insertmacro WriteChoice $1 "Tools" ${SecTools}
    !insertmacro WriteChoice $1 "Runtime" ${SecRuntime}
    FileClose $1
    SetErrorLevel 0
    Quit
  ${EndIf}
FunctionEnd

; An update that ended a running Lumeko starts it again for the user, as it was before.
Function .onInstSuccess
  ${If} $LumekoWasRunning == 1
  ${AndIf} $LumekoStarted != 1
  ${AndIf} ${SectionIsSelected} ${SecLumeko}
    Call RunLumekoNow
  ${EndIf}
FunctionEnd

Function RunLumekoNow
  ; Started through Explorer, Lumeko runs as the user who logged on and not with the installer's
  ; administrator rights (an elevated program would not hear the clipboard of the others).
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\Lumeko.exe"'
  StrCpy $LumekoStarted 1
FunctionEnd

Function FinishPageShow
  ; The finish page offers to start Lumeko only when it was installed.
  ${IfNot} ${SectionIsSelected} ${SecLumeko}
    ShowWindow $mui.FinishPage.Run ${SW_HIDE}
    SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
  ${EndIf}
FunctionEnd

Function FinishPageLeave
  ; Unticking "start Lumeko now" also says no to starting again a Lumeko that the update ended.
  SendMessage $mui.FinishPage.Run ${BM_GETCHECK} 0 0 $0
  ${If} $0 != ${BST_CHECKED}
    StrCpy $LumekoWasRunning 0
  ${EndIf}
FunctionEnd

; ---------------------------------------------------------------------------------------------
; Uninstaller

Section "Uninstall"
  Call un.StopLumeko

  ; Out of COM, the SAPI 4 engine list and the SAPI 5 voices (of both registry views) first,
  ; while the registration program is still there; the stand-in run time only when this
  ; installation put it there.
  ReadRegDWORD $1 HKLM "${STATE_KEY}" "StandInRuntime"
  ${If} $1 == 1
    !insertmacro RunKalvorReg 'uninstall --runtime'
  ${Else}
    !insertmacro RunKalvorReg 'uninstall'
  ${EndIf}
  !insertmacro RemoveEngineListKeys

  Delete "$SMPROGRAMS\Lumeko.lnk"
  Delete "$SMSTARTUP\Lumeko.lnk"

  !insertmacro RemoveFile "Kalvor.dll"
  !insertmacro RemoveFile "Kalvor64.dll"
  !insertmacro RemoveFile "ORVDAT1.SPD"
  !insertmacro RemoveFile "ORVDAT2.SPD"
  !insertmacro RemoveFile "Lumeko.exe"
  !insertmacro RemoveFile "kalvor.exe"
  !insertmacro RemoveFile "kalvor-sapi.exe"
  !insertmacro RemoveFile "kalvor-sapi64.exe"
  !insertmacro RemoveFile "sapi4rt.dll"
  !insertmacro RemoveFile "kalvor-reg.exe"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: whatever the user put there stays.
  RMDir /REBOOTOK "$INSTDIR"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${STATE_KEY}"
  ; Lumeko's settings: the uninstalling user's own and the machine-wide defaults.
  DeleteRegKey HKCU "${LUMEKO_KEY}"
  DeleteRegKey HKLM "${LUMEKO_KEY}"
  DeleteRegKey /ifnosubkeys /ifnovalues HKCU "${MAKER_KEY}"
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "${MAKER_KEY}"
SectionEnd

Function un.onInit
  SetRegView ${BITS}
  SetShellVarContext all
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_ICONSTOP|MB_OK "$(NeedAdmin)" /SD IDOK
    SetErrorLevel 740
    Abort
  ${EndIf}
FunctionEnd
