# shellcheck shell=bash
# Wine and a virtual X display for the Windows checks, sourced by scripts/windows-check.sh,
# scripts/screenshot-windows.sh and tests/e2e/check-windows-*.sh.
# Sets $wine and $wineserver (QUORVANE_WINE and QUORVANE_WINESERVER override them).

wine=${QUORVANE_WINE:-/usr/lib/wine/wine64}
wineserver=${QUORVANE_WINESERVER:-/usr/lib/wine/wineserver}

# wine_use_prefix FOLDER: Wine works in the prefix FOLDER (made on the first start), quietly,
# with no Mono or Gecko installer (they would try to download) and no menu entries.
wine_use_prefix() {
    export WINEPREFIX=$1
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree=d;mshtml=d;winemenubuilder.exe=d"
}

# wine_boot: sets the prefix up (about 10 s), waits until it is complete, and makes the user's
# profile folders (Documents, Desktop, Downloads, Templates, ...) real folders inside the prefix:
# a new prefix links them to the host's home folder, where no check may read or write.
wine_boot() {
    "$wine" wineboot -i && "$wineserver" -w || return 1
    local link
    while IFS= read -r -d '' link; do
        rm "$link" && mkdir "$link" || return 1
    done < <(find "$WINEPREFIX/drive_c/users" -type l -print0)
}

# wine_stop: ends every Wine program of the prefix and waits for the end.
wine_stop() {
    "$wineserver" -k >/dev/null 2>&1
    "$wineserver" -w >/dev/null 2>&1
}

# wine_desktop WIDTHxHEIGHT: Wine's own desktop of that size, which draws window frames as
# Windows does (no X window manager needed).
wine_desktop() {
    "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$1" /f >/dev/null 2>&1
}

# wine_desktop_size: the size of Wine's desktop in the prefix, if it has one.
wine_desktop_size() {
    "$wine" reg query 'HKCU\Software\Wine\Explorer\Desktops' /v Default 2>/dev/null |
        tr -d '\r' | awk '$1 == "Default" { print $3 }'
}

# wine_dpi DOTS: the screen's dots per inch (96 is 100 %).
wine_dpi() {
    "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
        >/dev/null 2>&1
}

# xvfb_start FOLDER WIDTHxHEIGHT: a virtual X server on a free display, its number in
# FOLDER/display and its messages in FOLDER/xvfb.log; exports DISPLAY, sets $xvfb_pid.
xvfb_start() {
    Xvfb -displayfd 3 -screen 0 "$2x24" -nolisten tcp 3>"$1/display" >"$1/xvfb.log" 2>&1 &
    # shellcheck disable=SC2034 # for the caller to end it
    xvfb_pid=$!
    for _ in $(seq 100); do
        [[ -s "$1/display" ]] && break
        sleep 0.1
    done
    DISPLAY=":$(cat "$1/display")"
    export DISPLAY
}
