#!/usr/bin/env bash
# Takes the README's pictures: Quorvane against the gateway simulator on 127.0.0.1, at midday
# (exporting), under a virtual X display, with the phase and settings panels shown and a few
# readings in; with --energy, the energy window's day view instead, after the simulator has run
# a day from 04:00 to 21:00 at 600 times real time. Needs a build of Quorvane and
# quorvane-gateway-sim, xvfb-run, ImageMagick's import and xdotool (scripts/deps.sh installs
# them).
#
# Usage: scripts/screenshot.sh [--energy] [--build-dir DIR] [--output FILE]
#        (default build, docs/screenshot.png or docs/screenshot-energy.png)
set -euo pipefail
cd "$(dirname "$0")/.."

build="build"
output=""
energy=0
inside=0
while (($#)); do
    case "$1" in
    --energy) energy=1; shift ;;
    --build-dir) build="${2:?--build-dir needs a folder}"; shift 2 ;;
    --output) output="${2:?--output needs a file name}"; shift 2 ;;
    # Internal: this script again, inside xvfb-run.
    --inside-display) inside=1; shift ;;
    *) echo "screenshot.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done
if [[ -z "$output" ]]; then
    output="docs/screenshot.png"
    ((energy)) && output="docs/screenshot-energy.png"
fi
[[ "$build" = /* ]] || build="$PWD/$build"
[[ "$output" = /* ]] || output="$PWD/$output"

if ((!inside)); then
    for tool in xvfb-run import xdotool; do
        command -v "$tool" >/dev/null || { echo "screenshot.sh: $tool is missing" >&2; exit 1; }
    done
    cmake --build "$build" --target Quorvane quorvane-gateway-sim >/dev/null
    mkdir -p "$(dirname "$output")"
    mode=()
    ((energy)) && mode=(--energy)
    exec xvfb-run -a -s "-screen 0 1024x768x24" \
        "$PWD/scripts/screenshot.sh" --inside-display --build-dir "$build" --output "$output" \
        "${mode[@]}"
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-screenshot.XXXXXX")
mkdir -p "$scratch/config/Quorvane" "$scratch/data" "$scratch/work"
simulator_pid=""
program_pid=""
cleanup() {
    for pid in "$program_pid" "$simulator_pid"; do
        if [[ -n "$pid" ]]; then
            kill -TERM "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
    rm -rf "$scratch"
}
trap cleanup EXIT

# Waits up to `$2` tenths of a second for the command `$1` to succeed.
wait_for() {
    local tries
    for ((tries = 0; tries < $2; tries++)); do
        eval "$1" && return 0
        sleep 0.1
    done
    echo "screenshot.sh: gave up waiting for: $1" >&2
    return 1
}

: >"$scratch/simulator.out"
speed=1
start=12:30
((energy)) && speed=600 && start=04:00
"$build/bin/quorvane-gateway-sim" --speed "$speed" --start "$start" \
    >"$scratch/simulator.out" 2>"$scratch/simulator.err" &
simulator_pid=$!
wait_for '[[ $(wc -l <"$scratch/simulator.out") -ge 3 ]]' 300
address=$(sed -n 's/^listening on //p' "$scratch/simulator.out")
[[ "$address" =~ ^127\.0\.0\.1:[0-9]+$ ]] || { echo "screenshot.sh: no loopback address" >&2; exit 1; }
sed -n 's/^token //p' "$scratch/simulator.out" | tr -d '\n' >"$scratch/work/mytoken.txt"

# Both panels, writing on. Ticking the write box at start narrows the window to 5265 twips;
# it is widened again below, as a user drags it wider.
printf '[Settings]\nTop=0\nLeft=0\nHeight=3560\nWidth=9165\nIP=%s\nWrite=1\nOnTop=False\n' \
    "$address" >"$scratch/config/Quorvane/Quorvane.conf"

cd "$scratch/work"
XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" LC_ALL=en_US.UTF-8 \
    "$build/bin/Quorvane" "$address" out.txt >"$scratch/program.log" 2>&1 &
program_pid=$!

# The time stamp of the latest reading in the output file.
stamp() { [[ -f out.txt ]] && head -n 1 out.txt | tr -d '\r' || true; }
# Waits for the next reading with a new time stamp.
next_reading() {
    local before
    before=$(stamp)
    wait_for "[[ -n \"\$(stamp)\" && \"\$(stamp)\" != '$before' && \"\$(stamp)\" != 'Wrong/No IP address' ]]" 400
}

# The token notice and the greeting take five seconds each, then a reading every second.
next_reading
next_reading
window=$(xdotool search --sync --onlyvisible --name '^QuorvaneT V')
if ((energy)); then
    # The simulated day in the history until 21:00, then the energy window by its shortcut.
    history="$scratch/data/Quorvane/history/$(date +%F).csv"
    evening=$(date -d 21:00 +%s)
    wait_for "[[ -f '$history' && \$(tail -n 1 '$history' | cut -d, -f1) -ge $evening ]]" 1800
    xdotool windowfocus --sync "$window" key --clearmodifiers ctrl+e
    energy_window=$(xdotool search --sync --onlyvisible --name '^Quorvane .+ Energy$')
    next_reading
    next_reading
    import -window "$energy_window" -strip "$output"
    echo "Wrote $output ($(identify -format '%wx%h' "$output"))"
    exit 0
fi
# 9165 by 3560 twips at 15 twips a pixel; without a window manager there is no frame.
xdotool windowsize "$window" 611 237
next_reading
next_reading
import -window "$window" -strip "$output"
echo "Wrote $output ($(identify -format '%wx%h' "$output"))"
