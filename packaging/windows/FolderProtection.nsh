; The installer runs elevated; nothing it leaves behind may open a door for another user.
;
; HarmoloadProtectFolder, before any file is copied: the program folder gets the protection of
; Program Files wherever it is (a folder chosen elsewhere, such as C:\Tools, would otherwise let
; every user add files), so that no other user can plant a libusb0.dll beside the program, which
; loads it from its own folder. Administrators and SYSTEM may change it, users only read and run;
; nothing is inherited from the parent. The install stops when the folder cannot be protected.
;
; HarmoloadStartUnelevated, the Finish page's "Start Harmoload": a program the installer started
; would run elevated, and an elevated window takes no files dropped from Explorer. Explorer, which
; runs as the signed-in user, starts it instead.

!macro HarmoloadIcacls ARGUMENTS
  nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$INSTDIR" ${ARGUMENTS}'
  Pop $0
  StrCmp $0 0 +2
    Abort "The program folder could not be protected (icacls ${ARGUMENTS}: $0)."
!macroend

; Whatever the folder holds first takes its rights from the folder and the Administrators' ownership;
; then the folder's own rights replace what it inherited, and pass down to everything in it.
!macro HarmoloadProtectFolder
  CreateDirectory "$INSTDIR"
  !insertmacro HarmoloadIcacls "/reset /T /C /Q"
  !insertmacro HarmoloadIcacls "/setowner *S-1-5-32-544 /T /C /Q"
  !insertmacro HarmoloadIcacls "/inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX"
!macroend

Function HarmoloadStartUnelevated
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\Harmoload.exe"'
FunctionEnd
