; The toolkit's own installer: puts the wizard, the batch builder, the two stubs they
; fill and the movie player control into one folder, and writes the App Paths entry
; through which both find their companion files.
;
; Built by CMake (tools/installer/CMakeLists.txt), which defines:
;   VERSION        1.0.0
;   OUTFILE        path of the installer to write
;   QMWIZARD       qmwizard.exe
;   QMBUILD        qmbuild.exe, the batch builder
;   TEMPLATE       template.scr
;   SETUP          setup.ex_
;   ICON           the wizard's icon
;   SIDE_BITMAP    the wizard's side picture, for the welcome and finish pages
;   PLAYER_DLL     the movie player control
;
; Silent: /S installs (and, on the uninstaller, uninstalls) without any window.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
; A 32-bit installer writes the 32-bit views of HKLM and of Program Files, which is where
; the 32-bit wizard reads its App Paths entry and where the 32-bit control must live.

!include "MUI2.nsh"
!include "LogicLib.nsh"

!define PRODUCT "Tovik Flickwell"
!define PUBLISHER "Tovik Works"
!define APP_PATHS_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\qmwizard.exe"
; Kept apart from the screen savers' own entries, which are named by their file stems.
!define UNINSTALL_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tovik Flickwell"
!define FLASH_PROGID "ShockwaveFlash.ShockwaveFlash"
!define PLAYER_CLSID "{F9EF14BC-14FF-4B69-A74E-B3C2985FF5E1}"
!define PLAYER_FILE "FlickwellPlayer.dll"
!define MENU_FOLDER "$SMPROGRAMS\Tovik Flickwell"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
; Not "Tovik\Flickwell": that folder belongs to the screen savers' uninstallers.
InstallDir "$PROGRAMFILES\Tovik Flickwell"
InstallDirRegKey HKLM "${APP_PATHS_KEY}" "Path"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${SIDE_BITMAP}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\qmwizard.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start the Flickwell Wizard"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Flickwell" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "/oname=qmwizard.exe" "${QMWIZARD}"
  File "/oname=qmbuild.exe" "${QMBUILD}"
  File "/oname=template.scr" "${TEMPLATE}"
  File "/oname=setup.ex_" "${SETUP}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The wizard appends a backslash itself when the folder lacks one.
  WriteRegStr HKLM "${APP_PATHS_KEY}" "" "$INSTDIR\qmwizard.exe"
  WriteRegStr HKLM "${APP_PATHS_KEY}" "Path" "$INSTDIR"

  File "/oname=${PLAYER_FILE}" "${PLAYER_DLL}"
  Call RegisterPlayer

  SetShellVarContext all
  CreateDirectory "${MENU_FOLDER}"
  CreateShortCut "${MENU_FOLDER}\Flickwell Wizard.lnk" "$INSTDIR\qmwizard.exe"
  CreateShortCut "${MENU_FOLDER}\Uninstall Flickwell.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\qmwizard.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Our control stands in for the Flash control only where no Flash control (or other
; owner of its ProgID) is installed. Whether this installer registered it is recorded,
; so the uninstaller never unregisters a control someone else put there.
Function RegisterPlayer
  ReadRegStr $0 HKCR "${FLASH_PROGID}\CLSID" ""
  ; Free, or ours from an earlier install of the toolkit: (re)register it here.
  ${If} $0 == ""
  ${OrIf} $0 == "${PLAYER_CLSID}"
    ClearErrors
    RegDLL "$INSTDIR\${PLAYER_FILE}"
    ReadRegStr $0 HKCR "${FLASH_PROGID}\CLSID" ""
    ${If} $0 == "${PLAYER_CLSID}"
      WriteRegDWORD HKLM "${UNINSTALL_KEY}" "PlayerRegistered" 1
      DetailPrint "Registered the Flickwell movie player as ${FLASH_PROGID}"
      Return
    ${EndIf}
    DetailPrint "The Flickwell movie player could not be registered"
  ${Else}
    DetailPrint "${FLASH_PROGID} is already installed ($0); the Flickwell movie player stays unregistered"
  ${EndIf}
  DeleteRegValue HKLM "${UNINSTALL_KEY}" "PlayerRegistered"
FunctionEnd

Section "Uninstall"
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "PlayerRegistered"
  ${If} $0 == 1
    UnRegDLL "$INSTDIR\${PLAYER_FILE}"
  ${EndIf}

  Delete "$INSTDIR\qmwizard.exe"
  Delete "$INSTDIR\qmbuild.exe"
  Delete "$INSTDIR\template.scr"
  Delete "$INSTDIR\setup.ex_"
  Delete "$INSTDIR\${PLAYER_FILE}"
  Delete "$INSTDIR\uninstall.exe"
  ; Only if empty: a file the user put there stays, and so does its folder.
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "${MENU_FOLDER}\Flickwell Wizard.lnk"
  Delete "${MENU_FOLDER}\Uninstall Flickwell.lnk"
  RMDir "${MENU_FOLDER}"

  DeleteRegKey HKLM "${APP_PATHS_KEY}"
  ; Last, so that whoever waits for the uninstall to finish can watch this entry.
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
