#!/usr/bin/env bash
# Sets up a fresh Debian machine (missing packages), builds Quorvane and runs the whole test
# suite. Everything runs against loopback only.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_WERROR=ON
cmake --build build -j "$jobs"

export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 300
