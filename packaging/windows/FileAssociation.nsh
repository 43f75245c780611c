; Registers Harmoload.exe for update packages (.DAT): a program id whose open command passes the
; package as the program's one argument, an "Open with" entry, and the default action for .DAT
; only where no other program has claimed the extension. The uninstaller takes back exactly this.

!define HARMOLOAD_PROGID "Harmoload.UpdatePackage"

!macro HarmoloadRegisterPackages
  WriteRegStr SHCTX "Software\Classes\${HARMOLOAD_PROGID}" "" "Harmoload update package"
  WriteRegStr SHCTX "Software\Classes\${HARMOLOAD_PROGID}\DefaultIcon" "" "$INSTDIR\Harmoload.exe,0"
  WriteRegStr SHCTX "Software\Classes\${HARMOLOAD_PROGID}\shell\open\command" "" '"$INSTDIR\Harmoload.exe" "%1"'
  WriteRegStr SHCTX "Software\Classes\.DAT\OpenWithProgids" "${HARMOLOAD_PROGID}" ""
  WriteRegStr SHCTX "Software\Classes\Applications\Harmoload.exe\shell\open\command" "" '"$INSTDIR\Harmoload.exe" "%1"'
  WriteRegStr SHCTX "Software\Classes\Applications\Harmoload.exe\SupportedTypes" ".DAT" ""
  ClearErrors
  ReadRegStr $0 SHCTX "Software\Classes\.DAT" ""
  StrCmp $0 "" 0 +2
    WriteRegStr SHCTX "Software\Classes\.DAT" "" "${HARMOLOAD_PROGID}"
  ; Explorer reads the new association at once.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend

!macro HarmoloadUnregisterPackages
  ReadRegStr $0 SHCTX "Software\Classes\.DAT" ""
  StrCmp $0 "${HARMOLOAD_PROGID}" 0 +2
    DeleteRegValue SHCTX "Software\Classes\.DAT" ""
  DeleteRegValue SHCTX "Software\Classes\.DAT\OpenWithProgids" "${HARMOLOAD_PROGID}"
  DeleteRegKey /ifempty SHCTX "Software\Classes\.DAT\OpenWithProgids"
  DeleteRegKey /ifempty SHCTX "Software\Classes\.DAT"
  DeleteRegKey SHCTX "Software\Classes\${HARMOLOAD_PROGID}"
  DeleteRegKey SHCTX "Software\Classes\Applications\Harmoload.exe"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend
