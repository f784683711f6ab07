#!/usr/bin/env bash
# Sets up a fresh Debian machine (missing packages), builds Quorvane and runs the whole test
# suite (the default preset of CMakePresets.json, build/). Everything runs against loopback only.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
jobs=$(nproc)

cmake --preset default
cmake --build --preset default -j "$jobs"
# The test preset runs without a display (QT_QPA_PLATFORM=offscreen), 300 s at most a test.
ctest --preset default -j "$jobs"
