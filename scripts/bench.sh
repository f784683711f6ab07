#!/usr/bin/env bash
# Builds the benchmarks and runs them side by side, on loopback only:
#   (a) one reading cycle on a real 4.8 KB gateway reply against QJsonDocument::fromJson on the
#       same text, and the energy history's recorder on a reading with no snapshot due;
#   (b) 1,000 polls of the gateway simulator by the program's HTTPS client against curl polling
#       it over one keep-alive connection, and the TLS connections each used;
#   (c) the program polling the simulator every 10 ms for 10,000 cycles: resident memory, open
#       descriptors and CPU time per cycle;
#   (d) the energy history: a due snapshot, a month of minutes read into its totals, and the
#       bytes of a year of minutes.
# Each comparison prints one "ratio ..." line; the summary at the end repeats them.
#
# Usage: scripts/bench.sh [--quick]
#   --quick  fewer repetitions and a 1,000-cycle soak, for a first look (about a minute)
# The build (the bench preset) goes to build-bench/ (or $QUORVANE_BENCH_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --bench

build=${QUORVANE_BENCH_DIR:-build-bench}
cycle_repetitions=15
poll_repetitions=5
soak_cycles=10000
case "${1:-}" in
"") ;;
--quick)
    cycle_repetitions=5
    poll_repetitions=2
    soak_cycles=1000
    ;;
*)
    echo "usage: scripts/bench.sh [--quick]" >&2
    exit 2
    ;;
esac

cmake --preset bench -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" \
    --target quorvane_cycle_bench quorvane_client_bench quorvane_soak quorvane_history_bench

export QT_QPA_PLATFORM=offscreen
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0

# Repetitions in random order, each benchmark judged by its fastest repetition: other work on
# the machine only ever slows a run down.
repeated=(--benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true)

echo "== (a) one reading cycle against QJsonDocument::fromJson"
"$build/bin/quorvane_cycle_bench" --benchmark_repetitions="$cycle_repetitions" "${repeated[@]}" \
    | tee -a "$log" || status=1

echo
echo "== (b) the gateway client against curl, 1,000 polls each"
"$build/bin/quorvane_client_bench" --benchmark_repetitions="$poll_repetitions" "${repeated[@]}" \
    | tee -a "$log" || status=1

echo
echo "== (c) the program polling every 10 ms for $soak_cycles cycles"
"$build/bin/quorvane_soak" --cycles "$soak_cycles" --warm-up 200 --delay 10 --time-limit 900 \
    | tee -a "$log" || status=1

echo
echo "== (d) the energy history"
"$build/bin/quorvane_history_bench" --benchmark_repetitions="$cycle_repetitions" "${repeated[@]}" \
    | tee -a "$log" || status=1

echo
echo "== summary ($(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs))"
grep -E '^(ratio|connections|curl|soak) ' "$log" || true
exit "$status"
