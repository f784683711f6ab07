#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quorvane needs, when any is missing.
# Runs apt-get only as root (or through sudo when it is there); otherwise it names what is
# missing and stops.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    qt6-base-dev libgl1-mesa-dev libxcb1-dev libssl-dev openssl fonts-liberation2 locales
    libgtest-dev libgmock-dev libbenchmark-dev
    g++-mingw-w64-x86-64-posix wine64 unzip xz-utils wixl
    clang libclang-rt-14-dev
    xvfb xauth imagemagick xdotool desktop-file-utils curl qt6-gtk-platformtheme
    fonts-noto-core
)
if [[ "${1:-}" == "--minimal" ]]; then
    packages=(cmake g++ make pkg-config qt6-base-dev libgl1-mesa-dev libxcb1-dev libssl-dev openssl
              fonts-liberation2 locales libgtest-dev libgmock-dev)
fi

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
