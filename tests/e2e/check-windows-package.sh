#!/usr/bin/env bash
# Unpacks the Windows package into an empty folder and runs the programs in it under Wine, as a
# user would start them, against the gateway simulator on 127.0.0.1:
#  - the package holds the programs, the Qt and MinGW DLLs, the plugins, README.txt and the
#    licence texts, and nothing outside it is needed;
#  - Quorvane.exe, started with a loopback address and a file name with non-ASCII letters, writes
#    readings into that file; the four system-menu commands sent as WM_SYSCOMMAND change its
#    outer size, its z-order and show the About box, 1012 changes nothing; the same four chosen
#    from the menu that Alt+Space opens, by real keyboard input, do the same, and Minimize still
#    works from there; WM_CLOSE ends it
#    normally and leaves the seven settings in the registry as REG_SZ values, also those that an
#    earlier run had stored as numbers;
#  - after the gateway got a new certificate, the window "New gateway certificate" comes up;
#    after Esc the program sends the gateway nothing and does not ask again; in a new run Alt+T
#    trusts the certificate: readings come and the registry holds its fingerprint as the pin;
#  - --forget-certificates started as Explorer starts programs (no console) says what it did in
#    a message box; from a console it writes it there;
#  - after --forget-certificates, QuorvaneB.exe from the same folder writes readings, and the end
#    of the user's session saves its settings;
#  - a gateway restarted on the same port ten times, just after a reply or while a request waits
#    for one, is asked again within 2 s each time;
#  - WM_CLOSE while a failure notice, the "error" box or the certificate question is up ends the
#    program within 2 s with its settings saved;
#  - against a simulated day at a minute a second, the program writes its energy history into
#    %LOCALAPPDATA%\Quorvane\history; --energy prints that day's totals from a console and shows
#    them in a message box without one; Ctrl+E on the main window opens the energy window;
#  - on a screen of 120 dots per inch, the stored twips give the same outer size and place.
# Usage: check-windows-package.sh ZIP SIMULATOR WINDOWSPROBE
# Environment: WINEPREFIX (a prepared prefix, best with a virtual desktop), DISPLAY.
set -uo pipefail
zip=$1
simulator=$2
probe_exe=$3
# shellcheck source=windows-checks.sh
source "$(dirname "$(realpath "$0")")/windows-checks.sh"

work_folder windows-package

# The size of Wine's own desktop in the given prefix, if it has one.
desktop_size=$(wine_desktop_size)
# One pixel is 15 twips at 96 dpi: a size read from the window is the given twips to the pixel.
expect_twips() { # expect_twips WHAT ACTUAL EXPECTED
    if ((${2:-0} > $3 - 15 && ${2:-0} < $3 + 15)); then
        pass "$1: $2 twips (to the pixel of $3)"
    else
        fail "$1: ${2:-nothing} twips, expected $3"
    fi
}

probe() { "$wine" "$probe_exe" "$@" 2>/dev/null | tr -d '\r'; }

# Waits until FILE holds four CR LF lines.
wait_for_reading() {
    for _ in $(seq 300); do
        if [[ -f "$1" ]] && (($(grep -c $'\r$' "$1") == 4)); then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

start_program() { # start_program EXE ARGUMENTS...
    (cd "$folder" && exec "$wine" "$@" >"$work/program.log" 2>&1) &
    program_pid=$!
    window=$(probe find QuorvaneT 60)
}

# Closes the window with WM_CLOSE and checks that the program ends normally.
close_program() { # close_program NAME
    probe close "$window" >/dev/null
    local status=0
    for _ in $(seq 300); do
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$program_pid" 2>/dev/null; then
        fail "$1 still runs 30 s after WM_CLOSE"
        kill "$program_pid"
    else
        wait "$program_pid"
        status=$?
        expect "$1 exit status after WM_CLOSE" "$status" 0
    fi
    program_pid=
}

step "the package's contents"
# --- The package ---------------------------------------------------------------------------
mkdir "$work/unpacked"
if ! unzip -q "$zip" -d "$work/unpacked"; then
    fail "unzip $zip"
    finish
fi
folder=$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d)
expect "the zip unpacks into one folder" "$(basename "$folder")" "$(basename "$zip" .zip)"
for file in Quorvane.exe QuorvaneB.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6Network.dll \
    platforms/qwindows.dll tls/qschannelbackend.dll styles/qwindowsvistastyle.dll \
    libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll README.txt QT-LICENSE.txt \
    LGPL-3.txt GPL-3.txt LICENSE.txt; do
    [[ -f "$folder/$file" ]] || fail "the package lacks $file"
