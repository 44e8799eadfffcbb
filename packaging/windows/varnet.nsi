; SPDX-License-Identifier: Apache-2.0
; Varnet's Windows installer. packaging/windows/installer.sh stages the programs
; and runs makensis with VERSION, STAGE (the staged folder), FILES and UNFILES
; (the lists of what to install and remove, made from the staged folder) and
; OUTFILE.
;
; Command line: /S silent; /ADDTOPATH also appends the install folder to the
; system PATH (the "Add varnet-cli to PATH" component); /D=FOLDER the install
; folder (last, unquoted, as NSIS wants it).

Unicode true
; A 64-bit installer: Program Files and the registry without WOW64 redirection.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinMessages.nsh

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnet"
!define ENV_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
!define PUBLISHER "The Varnet developers"
; ";PATH;" must fit in an NSIS string.
!define /math PATH_EDIT_MAX ${NSIS_MAX_STRLEN} - 2

Name "Varnet ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Varnet"
; An update goes where the earlier install went.
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "Varnet ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Varnet"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Varnet ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Apache License 2.0"

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC
!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"

LangString DESC_Main ${LANG_ENGLISH} "The programs, the libraries they use and their licences."
LangString DESC_Main ${LANG_SIMPCHINESE} "程序、所用的库及其许可证。"
LangString DESC_Path ${LANG_ENGLISH} "Append the install folder to the system PATH, so that varnet-cli can be called from any prompt."
LangString DESC_Path ${LANG_SIMPCHINESE} "将安装文件夹添加到系统 PATH，以便在任何命令提示符中调用 varnet-cli。"

Var pathOld   ; the system PATH as read, for the component
Var pathAdded ; what AddToPath appended ("" when nothing)

Section "Varnet" SecMain
  SectionIn RO
  SetRegView 64
  ; An earlier install's uninstaller removes its files first (a DLL the new
  ; version no longer ships is not left behind), waiting for it with _?=.
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\Uninstall.exe"
    ExecWait '"$0\Uninstall.exe" /S _?=$0'
    Delete "$0\Uninstall.exe"
    RMDir "$0"
  ${EndIf}

  !include "${FILES}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  !if /FileExists "${STAGE}/varnet.exe"
    CreateDirectory "$SMPROGRAMS\Varnet"
    CreateShortcut "$SMPROGRAMS\Varnet\Varnet.lnk" "$INSTDIR\varnet.exe"
  !endif
  !if /FileExists "${STAGE}/varnet-demo.exe"
    CreateDirectory "$SMPROGRAMS\Varnet"
    CreateShortcut "$SMPROGRAMS\Varnet\Varnet Demo.lnk" "$INSTDIR\varnet-demo.exe"
  !endif

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Varnet"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  !if /FileExists "${STAGE}/varnet.exe"
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" '"$INSTDIR\varnet.exe",0'
  !else
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" '"$INSTDIR\Uninstall.exe",0'
  !endif
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" "$0"
SectionEnd

Section /o "Add varnet-cli to PATH" SecPath
  SetRegView 64
  Call AddToPath
  ; The uninstaller takes out exactly what was appended.
  ${If} $pathAdded != ""
    WriteRegStr HKLM "${UNINST_KEY}" "PathEntry" "$pathAdded"
  ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecMain} $(DESC_Main)
  !insertmacro MUI_DESCRIPTION_TEXT ${SecPath} $(DESC_Path)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
  SetShellVarContext all
  SetRegView 64
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/ADDTOPATH" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecPath}
  ${EndIf}
  ; An update keeps the folder on PATH when the earlier install put it there.
  ReadRegStr $1 HKLM "${UNINST_KEY}" "PathEntry"
  ${If} $1 != ""
    !insertmacro SelectSection ${SecPath}
  ${EndIf}
FunctionEnd

