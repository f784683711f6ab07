#!/usr/bin/env bash
# Renders the program's icon, data/quorvane.svg, into the bitmaps that are kept beside it:
# data/icons/quorvane-<size>.png (the window's icon, built into the program as a Qt resource)
# and data/windows/quorvane.ico (the Windows programs' icon group; 256 px stored as PNG).
# Run it again after changing the SVG and commit what it writes. Needs Debian's librsvg2-bin
# (rsvg-convert) and icoutils (icotool).
set -euo pipefail
cd "$(dirname "$0")/.."

sizes=(16 24 32 48 64 128 256)
mkdir -p data/icons
pngs=()
for size in "${sizes[@]}"; do
    png=data/icons/quorvane-$size.png
    rsvg-convert --width "$size" --height "$size" --format png --output "$png" data/quorvane.svg
    pngs+=("$png")
done
# Every size but the largest as a plain bitmap, which every Windows version reads.
icotool --create --output data/windows/quorvane.ico "${pngs[@]:0:${#pngs[@]}-1}" \
    --raw "${pngs[-1]}"
icotool --list data/windows/quorvane.ico
