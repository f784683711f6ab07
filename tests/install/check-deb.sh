#!/bin/sh
# Builds the Debian package with cpack into a fresh folder and checks it with dpkg-deb: name,
# version, the dependencies (every library the program links must come from a declared one,
# and libssl3 for Qt's TLS backend) and exactly the installed files. The package is left in
# KEEP-DIR for the checks that read it further.
# Usage: check-deb.sh CMAKE CPACK BUILD-DIR VERSION KEEP-DIR. Exit status 77 when a tool is
# missing.
set -eu
cmake=$1
cpack=$2
build=$3
version=$4
keep=$5

for tool in dpkg dpkg-deb readelf ldd; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The project's package settings, with one change: CPack's own build of every target before it
# installs is left out (the build is done, and other targets need not build for this check), and
# `cmake --install --strip` fills CPack's staging folder instead.
cat >"$work/config.cmake" <<CONFIG
include("$build/CPackConfig.cmake")
set(CPACK_INSTALL_CMAKE_PROJECTS "")
set(CPACK_INSTALL_SCRIPTS "$work/stage.cmake")
CONFIG
cat >"$work/stage.cmake" <<'STAGE'
execute_process(
    COMMAND "${QUORVANE_CMAKE}" --install "${QUORVANE_BUILD}"
            --prefix "${CPACK_PACKAGING_INSTALL_PREFIX}" --strip
    RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "cmake --install into the staging folder failed")
endif()
STAGE

if ! "$cpack" --config "$work/config.cmake" -G DEB -B "$work/out" \
    -D "QUORVANE_CMAKE=$cmake" -D "QUORVANE_BUILD=$build" >"$work/cpack.log" 2>&1
then
    cat "$work/cpack.log"
    echo "FAIL: cpack -G DEB failed"
    exit 1
fi

architecture=$(dpkg --print-architecture)
deb=$work/out/quorvane_${version}-1_${architecture}.deb
if [ ! -f "$deb" ]; then
    ls "$work/out"
    echo "FAIL: cpack made no $(basename "$deb")"
    exit 1
fi

[ "$(dpkg-deb -f "$deb" Package)" = quorvane ] || fail "Package is $(dpkg-deb -f "$deb" Package)"
[ "$(dpkg-deb -f "$deb" Version)" = "$version-1" ] ||
    fail "Version is $(dpkg-deb -f "$deb" Version)"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$architecture" ] || fail "wrong Architecture"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"

# The package names in Depends, one a line, without versions.
declared=$(printf '%s\n' "$depends" | tr ',|' '\n\n' | sed 's/(.*)//; s/^ *//; s/ *$//')

declares() {
    printf '%s\n' "$declared" | grep -qx "$1"
}

declares libssl3 || fail "Depends lacks libssl3, which Qt's TLS backend loads"
declares fonts-liberation2 || fail "Depends lacks fonts-liberation2, the font the window is laid out for"

dpkg-deb -x "$deb" "$work/root"
program=$work/root/usr/bin/Quorvane
needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\].*/\1/p')
[ -n "$needed" ] || fail "readelf finds no libraries in usr/bin/Quorvane"
for library in $needed; do
    path=$(ldd "$program" | sed -n "s|^[[:space:]]*$library => \([^ ]*\) .*|\1|p")
    # dpkg knows a file under the path it was shipped with, with or without /usr in front.
    owner=$( (dpkg -S "$path" || dpkg -S "${path#/usr}" || dpkg -S "/usr$path") 2>/dev/null |
        head -n 1 | sed 's/[:,].*//') || true
    if [ -z "$path" ] || [ -z "$owner" ]; then
        fail "no installed package holds $library ('$path')"
    elif ! declares "$owner"; then
        fail "$library comes from $owner, which Depends does not name"
    fi
done

# Every file and link of the package, directories left out.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' |
    sort >"$work/contents"
sort >"$work/expected" <<'LIST'
./usr/bin/Quorvane
./usr/bin/QuorvaneB -> Quorvane
./usr/share/applications/quorvane.desktop
./usr/share/icons/hicolor/scalable/apps/quorvane.svg
./usr/share/lintian/overrides/quorvane
./usr/share/doc/quorvane/changelog.Debian.gz
./usr/share/doc/quorvane/copyright
./usr/share/man/man1/Quorvane.1.gz
./usr/share/man/man1/QuorvaneB.1.gz -> Quorvane.1.gz
./usr/share/metainfo/org.example.Quorvane.metainfo.xml
LIST
if ! diff -u "$work/expected" "$work/contents"; then
    fail "the package holds other files than the install rules name"
fi

# Every extended description line fits dpkg's 80 columns.
dpkg-deb -f "$deb" Description | awk 'length($0) > 80 { print "FAIL: description line: " $0; bad = 1 }
    END { exit bad }' || failures=$((failures + 1))

rm -rf "$keep"
mkdir -p "$keep"
cp "$deb" "$keep/"

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "PASS: $(basename "$deb")"
