#!/bin/sh
# Installs the build into a fresh prefix, once directly and once staged through DESTDIR, and
# checks what a user's desktop sees there: the program and its QuorvaneB link, the desktop entry
# and its icon, the AppStream metadata software centres read, and the man page.
# Usage: check-install.sh CMAKE BUILD-DIR VERSION. Exit status 77 when a tool is missing.
set -eu
cmake=$1
build=$2
version=$3

for tool in desktop-file-validate appstreamcli groff gzip; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

work=$(mktemp -d)
# A prefix that cannot exist yet, so that a file written past DESTDIR would show.
prefix=/opt/quorvane-check-$(basename "$work")
trap 'rm -rf "$work" "$prefix"' EXIT
mkdir "$work/run" "$work/home"
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

contains() {
    case $1 in
    *"$2"*) return 0 ;;
    *) return 1 ;;
    esac
}

check_layout() {
    root=$1
    bin=$root/bin
    if [ ! -f "$bin/Quorvane" ] || [ ! -x "$bin/Quorvane" ] || [ -L "$bin/Quorvane" ]; then
        fail "$bin/Quorvane is not an executable file"
    fi
    if [ ! -L "$bin/QuorvaneB" ]; then
        fail "$bin/QuorvaneB is not a symbolic link"
    elif [ "$(readlink "$bin/QuorvaneB")" != Quorvane ]; then
        fail "$bin/QuorvaneB points to $(readlink "$bin/QuorvaneB"), not to Quorvane"
    fi
    # Started through the link in a bare environment, the program has to find everything.
    shown=$(cd "$work/run" && env -i PATH=/usr/bin:/bin HOME="$work/home" \
        XDG_CONFIG_HOME="$work/home/config" QT_QPA_PLATFORM=offscreen \
        "$bin/QuorvaneB" --version 127.0.0.1 2>&1) || fail "$bin/QuorvaneB --version failed: $shown"
    [ "$shown" = "Quorvane $version" ] || fail "QuorvaneB --version shows '$shown'"

    desktop=$root/share/applications/quorvane.desktop
    if [ ! -f "$desktop" ]; then
        fail "$desktop is missing"
    else
        # Hints and warnings count too: the entry has to be clean.
        said=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate refused it"
        [ -z "$said" ] || fail "desktop-file-validate: $said"
        program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
        [ -n "$program" ] && [ -x "$bin/$program" ] ||
            fail "the desktop entry starts '$program', which is not in $bin"
        grep -qx 'Terminal=false' "$desktop" || fail "the desktop entry asks for a terminal"
        icon=$(sed -n 's/^Icon=//p' "$desktop")
        svg=$root/share/icons/hicolor/scalable/apps/$icon.svg
        if [ ! -f "$svg" ]; then
            fail "the icon '$icon' is not at $svg"
        elif command -v xmllint >/dev/null 2>&1; then
            xmllint --noout "$svg" || fail "$svg is not well-formed"
        fi
    fi

    metainfo=$root/share/metainfo/org.example.Quorvane.metainfo.xml
    if [ ! -f "$metainfo" ]; then
        fail "$metainfo is missing"
    else
        said=$(appstreamcli validate --no-net "$metainfo" 2>&1) ||
            fail "appstreamcli validate refused $metainfo: $said"
        launched=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' \
            "$metainfo")
        [ -f "$root/share/applications/$launched" ] ||
            fail "the metadata launches '$launched', which is not in share/applications"
        grep -q "<release version=\"$version\"" "$metainfo" ||
            fail "the metadata names no release $version"
    fi

    man=$root/share/man/man1/Quorvane.1.gz
    if [ ! -f "$man" ]; then
        fail "$man is missing"
        return
    fi
    gzip -dc "$man" >"$work/Quorvane.1" || fail "$man is not gzip"
    warnings=$(groff -man -Tascii -ww -z "$work/Quorvane.1" 2>&1) || fail "groff cannot read $man"
    [ -z "$warnings" ] || fail "groff warns about $man: $warnings"
    # Plain text on long lines, so that the synopsis stays on one line.
    page=$(groff -man -Tascii -rLL=200n -P-cbu "$work/Quorvane.1" 2>/dev/null)
    for text in \
        "Quorvane [--help] [--version] [--forget-certificates] [--energy [DAY|MONTH]] [ADDRESS [OUTPUT-FILE]]" \
        "Quorvane $version" "NAME" "OPTIONS" "FILES" "EXIT STATUS" "QuorvaneB" \
        "mytoken.txt" "LarkspurstationError.log" '$XDG_CONFIG_HOME/Quorvane/Quorvane.conf'; do
        contains "$page" "$text" || fail "the man page does not say '$text'"
    done
    if [ ! -L "$root/share/man/man1/QuorvaneB.1.gz" ]; then
        fail "there is no QuorvaneB.1.gz link beside the man page"
    elif [ "$(readlink "$root/share/man/man1/QuorvaneB.1.gz")" != Quorvane.1.gz ]; then
        fail "QuorvaneB.1.gz does not point to Quorvane.1.gz"
    fi
    [ -f "$root/share/doc/quorvane/copyright" ] || fail "no copyright file in share/doc/quorvane"
}

"$cmake" --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; fail "cmake --install --prefix failed"; }
check_layout "$work/prefix"

DESTDIR="$work/stage" "$cmake" --install "$build" --prefix "$prefix" >"$work/stage.log" 2>&1 ||
    { cat "$work/stage.log"; fail "cmake --install with DESTDIR failed"; }
check_layout "$work/stage$prefix"
[ ! -e "$prefix" ] || fail "the staged install wrote to $prefix itself"

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "PASS: the installed layout in both prefixes"