done
pass "the package holds the programs, DLLs, plugins, README.txt and licences"
grep -q "^MIT License" "$folder/LICENSE.txt" && pass "LICENSE.txt is Quorvane's MIT licence" ||
    fail "LICENSE.txt is not the MIT licence"
if grep -q $'\r$' "$folder/README.txt"; then pass "README.txt has CR LF line ends"; else fail "README.txt has Unix line ends"; fi

step "Quorvane.exe against the simulator"
# --- Quorvane.exe against the simulator ----------------------------------------------------
token=windows-check-$RANDOM$RANDOM
printf '%s' "$token" >"$folder/mytoken.txt"
start_simulator 0
[[ -n "$port" ]] || { fail "the simulator did not start"; cat "$work/simulator.log"; finish; }
# An earlier run's settings: Top and Left stored as numbers, writing on, not on top.
reg_add Top REG_DWORD 1500
reg_add Left REG_DWORD 1500
reg_add Height REG_SZ 2160
reg_add Width REG_SZ 4575
reg_add IP REG_SZ 127.0.0.9
reg_add Write REG_SZ 1
reg_add OnTop REG_SZ False

output="Zählerstände.txt"
start_program Quorvane.exe "127.0.0.1:$port" "$output"
if [[ -z "$window" ]]; then
    fail "Quorvane.exe shows no window"
    cat "$work/program.log"
    finish
fi
# The window's own title-bar and task-bar icons are not read here: Wine 8 answers WM_GETICON
# from another process with nothing, even for a plain Win32 window that set both. The window
# tests check them in the program's own process (ProgramIcon in windowmenu_test, run above under
# Wine); here the program carries the resource they come from and shows a window.
if wait_for_reading "$folder/$output"; then
    pass "readings reach $output: $(head -1 "$folder/$output" | tr -d '\r') ..."
else
    fail "no reading in $output (folder: $(ls "$folder" | tr '\n' ' '))"
fi
grep -q "GET /ivp/meters/readings" "$work/simulator.log" && pass "the gateway was asked with the token" || fail "the simulator saw no request"

step "the system-menu commands sent as WM_SYSCOMMAND"
# Sends a system-menu command and reads the window's outer size after it.
command_then_size() {
    probe syscommand "$window" "$1" >/dev/null
    sleep 0.5
    read -r width height <<<"$(probe size "$window")"
}
read -r width height <<<"$(probe size "$window")"
expect_twips "outer width with writing on" "$width" 5265
expect_twips "outer height" "$height" 2160
command_then_size 1011
expect_twips "outer width after 1011" "$width" 9165
command_then_size 1011
expect_twips "outer width after 1011 again" "$width" 5265
command_then_size 1013
expect_twips "outer height after 1013" "$height" 3560
command_then_size 1013
expect_twips "outer height after 1013 again" "$height" 2160
expect "topmost before 1010" "$(probe topmost "$window")" 0
probe syscommand "$window" 1010 >/dev/null
sleep 0.5
expect "topmost after 1010" "$(probe topmost "$window")" 1
probe syscommand "$window" 1012 >/dev/null
sleep 0.5
expect "size after 1012" "$(probe size "$window" | awk '{ print int(($1 + 7) / 15), int(($2 + 7) / 15) }')" \
    "$((5265 / 15)) $((2160 / 15))"
