#!/usr/bin/env bash
# Shows Quorvane at work without a solar gateway: installs what building needs, builds the
# program and the gateway simulator, starts the simulator on 127.0.0.1 with a whole day passing
# in a few minutes, and the program against it, with the energy window open and filling as the
# simulated day passes. At the end it prints the energy of each simulated day from the program's
# history (Quorvane --energy). Everything runs in a scratch folder with its own settings store,
# data folder (the energy history) and token file, so the user's settings, history, token and
# certificate pins are never touched, and nothing leaves this machine.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
    cat <<'EOF'
Usage: scripts/demo.sh [--headless SECONDS] [--speed FACTOR] [--start HH:MM]
                       [--build-dir DIR] [--keep]

  --headless SECONDS  run without a window (QT_QPA_PLATFORM=offscreen) for SECONDS and print
                      the output file every 5 seconds instead; either way the energy of each
                      simulated day follows at the end
  --speed FACTOR      simulated seconds per real second (default 600: a day in 2.4 minutes)
  --start HH:MM       simulated time of day at the start (default 04:00, before sunrise)
  --build-dir DIR     build folder (default build)
  --keep              keep the scratch folder (settings, history, token, output file) at the end
EOF
}

headless=""
speed=600
start="04:00"
build="build"
keep=0
while (($#)); do
    case "$1" in
    --headless | --speed | --start | --build-dir)
        [[ $# -ge 2 ]] || { echo "demo.sh: $1 needs a value" >&2; exit 2; }
        case "$1" in
        --headless) headless="$2" ;;
        --speed) speed="$2" ;;
        --start) start="$2" ;;
        --build-dir) build="$2" ;;
        esac
        shift 2
        ;;
    --keep) keep=1; shift ;;
    -h | --help) usage; exit 0 ;;
    *) echo "demo.sh: unknown argument $1" >&2; usage >&2; exit 2 ;;
    esac
done
if [[ -n "$headless" && ! "$headless" =~ ^[1-9][0-9]*$ ]]; then
    echo "demo.sh: --headless wants a whole number of seconds" >&2
    exit 2
fi

