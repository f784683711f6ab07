# shellcheck shell=bash
# The work folder, reporting, simulator and registry helpers of the Windows checks under Wine,
# sourced by check-windows-package.sh and check-windows-installer.sh, with Wine's
# (scripts/lib/wine.sh).
# Each check prints "ok" or "FAIL" with what it saw, and each step of a script names itself with
# `step`; finish prints the count and ends the script, with a non-zero status if any check
# failed. A script that ends any other way (an error, a signal) ends with the step it stopped
# in, so that the last line always says where a failed run failed.

# shellcheck source=../../scripts/lib/wine.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../../scripts/lib/wine.sh"

# Wine reads the command line as UTF-8 only in a UTF-8 locale; the programs find Qt's plugins
# beside them.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset QT_QPA_PLATFORM QT_PLUGIN_PATH WINEPATH

failures=0
checks=0
current_step="setting up"
failed_steps=()
finished=0
step() { # step NAME: the part of the check that runs from here on
    current_step=$*
    echo "----  $*"
}
pass() { checks=$((checks + 1)); echo "ok    $*"; }
fail() {
    checks=$((checks + 1))
    failures=$((failures + 1))
    echo "FAIL  $*"
    local known
    for known in "${failed_steps[@]}"; do
        [[ "$known" == "$current_step" ]] && return 0
    done
    failed_steps+=("$current_step")
}
expect() { # expect WHAT ACTUAL EXPECTED
    if [[ "$2" == "$3" ]]; then
        pass "$1: $2"
    else
        fail "$1: '$2', expected '$3'"
        return 1
    fi
}
finish() {
    finished=1
    if ((failures == 0)); then
        echo "$((checks - failures)) passed, 0 failed"
        exit 0
    fi
    local IFS=';'
    echo "$((checks - failures)) passed, $failures failed, in: ${failed_steps[*]}"
    exit 1
}

# work_folder NAME: a fresh scratch folder $work (quorvane-NAME.XXXXXX under TMPDIR) for
# everything the script writes: HOME and the XDG folders point into it, for Wine as for the
# programs. The script's end stops the simulator, the program and, when its prefix is inside
# $work, Wine, removes the folder, and names the step a run stopped in without finishing.
work_folder() {
    work=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-$1.XXXXXX")
    export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
    export XDG_CACHE_HOME="$work/cache"
    mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
    simulator_pid=
    program_pid=
    trap work_folder_end EXIT
    trap 'exit 129' HUP
    trap 'exit 130' INT
    trap 'exit 143' TERM
}
work_folder_end() {
    local status=$?
    [[ -n "$program_pid" ]] && kill "$program_pid" 2>/dev/null
    [[ -n "$simulator_pid" ]] && kill "$simulator_pid" 2>/dev/null
    if [[ "${WINEPREFIX:-}" == "$work"/* ]]; then
        wine_stop
    fi
    rm -rf "$work"
    if ((finished == 0)); then
        echo "FAIL  stopped in the step \"$current_step\" (status $status)"
        exit 1
    fi
}

# start_simulator PORT [SIMULATOR-OPTIONS...]: the gateway simulator on 127.0.0.1:PORT (0: any
# free port) with the bearer token $token, its replies logged in $work/simulator.log; sets $port
# (empty when it did not start) and $simulator_pid.
start_simulator() {
    "$simulator" --port "$1" --token "$token" -v "${@:2}" >"$work/simulator.out" \
        2>"$work/simulator.log" &
    simulator_pid=$!
    for _ in $(seq 100); do
        grep -q '^listening on' "$work/simulator.out" 2>/dev/null && break
        sleep 0.1
    done
    port=$(sed -nE 's/^listening on 127\.0\.0\.1:([0-9]+)$/\1/p' "$work/simulator.out")
}

stop_simulator() {
    kill "$simulator_pid" 2>/dev/null
    wait "$simulator_pid" 2>/dev/null
    simulator_pid=
}

# reg_add NAME TYPE TEXT: a value of the program's section Settings, as an earlier run left it.
reg_add() {
    "$wine" reg add 'HKCU\Software\Quorvane\Quorvane\Settings' /v "$1" /t "$2" /d "$3" /f \
        >/dev/null 2>&1
}
registry_value() { # registry_value KEY NAME: the type and text of a value of the program's KEY
    "$wine" reg query "HKCU\\Software\\Quorvane\\Quorvane\\$1" /v "$2" 2>/dev/null |
        tr -d '\r' | awk -v key="$2" '$1 == key { $1 = ""; sub(/^ +/, ""); print }' |
        sed -E 's/ {2,}/ /g'
}
