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
#  - the entry under Settings, Apps shows the program's icon, its install location and its
#    publisher;
#  - after the upgrade, `msiexec /x {PRODUCT-CODE} /qn` with the product code the README says
#    where to find removes it, takes away the program folder, the Start menu entries and every
#    folder the installer made that is empty then, and leaves Documents\Quorvane with the token
#    and the settings and certificate pins in the registry;
#  - the prefix's profile folders (Documents and the others) are folders of the prefix, not
#    links to the host's home, so nothing is written outside the check's scratch folder.
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

desktop_size=$(wine_desktop_size)
work_folder windows-installer
wine_use_prefix "$work/prefix"

probe() { "$wine" "$installer_probe" "$@" 2>/dev/null | tr -d '\r'; }
unix_path() { "$wine" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
windows_path() { "$wine" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
# msiexec OPTION PACKAGE: quiet, no answer needed (a question would hang: time-out).
msiexec() {
    msiexec_product "$1" "$(windows_path "$2")"
}
msiexec_product() { # msiexec_product OPTION PRODUCT-CODE-OR-WINDOWS-PATH
    timeout 300 "$wine" msiexec "$1" "$2" /qn >"$work/msiexec.log" 2>&1
}
# The empty folders under the prefix's drive C, one a line, sorted.
empty_folders() { find "$WINEPREFIX/drive_c" -type d -empty -printf '%P\n' | sort; }
# uninstall_value PRODUCT-CODE NAME: a value of the product's entry under Settings, Apps, from
# the current user's or the machine's list of installed programs.
uninstall_value() {
    local root
    for root in HKCU HKLM; do
        "$wine" reg query "$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1" \
            /v "$2" 2>/dev/null | tr -d '\r' |
            awk -v key="$2" '$1 == key { $1 = $2 = ""; sub(/^ +/, ""); print; found = 1 }
                END { exit !found }' && return 0
    done
    return 1
}
installed() { probe products "$upgrade_code" | awk '{ print $2 }' | tr '\n' ' ' | sed 's/ $//'; }

step "a fresh prefix"
# --- A fresh prefix --------------------------------------------------------------------------
if ! wine_boot >"$work/wineboot.log" 2>&1; then
    fail "wineboot in a fresh prefix"
    finish
fi
if [[ -n "$desktop_size" ]]; then
    wine_desktop "$desktop_size"
fi
# Wine links a new prefix's profile folders to the host's home; wine_boot makes them real
# folders of the prefix.
expect "links among the prefix's profile folders" \
    "$(find "$WINEPREFIX/drive_c/users" -type l -printf '%P -> %l ' 2>&1)" ""
empty_before=$(empty_folders)

step "the package's properties"
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

step "installed"
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
case $(realpath "$working_unix") in
"$(realpath "$work")"/*) pass "$working_folder is inside the check's scratch folder" ;;
*) fail "$working_folder is $(realpath "$working_unix"), outside the scratch folder" ;;
esac

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

# The entry under Settings, Apps.
check_apps_entry() { # check_apps_entry VERSION
    local code icon
    code=$(probe products "$upgrade_code" | awk -v version="$1" '$2 == version { print $1 }')
    # Windows copies the product's icon into the entry as DisplayIcon; Wine keeps it as the
    # product's icon only, which its Apps list shows.
    icon=$(uninstall_value "$code" DisplayIcon) ||
        icon=$(probe product "$code" | sed -n 's/^ProductIcon //p')
    if [[ -z "$icon" ]]; then
        fail "the Apps entry of $1 ($code) has no icon"
    elif [[ "$(head -c 4 "$(unix_path "$icon")" 2>/dev/null | od -An -tx1 | tr -d ' ')" == \
        00000100 ]]; then
        pass "the Apps entry of $1 shows the icon $icon"
    else
        fail "the Apps entry's icon $icon is no icon file"
    fi
    expect "the Apps entry's install location" \
        "$(uninstall_value "$code" InstallLocation | sed 's/\\$//')" "$program_folder"
    expect "the Apps entry's publisher" "$(uninstall_value "$code" Publisher)" \
        "The Quorvane developers"
}
check_apps_entry "$version"

step "started through the Start menu entry"
# --- Started through the Start menu entry ----------------------------------------------------
token=installer-check-$RANDOM$RANDOM
printf '%s' "$token" >"$working_unix/mytoken.txt"
start_simulator 0
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
stop_simulator
expect "Top saved at the close" "$(registry_value Settings Top)" "REG_SZ 1500"
stored_ip=$(registry_value Settings IP)
expect "stored IP" "$stored_ip" "REG_SZ 127.0.0.1:$port"
pins=$("$wine" reg query 'HKCU\Software\Quorvane\Quorvane\Certificates' 2>/dev/null |
    tr -d '\r' | grep -c REG_SZ)
((pins > 0)) && pass "$pins certificate pin(s) stored" || fail "no certificate pin stored"

step "installed again, then a later version"
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
check_apps_entry "$later_version"

step "removed by the README's command"
# --- Removed ---------------------------------------------------------------------------------
# As the README says: the product code from the registry, not the first version's .msi.
product_code=$("$wine" reg query 'HKCU\Software\Quorvane\Installer' /v ProductCode 2>/dev/null |
    tr -d '\r' | awk '$1 == "ProductCode" { print $3 }')
expect "the product code in the registry" "$product_code" \
    "$(probe products "$upgrade_code" | awk '{ print $1 }')"
msiexec_product /x "$product_code"
expect "msiexec /x $product_code /qn" "$?" 0
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
# Windows Installer's own caches (of packages, of products' icons) stay, as on any Windows.
expect "empty folders left by the removal" \
    "$(comm -13 <(echo "$empty_before") <(empty_folders) |
        grep -v -e '^windows/Installer$' -e '/AppData/Roaming/Microsoft/Installer$' |
        tr '\n' ' ')" ""
finish
