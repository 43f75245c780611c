# Wine settings shared by the scripts (sourced, not run).
export WINEPREFIX="${HARMOLOAD_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/harmoload/wine}"
# A screen of another scale (HARMOLOAD_WINE_DPI, e.g. 144 for 150 %) gets a prefix of its own:
# Wine takes the DPI from the prefix's registry, and the other tests keep 96.
if [ -n "${HARMOLOAD_WINE_DPI:-}" ] && [ "$HARMOLOAD_WINE_DPI" != 96 ]; then
    WINEPREFIX="$WINEPREFIX-dpi$HARMOLOAD_WINE_DPI"
fi
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
HARMOLOAD_WINE="${HARMOLOAD_WINE:-/usr/lib/wine/wine64}"
[ -x "$HARMOLOAD_WINE" ] || HARMOLOAD_WINE="$(command -v wine64 || command -v wine)"

# Creates the prefix once (a fresh one takes 15-20 s), with no crash dialog and unmanaged
# windows so that tests under Xvfb neither hang nor stall.
harmoload_wine_prefix() {
    local stamp="$WINEPREFIX/.harmoload-ready-2"
    [ -f "$stamp" ] && return 0
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        [ -f "$stamp" ] && exit 0
        "$HARMOLOAD_WINE" wineboot -i >/dev/null 2>&1 || true
        "$HARMOLOAD_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        "$HARMOLOAD_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
        # Dialog fonts: Arial is Liberation Sans; Chinese text falls back to WenQuanYi Micro Hei
        # in the dialog font and in the caption font (Tahoma).
        "$HARMOLOAD_WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d 'Liberation Sans' /f >/dev/null 2>&1
        if [ -n "${HARMOLOAD_WINE_DPI:-}" ]; then
            "$HARMOLOAD_WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$HARMOLOAD_WINE_DPI" /f >/dev/null 2>&1
        fi
        local face
        for face in Arial 'Liberation Sans' Tahoma; do
            "$HARMOLOAD_WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1
        done
        "$(dirname "$HARMOLOAD_WINE")/wineserver" -w 2>/dev/null || wineserver -w || true
        touch "$stamp"
    ) 9>"$WINEPREFIX.lock"
}
