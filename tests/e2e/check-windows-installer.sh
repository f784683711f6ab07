#!/usr/bin/env bash
# Installs the Windows installer under Wine in a fresh prefix, as a user would, and checks:
#  - the package asks for no elevated rights and `msiexec /i ... /qn` installs it without a
#    question: into %LOCALAPPDATA%\Programs\Quorvane the very files of the zip, the Start menu
#    entries "Quorvane" and "QuorvaneB (consumption meter)" pointing at Quorvane.exe and
#    QuorvaneB.exe there, both starting in Documents\Quorvane, which the installer made;
#  - started through the "Quorvane" entry, the program reads mytoken.txt from Documents\Quorvane
#    and the gateway simulator (on 127.0.0.1, its address stored in the registry beforehand)
#    accepts its requests;
#  - installing the same package again, then a later version's, leaves one installed product,
#    the later one, in the same place; the earlier package does not install over it;
#  - `msiexec /x ... /qn` takes away the program folder and the Start menu entries, and leaves
#    Documents\Quorvane with the token and the settings and certificate pins in the registry.
# Usage: check-windows-installer.sh MSI LATER-MSI ZIP SIMULATOR WINDOWSPROBE INSTALLERPROBE
#   LATER-MSI is the same program packed with a later version number; ZIP is the package that
#   the same install rules made.
# Environment: WINEPREFIX (a prepared prefix: its virtual desktop, if any, is copied), DISPLAY.
set -uo pipefail
msi=$1
later_msi=$2
zip=$3
simulator=$4
windows_probe=$5
installer_probe=$6
# shellcheck source=windows-checks.sh
source "$(dirname "$(realpath "$0")")/windows-checks.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-windows-installer.XXXXXX")
simulator_pid=
desktop_size=$(wine_desktop_size)
wine_use_prefix "$work/prefix"
cleanup() {
    [[ -n "$simulator_pid" ]] && kill "$simulator_pid" 2>/dev/null
    wine_stop
    rm -rf "$work"
}
trap cleanup EXIT

