#!/usr/bin/env bash
# Takes the README's picture of the Windows program: Quorvane.exe from the package that
# scripts/windows-check.sh made, unpacked into a scratch folder and started under Wine on a
# virtual X display, against the gateway simulator on 127.0.0.1 at midday, with the phase and
# settings panels shown.
#
# Usage: scripts/screenshot-windows.sh [--output FILE]   (default docs/screenshot-windows.png)
# Needs build-windows/Quorvane-*-win64.zip and build-windows/bin/windowsprobe.exe, and the
# native build's simulator (build/bin/quorvane-gateway-sim).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
# shellcheck source=lib/wine.sh
source "$root/scripts/lib/wine.sh"
output="docs/screenshot-windows.png"
if [[ "${1:-}" == --output ]]; then
    output=${2:?--output needs a file name}
fi
[[ "$output" = /* ]] || output="$root/$output"
package=$(ls build-windows/Quorvane-*-win64.zip)
probe_exe="$root/build-windows/bin/windowsprobe.exe"
simulator="$root/build/bin/quorvane-gateway-sim"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-screenshot-windows.XXXXXX")
wine_use_prefix "$scratch/prefix"
export LANG=C.UTF-8
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

xvfb_start "$scratch" 1024x768
pids+=("$xvfb_pid")

wine_boot >/dev/null 2>&1
wine_desktop 1024x768
"$wineserver" -w

"$simulator" --speed 1 --start 12:30 >"$scratch/simulator.out" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do grep -q '^token' "$scratch/simulator.out" && break; sleep 0.1; done
address=$(sed -n 's/^listening on //p' "$scratch/simulator.out")
[[ "$address" =~ ^127\.0\.0\.1:[0-9]+$ ]] || { echo "no loopback address" >&2; exit 1; }

unzip -q "$package" -d "$scratch"
folder=$(find "$scratch" -mindepth 1 -maxdepth 1 -type d -name 'Quorvane-*')
sed -n 's/^token //p' "$scratch/simulator.out" | tr -d '\n' >"$folder/mytoken.txt"
for setting in "Top 300" "Left 300" "Height 3560" "Width 9165" "IP $address" "Write 1" "OnTop False"; do
    "$wine" reg add 'HKCU\Software\Quorvane\Quorvane\Settings' /v "${setting%% *}" /d "${setting#* }" \
        /f >/dev/null 2>&1
done

(cd "$folder" && exec "$wine" Quorvane.exe "$address" Meters.txt >/dev/null 2>&1) &
pids+=($!)
window=$("$wine" "$probe_exe" find QuorvaneT 60 | tr -d '\r')
# The token notice and the greeting take five seconds each; then readings every second.
for _ in $(seq 300); do
    [[ -f "$folder/Meters.txt" ]] && break
    sleep 0.1
done
# Ticking the write box at start narrows the window; "Show Settings..." widens it again.
"$wine" "$probe_exe" syscommand "$window" 1011
sleep 4
read -r left top <<<"$("$wine" "$probe_exe" place "$window" | tr -d '\r')"
read -r width height <<<"$("$wine" "$probe_exe" size "$window" | tr -d '\r')"
import -window root "$scratch/desktop.png"
mkdir -p "$(dirname "$output")"
convert "$scratch/desktop.png" -crop "$((width / 15))x$((height / 15))+$((left / 15))+$((top / 15))" \
    +repage -strip "$output"
echo "Wrote $output ($(identify -format '%wx%h' "$output"))"