expect "topmost after 1012" "$(probe topmost "$window")" 1
probe syscommand "$window" 1015 >/dev/null
about=$(probe about 10)
if [[ -n "$about" ]]; then
    expect "About box text" "$(head -1 <<<"$about")" "Quorvane, Display Envoy info realtime."
    expect "About box credit line" "$(sed -n 2p <<<"$about")" "Quorvane 3.1.4 — Qt 6.4.2 — MIT licence"
    expect "About box icon" "$(tail -1 <<<"$about")" "icon: shown"
else
    fail "1015 showed no About box"
fi
step "the system-menu commands by keyboard"
# The same four commands from the keyboard: Alt+Space opens the system menu with its first item
# highlighted, Up wraps round to the last ("About..."), the commands come above it in turn.
menu_keys() { # menu_keys WHAT KEYS...
    local what=$1
    shift
    probe menukeys "$window" "$@" >/dev/null || fail "$what: the system menu did not open and close by keyboard"
    sleep 0.5
}
menu_keys "Show Settings... by keyboard" up up up enter
read -r width height <<<"$(probe size "$window")"
expect_twips "outer width after Show Settings... by keyboard" "$width" 9165
menu_keys "Show Settings... by keyboard again" up up up enter
read -r width height <<<"$(probe size "$window")"
expect_twips "outer width after Show Settings... by keyboard again" "$width" 5265
menu_keys "Show Phases... by keyboard" up up enter
read -r width height <<<"$(probe size "$window")"
expect_twips "outer height after Show Phases... by keyboard" "$height" 3560
menu_keys "Show Phases... by keyboard again" up up enter
read -r width height <<<"$(probe size "$window")"
expect_twips "outer height after Show Phases... by keyboard again" "$height" 2160
menu_keys "Stay On Top toggle.. by keyboard" up up up up enter
expect "topmost after Stay On Top toggle.. by keyboard" "$(probe topmost "$window")" 0
menu_keys "Stay On Top toggle.. by keyboard again" up up up up enter
expect "topmost after Stay On Top toggle.. by keyboard again" "$(probe topmost "$window")" 1
probe menukeys "$window" up enter >/dev/null &
about=$(probe about 10)
wait $!
if [[ -n "$about" ]]; then
    expect "About box by keyboard" "$(head -1 <<<"$about")" "Quorvane, Display Envoy info realtime."
else
    fail "About... by keyboard showed no About box"
fi
# The system's own commands still work from the keyboard: Minimize by its underlined letter.
menu_keys "Minimize by keyboard" n
expect "minimised after Minimize by keyboard" "$(probe iconic "$window")" 1
probe syscommand "$window" 0xF120 >/dev/null # SC_RESTORE
sleep 0.5
expect "restored after SC_RESTORE" "$(probe iconic "$window")" 0
step "the settings stored at the close"
# Back to the phase panel, so that the sizes stored at the close are not the design ones.
probe syscommand "$window" 1013 >/dev/null
sleep 0.5
close_program Quorvane.exe
for key in Top Left Height Width IP Write OnTop; do
    [[ "$(registry_value Settings "$key")" == REG_SZ* ]] ||
        fail "setting $key is $(registry_value Settings "$key")"
done
pass "the seven settings are REG_SZ values"
expect "stored Top" "$(registry_value Settings Top)" "REG_SZ 1500"
expect "stored Height" "$(registry_value Settings Height)" "REG_SZ 3560"
expect "stored Width" "$(registry_value Settings Width)" "REG_SZ 5265"
expect "stored IP" "$(registry_value Settings IP)" "REG_SZ 127.0.0.1:$port"
expect "stored Write" "$(registry_value Settings Write)" "REG_SZ 1"
expect "stored OnTop" "$(registry_value Settings OnTop)" "REG_SZ True"