probe() { "$wine" "$installer_probe" "$@" 2>/dev/null | tr -d '\r'; }
unix_path() { "$wine" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
windows_path() { "$wine" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
# msiexec OPTION PACKAGE: quiet, no answer needed (a question would hang: time-out).
msiexec() {
    timeout 300 "$wine" msiexec "$1" "$(windows_path "$2")" /qn >"$work/msiexec.log" 2>&1
}
installed() { probe products "$upgrade_code" | awk '{ print $2 }' | tr '\n' ' ' | sed 's/ $//'; }

# --- A fresh prefix --------------------------------------------------------------------------
if ! wine_boot >"$work/wineboot.log" 2>&1; then
    fail "wineboot in a fresh prefix"
    finish
fi
if [[ -n "$desktop_size" ]]; then
    wine_desktop "$desktop_size"
fi

# --- The package -----------------------------------------------------------------------------
version=$(basename "$msi" .msi | sed -E 's/^Quorvane-(.*)-win64$/\1/')
probe package "$msi" >"$work/package"
upgrade_code=$(awk '$1 == "UpgradeCode" { print $2 }' "$work/package")
expect "ProductVersion" "$(awk '$1 == "ProductVersion" { print $2 }' "$work/package")" "$version"
expect "ALLUSERS (per user when empty)" "$(awk '$1 == "ALLUSERS" { print $2 }' "$work/package")" ""
expect "rights" "$(tail -1 "$work/package")" "elevation not needed"
later_version=$(basename "$later_msi" .msi | sed -E 's/^Quorvane-(.*)-win64$/\1/')
probe package "$later_msi" >"$work/later-package"
expect "the later package's UpgradeCode" \
    "$(awk '$1 == "UpgradeCode" { print $2 }' "$work/later-package")" "$upgrade_code"
[[ -n "$upgrade_code" ]] || { fail "no UpgradeCode in $(basename "$msi")"; finish; }

# --- Installed -------------------------------------------------------------------------------
msiexec /i "$msi"
expect "msiexec /i $(basename "$msi") /qn" "$?" 0
expect "installed products" "$(installed)" "$version"

local_app_data=$(probe folder localappdata)
documents=$(probe folder documents)
start_menu=$(probe folder programs)
program_folder="$local_app_data\\Programs\\Quorvane"
working_folder="$documents\\Quorvane"
program_unix=$(unix_path "$program_folder")
working_unix=$(unix_path "$working_folder")
start_menu_unix=$(unix_path "$start_menu")

# The installed files are the zip's, and nothing more: the same names and sizes (not the same
# bytes: stripping writes its time into each program's and DLL's header).
mkdir "$work/zip"
unzip -q "$zip" -d "$work/zip"
same_files() {
    diff <(cd "$work/zip/$(basename "$zip" .zip)" && find . -type f -printf '%P %s\n' | sort) \
        <(cd "$program_unix" && find . -type f -printf '%P %s\n' | sort) >"$work/diff" 2>&1
}
if same_files; then
    pass "$program_folder holds the zip's $(find "$program_unix" -type f | wc -l) files"
else
    fail "$program_folder differs from the zip: $(head -5 "$work/diff" | tr '\n' ' ')"
fi
if [[ -d "$working_unix" ]]; then pass "$working_folder was made"; else fail "no $working_folder"; fi

shortcuts=("Quorvane|Quorvane.exe" "QuorvaneB (consumption meter)|QuorvaneB.exe")
check_shortcuts() {
    local entry name exe link
    for entry in "${shortcuts[@]}"; do
        name=${entry%|*}
        exe=${entry#*|}
        link="$start_menu\\$name.lnk"
        if [[ ! -f "$start_menu_unix/$name.lnk" ]]; then
            fail "no Start menu entry $link"
            continue
        fi
        probe shortcut "$link" >"$work/shortcut"
        expect "\"$name\" starts" "$(sed -n 1p "$work/shortcut")" "$program_folder\\$exe"
        # The installer stores the folder with a closing backslash.
        expect "\"$name\" starts in" "$(sed -n 2p "$work/shortcut" | sed 's/\\$//')" \
            "$working_folder"
    done
}
check_shortcuts

# --- Started through the Start menu entry ----------------------------------------------------
token=installer-check-$RANDOM$RANDOM
printf '%s' "$token" >"$working_unix/mytoken.txt"
"$simulator" --port 0 --token "$token" -v >"$work/simulator.out" 2>"$work/simulator.log" &
simulator_pid=$!
for _ in $(seq 100); do
    grep -q '^listening on' "$work/simulator.out" 2>/dev/null && break
    sleep 0.1
done
port=$(sed -nE 's/^listening on 127\.0\.0\.1:([0-9]+)$/\1/p' "$work/simulator.out")
[[ -n "$port" ]] || { fail "the simulator did not start"; finish; }
# An earlier run's settings with the simulator's address. The program takes the stored settings
# only when Top is among them; Top is stored as a number, which the closing program rewrites as
# text.
reg_add Top REG_DWORD 1500
reg_add Left REG_SZ 1500
reg_add Height REG_SZ 2160
reg_add Width REG_SZ 4575
reg_add IP REG_SZ "127.0.0.1:$port"
reg_add Write REG_SZ 0
reg_add OnTop REG_SZ False
# Without them the program would poll its design address: no start then.
expect "stored Top before the start" "$(registry_value Settings Top)" "REG_DWORD 0x5dc" &&
    expect "stored IP before the start" "$(registry_value Settings IP)" \
        "REG_SZ 127.0.0.1:$port" || finish
# Started from another folder: only the shortcut can take it to Documents\Quorvane. `start`
# does not wait for a program started through a shortcut: its window tells when it has ended.
(cd "$work" && "$wine" start /unix "$start_menu_unix/Quorvane.lnk" >"$work/program.log" 2>&1)
window=$("$wine" "$windows_probe" find QuorvaneT 60 2>/dev/null | tr -d '\r')
[[ -n "$window" ]] || fail "no window from the \"Quorvane\" Start menu entry"
for _ in $(seq 600); do
    grep -q '^replied ' "$work/simulator.log" && break
    sleep 0.1
done
replies=$(sed -n 's/^replied //p' "$work/simulator.log" | sort -u | tr '\n' ' ' | sed 's/ $//')
expect "the gateway's replies to the program started by \"Quorvane\"" "$replies" 200 ||
    tail -n 5 "$work/simulator.log" "$work/program.log"
if [[ -n "$window" ]]; then
    "$wine" "$windows_probe" close "$window" >/dev/null 2>&1
    if "$wine" "$windows_probe" gone QuorvaneT 30 >/dev/null 2>&1; then
        pass "the program started by \"Quorvane\" ended on WM_CLOSE"
    else
        fail "the program started by \"Quorvane\" still runs 30 s after WM_CLOSE"
    fi
fi
kill "$simulator_pid" 2>/dev/null
wait "$simulator_pid" 2>/dev/null
simulator_pid=
expect "Top saved at the close" "$(registry_value Settings Top)" "REG_SZ 1500"
stored_ip=$(registry_value Settings IP)
expect "stored IP" "$stored_ip" "REG_SZ 127.0.0.1:$port"
pins=$("$wine" reg query 'HKCU\Software\Quorvane\Quorvane\Certificates' 2>/dev/null |
    tr -d '\r' | grep -c REG_SZ)
((pins > 0)) && pass "$pins certificate pin(s) stored" || fail "no certificate pin stored"

# --- Installed again, then a later version ---------------------------------------------------
msiexec /i "$msi"
expect "msiexec /i $(basename "$msi") /qn again" "$?" 0
expect "installed products after installing it again" "$(installed)" "$version"
msiexec /i "$later_msi"
expect "msiexec /i $(basename "$later_msi") /qn" "$?" 0
expect "installed products after the later version" "$(installed)" "$later_version"
# Refused by its launch condition (status 1603) or taken as the product already removed (0):
# either way the later version stays the one installed.
msiexec /i "$msi"
expect "installed products after $(basename "$msi") over the later version" "$(installed)" \
    "$later_version"
same_files && pass "$program_folder holds the zip's files after the upgrade" ||
    fail "$program_folder after the upgrade: $(head -5 "$work/diff" | tr '\n' ' ')"
check_shortcuts

# --- Removed ---------------------------------------------------------------------------------
msiexec /x "$later_msi"
expect "msiexec /x $(basename "$later_msi") /qn" "$?" 0
expect "installed products after the removal" "$(installed)" ""
if [[ -e "$program_unix" ]]; then
    fail "$program_folder is left: $(find "$program_unix" | head -5 | tr '\n' ' ')"
else
    pass "$program_folder is gone"
fi
for entry in "${shortcuts[@]}"; do
    name=${entry%|*}
    [[ -e "$start_menu_unix/$name.lnk" ]] && fail "the Start menu entry \"$name\" is left" ||
        pass "the Start menu entry \"$name\" is gone"
done
expect "$working_folder\\mytoken.txt after the removal" "$(cat "$working_unix/mytoken.txt" 2>&1)" \
    "$token"
expect "stored IP after the removal" "$(registry_value Settings IP)" "$stored_ip"
left=$("$wine" reg query 'HKCU\Software\Quorvane\Quorvane\Certificates' 2>/dev/null |
    tr -d '\r' | grep -c REG_SZ)
expect "certificate pins after the removal" "$left" "$pins"
finish