# Before the long build: a window needs a display.
if [[ -z "$headless" && -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    cat >&2 <<'EOF'
demo.sh: no display. Quorvane is a desktop program; start the demo from a graphical session
(DISPLAY or WAYLAND_DISPLAY set), or watch it work without a window:

    scripts/demo.sh --headless 150
EOF
    exit 1
fi

scripts/deps.sh --minimal
# The default preset, as scripts/test.sh builds it, so the two share one build.
cmake --preset default -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" --target Quorvane quorvane-gateway-sim

scratch=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-demo.XXXXXX")
config="$scratch/config"
data="$scratch/data"
work="$scratch/work"
mkdir -p "$config/Quorvane" "$data" "$work"
simulator_pid=""
program_pid=""

cleanup() {
    if [[ -n "$program_pid" ]] && kill -0 "$program_pid" 2>/dev/null; then
        kill -TERM "$program_pid" 2>/dev/null || true
        wait "$program_pid" 2>/dev/null || true
    fi
    if [[ -n "$simulator_pid" ]]; then
        kill -TERM "$simulator_pid" 2>/dev/null || true
        wait "$simulator_pid" 2>/dev/null || true
    fi
    if ((keep)); then
        echo "Scratch folder kept: $scratch"
    else
        rm -rf "$scratch"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

: >"$scratch/simulator.out"
"$build/bin/quorvane-gateway-sim" --speed "$speed" --start "$start" \
    >"$scratch/simulator.out" 2>"$scratch/simulator.err" &
simulator_pid=$!
# Its first three lines: "listening on 127.0.0.1:PORT", the certificate, "token <token>".
for ((tries = 0; tries < 300; tries++)); do
    [[ $(wc -l <"$scratch/simulator.out") -ge 3 ]] && break
    if ! kill -0 "$simulator_pid" 2>/dev/null; then
        echo "demo.sh: the simulator did not start:" >&2
        cat "$scratch/simulator.err" >&2
        exit 1
    fi
    sleep 0.1
done
address=$(sed -n 's/^listening on //p' "$scratch/simulator.out")
token=$(sed -n 's/^token //p' "$scratch/simulator.out")
if [[ ! "$address" =~ ^127\.0\.0\.1:[0-9]+$ || -z "$token" ]]; then
    echo "demo.sh: no loopback address or token from the simulator" >&2
    exit 1
fi

(umask 077 && printf '%s' "$token" >"$work/mytoken.txt")
# Writing on and the phase panel shown. Ticking the write box at start narrows the window to
# the phase panel's width, so the stored 9165 twips give way to 5265.
printf '[Settings]\nTop=600\nLeft=600\nHeight=3560\nWidth=9165\nIP=%s\nWrite=1\nOnTop=False\n' \
    "$address" >"$config/Quorvane/Quorvane.conf"

program="$PWD/$build/bin/Quorvane"
[[ "$build" = /* ]] && program="$build/bin/Quorvane"
cd "$work"
export XDG_CONFIG_HOME="$config" XDG_DATA_HOME="$data"

# The energy of each simulated day, from the history the program kept in the scratch folder.
show_energy() {
    local days=("$data"/Quorvane/history/*.csv)
    if [[ ! -e "${days[0]}" ]]; then
        echo "No energy history was written."
        return
    fi
    echo "Energy of each simulated day (Quorvane --energy DAY; whole Wh, complete = the"
    echo "program read the whole day):"
    "$program" --energy "$(basename "${days[0]}" .csv)" | head -n 1
    local day
    for day in "${days[@]}"; do
        "$program" --energy "$(basename "$day" .csv)" | tail -n +2
    done
}

# Opens the energy window with Ctrl+E once the main window polls (the start-up notices are
# gone when the first reading reaches the output file); X11 only, by xdotool.
open_energy_window() {
    for ((tries = 0; tries < 300; tries++)); do
        [[ -s out.txt ]] && break
        kill -0 "$program_pid" 2>/dev/null || return 0
        sleep 0.1
    done
    local window
    window=$(xdotool search --onlyvisible --name '^QuorvaneT' 2>/dev/null | head -n 1) || true
    if [[ -z "$window" ]]; then
        echo "demo.sh: main window not found; press Ctrl+E in it for the energy window." >&2
        return 0
    fi
    xdotool windowfocus --sync "$window" key --clearmodifiers ctrl+e 2>/dev/null || true
}

echo "Gateway simulator on $address, one real second = $speed simulated seconds."
echo "Quorvane first shows the token it read and a greeting (five seconds each, or press OK),"
echo "then polls once a second and writes each reading to out.txt. Each simulated minute"
echo "it reads adds to the energy history, which the energy window draws (Ctrl+E, or a"
echo "double-click on Production or Consumption)."

if [[ -z "$headless" ]]; then
    echo "For the settings panel (address, output file, token): right-click a label, then"
    echo "\"Show Settings...\". Close the window to end the demo."
    # In the background, so that a signal to this script ends the program through cleanup.
    "$program" "$address" out.txt &
    program_pid=$!
    if [[ -n "${DISPLAY:-}" ]] && command -v xdotool >/dev/null; then
        open_energy_window
    else
        echo "Press Ctrl+E in the main window for the energy window."
    fi
    wait "$program_pid" || true
    program_pid=""
    show_energy
    exit 0
fi

# Line 4 of the output file is the grid power: positive while importing, negative while
# exporting.
show_reading() {
    if [[ ! -f out.txt ]]; then
        echo "  (no reading yet)"
        return
    fi
    local stamp production consumption grid
    { IFS= read -r stamp; IFS= read -r production; IFS= read -r consumption; IFS= read -r grid; } \
        < <(tr -d '\r' <out.txt)
    local direction=import
    [[ "${grid// /}" == -* ]] && direction=export
    printf '  %-24s production %9s  consumption %9s  grid %9s  %s\n' \
        "$stamp" "$production" "$consumption" "${grid// /}" "$direction"
    stamps+=("$stamp")
    directions+=("$direction")
}

QT_QPA_PLATFORM=offscreen "$program" "$address" out.txt >"$scratch/program.log" 2>&1 &
program_pid=$!
echo "Running without a window for $headless seconds; the output file every 5 seconds:"
stamps=()
directions=()
ends=$((SECONDS + headless))
while ((SECONDS < ends)); do
    # Pacing the printout, not waiting for anything.
    sleep $((ends - SECONDS < 5 ? ends - SECONDS : 5))
    if ! kill -0 "$program_pid" 2>/dev/null; then
        echo "demo.sh: Quorvane ended early:" >&2
        cat "$scratch/program.log" >&2
        exit 1
    fi
    show_reading
done
kill -TERM "$program_pid"
wait "$program_pid" || true
program_pid=""

distinct=$(printf '%s\n' "${stamps[@]}" | grep -v -e '^Wrong/No IP address$' | sort -u | grep -c . || true)
imports=$(printf '%s\n' "${directions[@]}" | grep -c '^import$' || true)
exports=$(printf '%s\n' "${directions[@]}" | grep -c '^export$' || true)
echo "Seen: $distinct different readings; $imports printouts importing, $exports exporting."
show_energy
