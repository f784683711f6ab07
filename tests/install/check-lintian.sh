#!/bin/sh
# Runs Debian's package checker on the package that check-deb.sh built and fails on any error
# or warning it reports. Information and pedantic notes are shown but let through.
# Usage: check-lintian.sh PACKAGE-DIR. Exit status 77 when lintian is not installed.
set -eu
if ! command -v lintian >/dev/null 2>&1; then
    echo "SKIP: lintian is not installed"
    exit 77
fi
set -- "$1"/quorvane_*.deb
if [ ! -f "$1" ]; then
    echo "FAIL: no package in $(dirname "$1")"
    exit 1
fi
# lintian warns once on stderr when it runs as root; only its findings on stdout count.
said=$(lintian --display-info --pedantic "$1") || true
printf '%s\n' "$said"
if printf '%s\n' "$said" | grep -q '^[EW]: '; then
    echo "FAIL: lintian reports errors or warnings on $(basename "$1")"
    exit 1
fi
echo "PASS: lintian on $(basename "$1")"
