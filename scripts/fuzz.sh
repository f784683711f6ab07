#!/usr/bin/env bash
# Builds the libFuzzer targets of the core with the fuzz preset (clang, build-fuzz/) and runs
# each of them for SECONDS seconds (default 60). Each target works on its own corpus in
# build-fuzz/corpus/<target>/, seeded from fuzz/corpus/<target>/ and the kept findings in
# fuzz/regressions/<target>/; crash inputs land in build-fuzz/findings/<target>/. Exits non-zero
# when the build fails or any target finds a crash, a leak, a time-out or a broken rule.
# Usage: scripts/fuzz.sh [SECONDS [TARGET...]]
# Environment: QUORVANE_JOBS (build jobs, default 2); QUORVANE_FUZZ_RUNS (stop each target after
# that many inputs if SECONDS have not run out first; the long run of fuzz/README.md).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
scripts/deps.sh --clang || exit 1
root=$(pwd)

seconds=${1:-60}
shift $(($# > 0 ? 1 : 0))
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: scripts/fuzz.sh [SECONDS [TARGET...]]" >&2
    exit 2
fi
targets=("$@")
if ((${#targets[@]} == 0)); then
    targets=(fuzz_reading_cycle fuzz_numeric_text fuzz_token_file fuzz_http_reply)
fi
jobs=${QUORVANE_JOBS:-2}
runs_limit=${QUORVANE_FUZZ_RUNS:-}
if [[ -n "$runs_limit" && ! "$runs_limit" =~ ^[1-9][0-9]*$ ]]; then
    echo "QUORVANE_FUZZ_RUNS must be a positive number of inputs" >&2
    exit 2
fi
build_dir="$root/build-fuzz"
# The longest input each target is given: a whole gateway reply for the cycle, past the 64 KiB
# read limit for the token file, a long number text, past the 64 KiB header limit for a reply.
declare -A max_len=([fuzz_reading_cycle]=65536 [fuzz_token_file]=73728 [fuzz_numeric_text]=1024
    [fuzz_http_reply]=73728)

started=$SECONDS
section() { printf '\n==== %s\n' "$1"; }

section "Build (build-fuzz/)"
configure_log=$(mktemp "${TMPDIR:-/tmp}/quorvane-fuzz-configure.XXXXXX")
if ! cmake --preset fuzz >"$configure_log" 2>&1; then
    cat "$configure_log"
    rm -f "$configure_log"
    echo "fuzz build: configure failed"
    exit 1
fi
rm -f "$configure_log"
if ! cmake --build "$build_dir" -j "$jobs" --target "${targets[@]}"; then
    echo "fuzz build failed"
    exit 1
fi
built=$SECONDS

# The targets write their output and token files into a temporary folder for every input; a
# memory file system keeps the file syncs from slowing them down. libFuzzer ends a run without
# the targets' clean-up, so each run gets a folder of its own that is removed afterwards.
scratch_base=${TMPDIR:-/tmp}
if [[ -z "${TMPDIR:-}" && -d /dev/shm && -w /dev/shm ]]; then
    scratch_base=/dev/shm
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

summary=()
failed=0
for target in "${targets[@]}"; do
    section "$target: $seconds s${runs_limit:+ or $runs_limit inputs}"
    corpus="$build_dir/corpus/$target"
    findings="$build_dir/findings/$target"
    mkdir -p "$corpus" "$findings"
    seeds=()
    for folder in "$root/fuzz/corpus/$target" "$root/fuzz/regressions/$target"; do
        if [[ -d "$folder" ]]; then
            seeds+=("$folder")
        fi
    done
    log="$build_dir/$target.log"
    # Crash inputs of earlier runs stay, but only this run's are reported.
    target_started=$SECONDS
    stamp=$(mktemp "${TMPDIR:-/tmp}/quorvane-fuzz-start.XXXXXX")
    scratch=$(mktemp -d "$scratch_base/quorvane-fuzz.XXXXXX")
    TMPDIR="$scratch" "$build_dir/bin/$target" -max_len="${max_len[$target]:-4096}" \
        -max_total_time="$seconds" ${runs_limit:+-runs="$runs_limit"} -timeout=10 \
        -use_value_profile=1 -print_final_stats=1 -artifact_prefix="$findings/" \
        "$corpus" "${seeds[@]}" >"$log" 2>&1
    status=$?
    rm -rf "$scratch"
    tail -n 12 "$log"
    runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$log" | tail -1)
    if [[ $status == 0 ]]; then
        summary+=("PASS  $target: ${runs:-?} inputs in $((SECONDS - target_started)) s")
    else
        failed=1
        summary+=("FAIL  $target (exit $status): see $log")
        while read -r crash; do
            summary+=("      finding: $crash")
        done < <(find "$findings" -type f -newer "$stamp")
    fi
    rm -f "$stamp"
done

section "Summary"
printf '%s\n' "${summary[@]}"
echo "build $((built - started)) s, fuzzing $((SECONDS - built)) s, total $((SECONDS - started)) s"
exit $failed