; PATH is REG_EXPAND_SZ and may be longer than an NSIS string
; (${NSIS_MAX_STRLEN} characters): ReadRegStr then fails and reads nothing. A PATH
; that cannot be read whole, or would not fit with the folder appended, is left
; as it is rather than cut short.
Function AddToPath
  StrCpy $pathAdded ""
  ClearErrors
  ReadRegStr $pathOld HKLM "${ENV_KEY}" "Path"
  ${If} ${Errors}
    DetailPrint "PATH could not be read whole: left as it is; add $INSTDIR by hand"
    Return
  ${EndIf}
  ; Already there (any case, with or without a trailing backslash): nothing to do.
  Push ";$pathOld;"
  Push ";$INSTDIR;"
  Call StrPos
  Pop $0
  Push ";$pathOld;"
  Push ";$INSTDIR\;"
  Call StrPos
  Pop $1
  ${If} $0 >= 0
  ${OrIf} $1 >= 0
    DetailPrint "$INSTDIR is on PATH already"
    Return
  ${EndIf}
  StrCpy $0 ";$INSTDIR"
  StrCpy $1 $pathOld 1 -1
  ${If} $pathOld == ""
  ${OrIf} $1 == ";"
    StrCpy $0 "$INSTDIR"
  ${EndIf}
  ; (Measured apart: the joined string would be cut to fit.)
  StrLen $1 $pathOld
  StrLen $2 $0
  IntOp $1 $1 + $2
  ${If} $1 >= ${NSIS_MAX_STRLEN}
    DetailPrint "PATH would grow past ${NSIS_MAX_STRLEN} characters: left as it is; add $INSTDIR by hand"
    Return
  ${EndIf}
  WriteRegExpandStr HKLM "${ENV_KEY}" "Path" "$pathOld$0"
  StrCpy $pathAdded $0
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
  DetailPrint "Appended to PATH: $0"
FunctionEnd

; StrPos HAYSTACK NEEDLE -> where NEEDLE first starts in HAYSTACK, or -1
; (case-insensitive, as Windows compares paths).
!macro StrPos un
Function ${un}StrPos
  Exch $R0 ; needle
  Exch
  Exch $R1 ; haystack
  Push $R2
  Push $R3
  Push $R4
  StrLen $R2 $R0
  StrCpy $R3 0
  ${Do}
    StrCpy $R4 $R1 $R2 $R3
    ${If} $R4 == ""
      StrCpy $R3 -1
      ${Break}
    ${ElseIf} $R4 == $R0
      ${Break}
    ${EndIf}
    IntOp $R3 $R3 + 1
  ${Loop}
  StrCpy $R0 $R3
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd
!macroend
!insertmacro StrPos ""
!insertmacro StrPos "un."

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

; Takes the appended text (PathEntry) out of PATH: from its end, where the
; installer put it, else from wherever it is now; a PATH that cannot be read
; whole is left alone.
Function un.RemoveFromPath
  ReadRegStr $R0 HKLM "${UNINST_KEY}" "PathEntry"
  ${If} $R0 == ""
    Return
  ${EndIf}
  ClearErrors
  ReadRegStr $R1 HKLM "${ENV_KEY}" "Path"
  ${If} ${Errors}
    DetailPrint "PATH could not be read whole: remove $INSTDIR from it by hand"
    Return
  ${EndIf}
  StrLen $R2 $R0
  StrLen $R3 $R1
  IntOp $R4 $R3 - $R2
  ${If} $R4 >= 0
    StrCpy $R5 $R1 "" $R4
    ${If} $R5 == $R0
      StrCpy $R1 $R1 $R4
      WriteRegExpandStr HKLM "${ENV_KEY}" "Path" $R1
      SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
      Return
    ${EndIf}
  ${EndIf}
  ; Moved since: the first ";FOLDER;" in ";PATH;" goes.
  ${If} $R3 >= ${PATH_EDIT_MAX}
    DetailPrint "PATH is too long to edit here: remove $INSTDIR from it by hand"
    Return
  ${EndIf}
  StrCpy $R1 ";$R1;"
  Push $R1
  Push ";$INSTDIR;"
  Call un.StrPos
  Pop $R4
  ${If} $R4 < 0
    DetailPrint "$INSTDIR is no longer on PATH"
    Return
  ${EndIf}
  StrLen $R2 ";$INSTDIR;"
  IntOp $R5 $R4 + $R2
  StrCpy $R6 $R1 $R4
  StrCpy $R7 $R1 "" $R5
  StrCpy $R1 "$R6;$R7"
  ; Without the two added separators.
  StrCpy $R1 $R1 "" 1
  StrCpy $R1 $R1 -1
  WriteRegExpandStr HKLM "${ENV_KEY}" "Path" $R1
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
FunctionEnd

Section "Uninstall"
  SetRegView 64
  Call un.RemoveFromPath
  Delete "$SMPROGRAMS\Varnet\Varnet.lnk"
  Delete "$SMPROGRAMS\Varnet\Varnet Demo.lnk"
  RMDir "$SMPROGRAMS\Varnet"
  ; Only what the installer put there: a folder the user chose that holds
  ; other files keeps them.
  !include "${UNFILES}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
