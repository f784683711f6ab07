#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (the asan preset,
# build-asan/) and runs the whole test suite under them, leak checks included. Leaks inside
# third-party libraries are suppressed by cmake/lsan.supp, never leaks of Quorvane's own code.
# Exits non-zero when the build fails or any test fails or reports a sanitizer finding.
# Environment: QUORVANE_JOBS (build and test jobs, default 2).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
scripts/deps.sh --clang || exit 1

jobs=${QUORVANE_JOBS:-2}
started=$SECONDS

if ! cmake --preset asan; then
    echo "sanitizer build: configure failed"
    exit 1
fi
if ! cmake --build build-asan -j "$jobs"; then
    echo "sanitizer build failed"
    exit 1
fi
built=$SECONDS

# The test preset sets QT_QPA_PLATFORM=offscreen and the ASAN_, LSAN_ and UBSAN_OPTIONS.
ctest --preset asan -j "$jobs"
status=$?

echo "build $((built - started)) s, tests $((SECONDS - built)) s, total $((SECONDS - started)) s"
exit $status
