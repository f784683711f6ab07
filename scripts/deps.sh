#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quorvane needs, when any is missing.
# Runs apt-get only as root (or through sudo when it is there); otherwise it names what is
# missing and stops.
set -euo pipefail

# Package groups: what building needs, what the native test suite adds, and what only the
# benchmarks, the Windows check and the clang builds (sanitizers, fuzzing) need.
build=(cmake g++ make pkg-config qt6-base-dev libgl1-mesa-dev libxcb1-dev libssl-dev openssl
       fonts-liberation2 locales nlohmann-json3-dev)
# The native suite's package checks (ctest -L install) also run Debian's package checker and the
# AppStream validator.
tests=(libgtest-dev libgmock-dev
       xvfb xauth imagemagick xdotool desktop-file-utils curl qt6-gtk-platformtheme
       lintian appstream
       # Glyphs for every script, so that the time stamp's fit is measured in every locale.
       fonts-noto-core)
bench=(libbenchmark-dev)
# The Windows check also reads the programs' resources (wrestool) and the installer's tables
# (msiinfo); scripts/make-icons.sh renders the icon (rsvg-convert, icotool).
windows=(g++-mingw-w64-x86-64-posix wine64 unzip xz-utils wixl xvfb xauth
         icoutils msitools librsvg2-bin)
clang=(clang libclang-rt-14-dev libgtest-dev libgmock-dev)

# Usage: scripts/deps.sh [--minimal | --bench | --windows | --clang | --all]
#   (none)     building and the native test suite (scripts/test.sh)
#   --minimal  building the program and the simulator alone, and xdotool, which opens the
#              energy window in scripts/demo.sh
case "${1:-}" in
    "") packages=("${build[@]}" "${tests[@]}") ;;
    --minimal) packages=("${build[@]}" libgtest-dev libgmock-dev xdotool) ;;
    --bench) packages=("${build[@]}" "${tests[@]}" "${bench[@]}") ;;
    --windows) packages=("${build[@]}" "${tests[@]}" "${windows[@]}") ;;
    --clang) packages=("${build[@]}" "${tests[@]}" "${clang[@]}") ;;
    --all) packages=("${build[@]}" "${tests[@]}" "${bench[@]}" "${windows[@]}" "${clang[@]}") ;;
    *) echo "usage: scripts/deps.sh [--minimal|--bench|--windows|--clang|--all]" >&2; exit 2 ;;
esac

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
elif command -v sudo >/dev/null; then
    sudo apt-get update -qq
    sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
    echo "Missing packages (install them as root): ${missing[*]}" >&2
    exit 1
fi