# Waits until FILE holds a reading: four lines, the first a time stamp. While the certificate
# question waits, the file already says "Wrong/No IP address".
wait_for_time_stamp() {
    for _ in $(seq 300); do
        if wait_for_reading "$1" && [[ "$(head -n 1 "$1" | tr -d '\r')" != "Wrong/No IP address" ]]
        then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

step "a changed certificate, refused with Esc"
# --- A changed certificate -------------------------------------------------------------------
stop_simulator
# A new simulator on the same port presents a new self-signed certificate.
start_simulator "$port"
renewed=$(sed -nE 's/^certificate sha256 ([0-9A-F:]+)$/\1/p' "$work/simulator.out")
title="New gateway certificate"
rm -f "$folder/$output"
start_program Quorvane.exe "127.0.0.1:$port" "$output"
dialog=$(probe find "$title" 60)
if [[ -n "$dialog" ]]; then
    pass "the window '$title' comes up"
    probe keys "$dialog" esc >/dev/null
    if probe gone "$title" 10; then pass "Esc closes it"; else fail "Esc left '$title' open"; fi
    # Polling goes on meanwhile, once a second, each poll refused.
    sleep 10
    [[ -z "$(probe find "$title" 1)" ]] && pass "not asked again about the same certificate" ||
        fail "asked again about the same certificate"
else
    fail "no window '$title' (program log: $(tr '\n' ' ' <"$work/program.log"))"
fi
if grep -q "GET" "$work/simulator.log"; then
    fail "a request reached the gateway with the changed certificate"
else
    pass "nothing was sent to the gateway with the changed certificate"
fi
# Polling goes on under the failure notice, so the file may be written, but with no reading.
first_line=$(head -n 1 "$folder/$output" 2>/dev/null | tr -d '\r' || true)
if [[ -n "$first_line" && "$first_line" != "Wrong/No IP address" ]]; then
    fail "a reading was written from the changed gateway: $first_line"
else
    pass "no reading from the changed gateway"
fi
# Closed while the failure notice is up.
[[ -n "$window" ]] && close_program "Quorvane.exe with a changed certificate"

step "a changed certificate, trusted with Alt+T"
# A new run asks again; Alt+T trusts the new certificate.
rm -f "$folder/$output"
start_program Quorvane.exe "127.0.0.1:$port" "$output"
dialog=$(probe find "$title" 60)
if [[ -n "$dialog" ]]; then
    probe keys "$dialog" alt+t >/dev/null
    if wait_for_time_stamp "$folder/$output"; then
        pass "after Alt+T readings from the renewed gateway reach $output"
    else
        fail "no reading after Alt+T"
    fi
    pin=$("$wine" reg query 'HKCU\Software\Quorvane\Quorvane\Certificates' /v "127.0.0.1:$port" \
        2>/dev/null | tr -d '\r' | awk -v key="127.0.0.1:$port" '$1 == key { print $2, $3 }')
    expect "the pin in the registry after Alt+T" "$pin" "REG_SZ $renewed"
else
    fail "a new run did not ask about the new certificate"
fi
[[ -n "$window" ]] && close_program "Quorvane.exe after trusting the new certificate"

step "--forget-certificates in a message box"
# --forget-certificates as Explorer starts it: no console, so a message box says what it did.
probe detached "$("$wine" winepath -w "$folder/Quorvane.exe" 2>/dev/null | tr -d '\r')" \
    --forget-certificates >/dev/null
said=$(probe box Quorvane 30 | head -1)
expect "--forget-certificates without a console, in a message box" "$said" \
    "Forgot 1 pinned gateway certificate."
step "pinning the certificate again"
# Pinned again for the console run below.
rm -f "$folder/$output"
start_program Quorvane.exe "127.0.0.1:$port" "$output"
wait_for_reading "$folder/$output" >/dev/null
[[ -n "$window" ]] && close_program "Quorvane.exe pinning again"

step "QuorvaneB.exe after --forget-certificates, ended with the session"
# --- QuorvaneB.exe after --forget-certificates, ended with the session ------------------------
forgot=$(cd "$folder" && "$wine" Quorvane.exe --forget-certificates 2>/dev/null | tr -d '\r')
if [[ "$forgot" =~ ^Forgot\ [1-9][0-9]*\ pinned\ gateway\ certificates?\.$ ]]; then
    pass "Quorvane.exe --forget-certificates: $forgot"
else
    fail "Quorvane.exe --forget-certificates: '$forgot'"
fi
start_program QuorvaneB.exe "127.0.0.1:$port" consumption.txt
if [[ -n "$window" ]] && wait_for_reading "$folder/consumption.txt"; then
    pass "QuorvaneB.exe trusts the new certificate and writes readings"
else
    fail "QuorvaneB.exe wrote no reading"
fi
if [[ -n "$window" ]]; then
    probe syscommand "$window" 1011 >/dev/null
    sleep 0.5
    # The user's session ends: Wine sends WM_QUERYENDSESSION and WM_ENDSESSION, then ends the
    # programs that are left (so its status is not the program's: not waited for).
    disown "$program_pid"
    "$wine" wineboot --end-session >/dev/null 2>&1
    for _ in $(seq 100); do
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$program_pid" 2>/dev/null && fail "QuorvaneB.exe still runs after the session's end"
    program_pid=
    expect "Width stored at the session's end" "$(registry_value Settings Width)" "REG_SZ 9165"
fi
stop_simulator

step "a gateway restarted on the same port"
# --- A gateway restarted on the same port, ten times -----------------------------------------
# With the certificate it had, as a real gateway keeps it, and with replies that take 400 ms. It
# goes down in turn just after a reply (the kept connection is dropped while idle) and while a
# request waits for its reply (the kept connection is dropped under the request, which goes out
# again on a new connection while nothing listens). Neither may hold a request for the client's
# ten seconds: each time the restarted gateway is asked within 2 s (the delay is 1 s) and the
# reading reaches the file.
if openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/gateway.key" -out "$work/gateway.pem" \
    -subj /CN=127.0.0.1 -days 2 >/dev/null 2>&1; then
    restarted_gateway=(--cert "$work/gateway.pem" --key "$work/gateway.key" --delay 400)
    start_simulator 0 "${restarted_gateway[@]}"
    start_program Quorvane.exe "127.0.0.1:$port" restart.txt
    if [[ -n "$window" ]] && wait_for_reading "$folder/restart.txt"; then
        late=()
        for restart in $(seq 10); do
            # Just after a reply.
            replies=$(grep -c '^replied' "$work/simulator.log")
            for _ in $(seq 60); do
                (($(grep -c '^replied' "$work/simulator.log") > replies)) && break
                sleep 0.05
            done
            if ((restart % 2 == 0)); then
                # Then while the next request, on the connection that reply came on, waits.
                for _ in $(seq 60); do
                    (($(grep -c '^GET' "$work/simulator.log") > replies + 1)) && break
                    sleep 0.05
                done
            fi
            stop_simulator
            start_simulator "$port" "${restarted_gateway[@]}"
            asked=0
            for _ in $(seq 20); do
                grep -q "GET /ivp/meters/readings" "$work/simulator.log" && { asked=1; break; }
                sleep 0.1
            done
            ((asked)) || late+=("$restart")
        done
        # The reading of the last restart, and no failure notice's "Wrong/No IP address".
        sleep 1.5
        if ((${#late[@]} == 0)); then
            pass "after each of ten restarts on the same port the gateway was asked within 2 s"
        else
            fail "after restarts ${late[*]} of ten the gateway was not asked within 2 s"
        fi
        expect "the reading after the restarts" "$(head -1 "$folder/restart.txt" | tr -d '\r' |
            grep -c 'Wrong/No IP address')" 0
    else
        fail "Quorvane.exe wrote no reading before the restarts"
    fi
    [[ -n "$window" ]] && close_program "Quorvane.exe after the gateway's restarts"
    stop_simulator
else
    fail "openssl made no certificate for the restarted gateway"
fi

step "WM_CLOSE under a notice, the \"error\" box and the certificate question"
# --- WM_CLOSE under a notice, the "error" box and the certificate question ----------------------
# Each on a gateway of its own: the program ends within 2 s of WM_CLOSE, with its settings saved
# (that gateway's address in place of the stored one), as a close at any other time ends it; the
# question is answered as "Keep refusing", so the pin stays.
printf '{"error":"busy"}' >"$work/error-reply.json"
close_under_modal() { # close_under_modal WHAT TITLE [SIMULATOR-OPTIONS...]
    local what=$1 title=$2 modal="" pin="00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF"
    start_simulator 0 "${@:3}"
    if [[ -z "$port" ]]; then
        fail "WM_CLOSE under $what: the simulator did not start"
        return
    fi
    reg_add IP REG_SZ 127.0.0.9
    if [[ "$title" == "New gateway certificate" ]]; then
        "$wine" reg add 'HKCU\Software\Quorvane\Quorvane\Certificates' /v "127.0.0.1:$port" \
            /t REG_SZ /d "$pin" /f >/dev/null 2>&1
    fi
    start_program Quorvane.exe "127.0.0.1:$port" close-check.txt
    # The start-up notices come first; the window wanted is the one polling opens.
    for _ in $(seq 60); do
        [[ -z "$window" ]] && break
        if [[ "$title" == "New gateway certificate" ]] || grep -q "GET" "$work/simulator.log"; then
            modal=$(probe findexact "$title" 1)
            [[ -n "$modal" && "$modal" != "$window" ]] && break
        fi
        modal=""
        sleep 0.5
    done
    if [[ -z "$modal" ]]; then
        fail "WM_CLOSE under $what: no window '$title' came up"
        [[ -n "$window" ]] && close_program "Quorvane.exe without $what"
        stop_simulator
        return
    fi
    probe close "$window" >/dev/null
    for _ in $(seq 20); do
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$program_pid" 2>/dev/null; then
        fail "Quorvane.exe still runs 2 s after WM_CLOSE under $what"
        kill "$program_pid"
    else
        wait "$program_pid"
        expect "exit status after WM_CLOSE under $what" "$?" 0
        expect "IP saved at WM_CLOSE under $what" "$(registry_value Settings IP)" \
            "REG_SZ 127.0.0.1:$port"
        if [[ "$title" == "New gateway certificate" ]]; then
            expect "the pin kept at WM_CLOSE under $what" \
                "$(registry_value Certificates "127.0.0.1:$port")" "REG_SZ $pin"
        fi
    fi
    program_pid=
    stop_simulator
}
close_under_modal "a failure notice" "Message (auto closes)" --status 500
close_under_modal 'the "error" box' "Quorvane" --body "$work/error-reply.json"
close_under_modal "the certificate question" "New gateway certificate"
step "the energy history in %LOCALAPPDATA%"
# --- The energy history ---------------------------------------------------------------------
# A simulated day from noon at a minute a second: the program writes a snapshot of the meters'
# counters each new minute of the readings' time and one at its end, into the day's file.
local_app_data=$("$wine" cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
history="$("$wine" winepath -u "$local_app_data\\Quorvane\\history" 2>/dev/null | tr -d '\r')"
rm -rf "$history"
day=$(date +%F)
start_simulator 0 --start 12:00 --speed 60
day_file="$history/$day.csv"
# Lines of the day's file after its header.
snapshots() { tail -n +2 "$day_file" 2>/dev/null | grep -c '^[0-9]' || true; }
if [[ -z "$port" ]]; then
    fail "the simulator did not start at 12:00 with --speed 60"
else
    start_program Quorvane.exe "127.0.0.1:$port"
    if [[ -n "$window" ]]; then
        for _ in $(seq 300); do
            (($(snapshots) >= 2)) && break
            sleep 0.1
        done
        step "the energy window by Ctrl+E"
        probe keys "$window" ctrl+e >/dev/null
        # "Quorvane — Energy", found by the start of its title: the probe reads its arguments in
        # the ANSI code page, not as the UTF-8 this script passes.
        energy_title="Quorvane "
        energy_window=$(probe find "$energy_title" 30)
        if [[ -n "$energy_window" ]]; then
            pass "Ctrl+E on the main window opens the energy window"
            read -r width height <<<"$(probe size "$energy_window")"
            if ((${width:-0} > 0 && ${height:-0} > 0)); then
                pass "the energy window is $width x $height twips"
            else
                fail "the energy window's size is '$width x $height'"
            fi
        else
            fail "Ctrl+E on the main window opened no energy window"
        fi
        close_program "Quorvane.exe writing the energy history"
        probe gone "$energy_title" 10 || fail "the energy window stays after the program's end"
        step "the energy history in %LOCALAPPDATA%"
    else
        fail "Quorvane.exe shows no window for the energy history"
    fi
    stop_simulator
fi
if [[ -f "$day_file" ]]; then
    pass "the history is in ${local_app_data}\\Quorvane\\history: $(ls "$history" | tr '\n' ' ')"
    expect "the day file's header" "$(head -1 "$day_file" | tr -d '\r')" \
        "timestamp,production_dlvd_wh,production_rcvd_wh,second_dlvd_wh,second_rcvd_wh"
    lines=$(snapshots)
    # At a minute a second each reading starts a new minute: one snapshot a reading.
    if ((lines >= 2)); then
        pass "$lines snapshots, a simulated minute apart"
    else
        fail "$lines snapshots in $day.csv, expected two or more a simulated minute apart"
    fi
else
    fail "no $day.csv in ${local_app_data}\\Quorvane\\history ($(ls -R "$history" 2>&1 | tr '\n' ' '))"
fi

step "--energy from a console and in a message box"
header="date,produced_wh,consumed_wh,imported_wh,exported_wh,complete"
# The day's energies from its first and last snapshot (no counter fell): produced, consumed,
# imported and exported to the watt-hour, and not complete (it began at noon).
expected=$(tail -n +2 "$day_file" 2>/dev/null | tr -d '\r' | awk -F, -v day="$day" '
    function rounded(x) { return x < 0 ? -int(-x + 0.5) : int(x + 0.5) }
    NR == 1 { for (i = 2; i <= 5; ++i) first[i] = $i }
    { for (i = 2; i <= 5; ++i) last[i] = $i }
    END {
        produced = last[2] - first[2]; inverters = last[3] - first[3]
        imported = last[4] - first[4]; exported = last[5] - first[5]
        printf "%s,%d,%d,%d,%d,no\n", day, rounded(produced),
            rounded(produced - inverters + imported - exported), rounded(imported), rounded(exported)
    }')
printed=$(cd "$folder" && "$wine" Quorvane.exe --energy 2>"$work/energy.err" | tr -d '\r')
expect "Quorvane.exe --energy from a console" "$printed" "$header"$'\n'"$expected"
[[ -s "$work/energy.err" ]] && grep -v -i 'gnutls\|^wine\|fixme' "$work/energy.err" | sed 's/^/    /'
probe detached "$("$wine" winepath -w "$folder/Quorvane.exe" 2>/dev/null | tr -d '\r')" \
    --energy >/dev/null
said=$(probe box Quorvane 30 | sed '/^icon: /d')
expect "Quorvane.exe --energy without a console, in a message box" "$said" "$printed"

step "at 120 dots per inch"
# --- At 120 dots per inch -----------------------------------------------------------------------
# A fresh prefix whose screen has 120 pixels to the inch (125 %): the stored twips are the same
# outer size and place, so the window is 12 twips to the pixel.
export WINEPREFIX="$work/prefix-120dpi"
if wine_boot >/dev/null 2>&1; then
    wine_dpi 120
    if [[ -n "$desktop_size" ]]; then
        wine_desktop "$desktop_size"
    fi
    for setting in "Top 1500" "Left 1500" "Height 3560" "Width 9165" "IP 127.0.0.9" "Write 0" \
        "OnTop False"; do
        reg_add "${setting%% *}" REG_SZ "${setting#* }"
    done
    start_program Quorvane.exe
    if [[ -n "$window" ]]; then
        sleep 12 # the token notice and the greeting, five seconds each, come before the settings
        read -r width height <<<"$(probe size "$window")"
        expect_twips "outer width at 120 dpi" "$width" 9165
        expect_twips "outer height at 120 dpi" "$height" 3560
        expect "outer left and top at 120 dpi" "$(probe place "$window")" "1500 1500"
        close_program "Quorvane.exe at 120 dpi"
    else
        fail "Quorvane.exe shows no window at 120 dpi"
    fi
else
    fail "wineboot for the 120 dpi prefix"
fi

finish
