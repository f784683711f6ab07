# shellcheck shell=bash
# The reporting and registry helpers of the Windows checks under Wine, sourced by
# check-windows-package.sh and check-windows-installer.sh, with Wine's (scripts/lib/wine.sh).
# Each check prints "ok" or "FAIL" with what it saw; finish prints the count and ends the script,
# with a non-zero status if any check failed.

# shellcheck source=../../scripts/lib/wine.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../../scripts/lib/wine.sh"

# Wine reads the command line as UTF-8 only in a UTF-8 locale; the programs find Qt's plugins
# beside them.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset QT_QPA_PLATFORM QT_PLUGIN_PATH WINEPATH

failures=0
checks=0
pass() { checks=$((checks + 1)); echo "ok    $*"; }
fail() {
    checks=$((checks + 1))
    failures=$((failures + 1))
    echo "FAIL  $*"
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
    echo "$((checks - failures)) passed, $failures failed"
    ((failures == 0))
    exit
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
