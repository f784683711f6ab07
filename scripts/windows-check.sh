#!/usr/bin/env bash
# The Windows check:
#  1. builds the core's libraries natively (the core-only preset, build-core/) and fails if any
#     of them holds a Qt symbol;
#  2. builds for Windows with MinGW-w64 into build-windows/: the whole program, its Windows window
#     tests and the core's tests when a Qt for MinGW-w64 is at hand (the windows-qt preset),
#     otherwise the core and its tests only (the windows preset);
#  3. runs every test program under Wine, in a fresh Wine prefix, with TZ=UTC,
#     TZ=Europe/Amsterdam and TZ=Asia/Kolkata (window tests on a virtual X display), and the
#     caption test again on screens of 144 and 192 dots per inch (150 and 200 %), and the
#     decimal separator's test under the user locales de-DE and ar-EG;
#  4. with Qt: packs build-windows/Quorvane-<version>-win64.zip and runs the programs from it,
#     unpacked into an empty folder, against the gateway simulator of a native build;
#  5. with Qt: makes the installer build-windows/Quorvane-<version>-win64.msi (with the zip) and
#     installs, starts, upgrades and removes it in a fresh Wine prefix.
# Exits non-zero when any step fails; ends with a summary either way, whose last line names the
# steps that failed, or the step the check stopped in when it ended early (an error, a signal).
# Environment:
#   QUORVANE_MINGW_QT   Qt 6 for MinGW-w64: an unpacked prefix, or the .tar.xz that holds one
#                       (unpacked under build-windows/qt/). Without it, scripts/build-qt-mingw.sh
#                       builds one from Debian's qt6-base source package into
#                       build-windows/qt-build/ (about 30 minutes, as root) and later runs reuse it.
#   QUORVANE_WINDOWS_CORE_ONLY=1   only the core and its tests, no Qt.
#   QUORVANE_JOBS (build jobs, default 2).
# The build settings are the presets' (CMakePresets.json): RelWithDebInfo, as GCC 12 at -O3
# reports false -Wrestrict overlaps inside std::string, and warnings as errors.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
scripts/deps.sh --windows || exit 1
root=$(pwd)
# shellcheck source=lib/wine.sh
source "$root/scripts/lib/wine.sh"

jobs=${QUORVANE_JOBS:-2}
native_dir="$root/build-core"
windows_dir="$root/build-windows"
# Each zone with the bias (minutes west of UTC) that Windows must report for it.
zones=(UTC Europe/Amsterdam Asia/Kolkata)
declare -A zone_bias=([UTC]=0 [Europe/Amsterdam]=-60 [Asia/Kolkata]=-330)

summary=()
failed=0
failed_steps=()
current_section="setting up"
completed=0
pass() { summary+=("PASS  $1"); }
fail() {
    summary+=("FAIL  $1")
    failed=1
    local known
    for known in "${failed_steps[@]}"; do
        [[ "$known" == "$current_section" ]] && return 0
    done
    failed_steps+=("$current_section")
}

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-windows-check.XXXXXX")
wine_use_prefix "$work/wineprefix"
# No windows on the user's display.
unset DISPLAY WAYLAND_DISPLAY

started=$SECONDS
section() {
    current_section=$1
    printf '\n==== %s  (%d s in)\n' "$1" $((SECONDS - started))
}

# The summary, at the end or wherever the check stopped.
report() {
    if ((completed == 0)); then
        fail "stopped in the step \"$current_section\""
    fi
    printf '\n==== Summary\n'
    printf '%s\n' "${summary[@]}"
    echo "($((SECONDS - started)) s)"
    if [[ $failed == 0 ]]; then
        echo "Windows check passed."
    else
        local IFS=';'
        echo "Windows check FAILED in: ${failed_steps[*]}"
    fi
}

xvfb_pid=
cleanup() {
    local status=$?
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null
    if [[ -d "$WINEPREFIX" ]]; then
        wine_stop
    fi
    rm -rf "$work"
    report
    ((completed == 1)) && exit "$status"
    exit 1
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# Builds with make or ninja, going on past failing targets so that every error is seen at once.
build() {
    local dir=$1 log=$2
    shift 2
    local keep_going=(-k)
    if [[ -f "$dir/build.ninja" ]]; then
        keep_going=(-k 0)
    fi
    cmake --build "$dir" -j "$jobs" "$@" -- "${keep_going[@]}" >"$log" 2>&1
}

# Prints the errors of a build log with the project's own places that lead to them.
show_errors() {
    local pattern=": (fatal )?error:|undefined reference|multiple definition"
    pattern+="|$root/(src|tests)/[^ :]+:[0-9]+"
    grep -E "$pattern" "$1" | grep -v '^g\?make' | awk '!seen[$0]++' | head -60 | sed 's/^/    /'
    echo "    (whole log: $1)"
}


# --- 1. The native core holds no Qt -------------------------------------------------------
section "Native core (build-core/)"
# The core is one static library a folder; quorvane_core names them all.
core_libraries=(quorvane_support quorvane_gateway quorvane_reading quorvane_history)
if cmake --preset core-only >"$work/native-configure.log" 2>&1 &&
    build "$native_dir" "$native_dir/windows-check-build.log" --target "${core_libraries[@]}"; then
    for library in "${core_libraries[@]}"; do
        native_lib="$native_dir/lib/lib$library.a"
        if [[ ! -f "$native_lib" ]]; then
            fail "native $library: no ${native_lib#"$root"/}"
            continue
        fi
        qt_symbols=$(nm -C "$native_lib" |
            grep -E '(^|[^A-Za-z0-9_])(Q[A-Z][A-Za-z0-9_]*|qt_[A-Za-z0-9_]*)' || true)
        if [[ -z "$qt_symbols" ]]; then
            pass "native $library has no Qt symbol"
        else
            fail "native $library has Qt symbols"
            printf '%s\n' "$qt_symbols" | head -20 | sed 's/^/    /'
        fi
    done
else
    fail "native core build (${core_libraries[*]})"
    tail -20 "$work/native-configure.log"
    show_errors "$native_dir/windows-check-build.log"
fi

# --- 2. The Windows cross build -------------------------------------------------------------
# Qt for MinGW-w64: the prefix whose lib/cmake/Qt6/qt.toolchain.cmake the build uses, or none.
qt_prefix=
find_qt() {
    local given=${QUORVANE_MINGW_QT:-}
    if [[ "${QUORVANE_WINDOWS_CORE_ONLY:-0}" == 1 ]]; then
        return 0
    fi
    if [[ -n "$given" && -d "$given" ]]; then
        qt_prefix=$(realpath "$given")
    elif [[ -n "$given" && -f "$given" ]]; then
        # Unpacked once; a different archive (by size and time) is unpacked again.
        local unpacked="$windows_dir/qt" stamp
        stamp=$(stat -c '%s %Y' "$given")
        if [[ "$(cat "$unpacked/.archive" 2>/dev/null)" != "$stamp" ]]; then
            rm -rf "$unpacked"
            mkdir -p "$unpacked"
            tar -C "$unpacked" -xf "$given" || return 1
            echo "$stamp" >"$unpacked/.archive"
        fi
        qt_prefix=$(dirname "$(dirname "$(dirname "$(dirname "$(
            find "$unpacked" -path '*/lib/cmake/Qt6/qt.toolchain.cmake' | head -1)")")")")
    elif [[ -n "$given" ]]; then
        echo "QUORVANE_MINGW_QT=$given: no such folder or archive" >&2
        return 1
    else
        local built="$windows_dir/qt-build/qt-6.4.2-mingw-w64-x86_64"
        if [[ ! -f "$built/lib/cmake/Qt6/qt.toolchain.cmake" ]]; then
            echo "    no Qt for MinGW-w64 given: building one (about 30 minutes)"
            "$root/scripts/build-qt-mingw.sh" "$windows_dir/qt-build" \
                >"$work/build-qt.log" 2>&1 || { tail -30 "$work/build-qt.log"; return 1; }
        fi
        qt_prefix=$built
    fi
    [[ -f "$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake" ]]
}

section "Windows build (build-windows/)"
windows_built=0
windows_preset=windows
if ! find_qt; then
    fail "Qt for MinGW-w64 (QUORVANE_MINGW_QT=${QUORVANE_MINGW_QT:-})"
elif [[ -n "$qt_prefix" ]]; then
    echo "    Qt: $qt_prefix"
    # The windows-qt preset takes Qt's toolchain file, which chain-loads the project's.
    export QUORVANE_MINGW_QT_PREFIX=$qt_prefix
    windows_preset=windows-qt
else
    echo "    core only"
fi
# A build folder made with the other toolchain starts afresh (the unpacked Qt stays).
wanted_toolchain=$root/cmake/mingw-w64-x86_64.cmake
[[ -n "$qt_prefix" ]] && wanted_toolchain=$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake
toolchain=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$windows_dir/CMakeCache.txt" 2>/dev/null)
if [[ -n "$toolchain" && "$toolchain" != "$wanted_toolchain" ]]; then
    rm -rf "$windows_dir/CMakeCache.txt" "$windows_dir/CMakeFiles"
fi
if [[ $failed == 1 ]]; then
    :
elif ! cmake --preset "$windows_preset" >"$work/windows-configure.log" 2>&1; then
    fail "Windows configure"
    tail -30 "$work/windows-configure.log"
elif rm -f "$windows_dir"/bin/*.exe &&
    # Removed first: a program that fails to link must not run in its older form.
    build "$windows_dir" "$windows_dir/windows-check-build.log"; then
    pass "Windows build${qt_prefix:+ of the program, its window tests,} of quorvane_core and its tests"
    windows_built=1
else
    fail "Windows build (errors below; tests that built still run)"
    show_errors "$windows_dir/windows-check-build.log"
    windows_built=1
fi
for exe in "$windows_dir"/bin/*.exe; do
    [[ -f "$exe" ]] && echo "    built: bin/${exe##*/}"
done

# --- 3. The tests under Wine, in three zones ------------------------------------------------
if [[ $windows_built == 1 ]]; then
    section "Wine prefix"
    # Wine writes into the home and XDG folders as well as the prefix: all of them are temporary.
    export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
    export XDG_CACHE_HOME="$work/cache"
    mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
    # The first start sets the prefix up (about 10 s); wait until it is complete.
    if wine_boot >"$work/wineboot.log" 2>&1; then
        echo "    $WINEPREFIX ready"
    else
        fail "wineboot in a fresh prefix"
        tail -20 "$work/wineboot.log"
    fi
    if [[ -n "$qt_prefix" ]]; then
        # The window tests and the program need a display: a virtual X server, with Wine's own
        # desktop in it, which draws window frames as Windows does (no X window manager needed).
        xvfb_start "$work" 1280x1024
        wine_desktop 1280x1024
        "$wineserver" -w
        echo "    display $DISPLAY with a 1280x1024 Wine desktop"
    fi

    # A small program that prints what Windows reports as the local zone, so that a run in a
    # zone that Wine did not take up cannot pass for a run in that zone.
    cat >"$work/zoneprobe.c" <<'EOF'
#include <stdio.h>
#include <windows.h>
int main(void) {
    TIME_ZONE_INFORMATION zone;
    GetTimeZoneInformation(&zone);
    printf("%ld\n", (long)zone.Bias);
    return 0;
}
EOF
    x86_64-w64-mingw32-gcc-posix -O2 -o "$work/zoneprobe.exe" "$work/zoneprobe.c"

    # Test programs that did not build are reported once here and left out of the runs.
    missing=()
    while read -r name exe; do
        if [[ ! -f "$exe" ]]; then
            missing+=("$name")
        fi
    done < <(grep -rh '^add_test(' --include=CTestTestfile.cmake "$windows_dir/tests" |
        sed -E 's/^add_test\(\[=\[([^]]+)\]=\] "[^"]*" "([^"]+)".*/\1 \2/')
    skip=()
    if ((${#missing[@]} > 0)); then
        fail "test programs not built: ${missing[*]}"
        skip=(-E "^($(IFS='|'; echo "${missing[*]}"))\$")
    fi

    for zone in "${zones[@]}"; do
        section "Tests under Wine, TZ=$zone"
        bias=$(TZ=$zone "$wine" "$work/zoneprobe.exe" 2>/dev/null | tr -d '\r')
        if [[ "$bias" != "${zone_bias[$zone]}" ]]; then
            fail "TZ=$zone: Wine reports bias '$bias', expected ${zone_bias[$zone]}"
            continue
        fi
        log="$work/ctest-${zone//\//-}.log"
        TZ=$zone ctest --test-dir "$windows_dir" "${skip[@]}" --output-on-failure \
            --no-tests=error --timeout 300 -j "$jobs" 2>&1 | tee "$log"
        status=${PIPESTATUS[0]}
        result=$(grep -E 'tests passed|No tests were found' "$log" | tail -1)
        if [[ $status == 0 ]]; then
            pass "TZ=$zone (bias $bias): $result"
        else
            failing=$(sed -nE 's/^\s+[0-9]+ - (.*)$/\1/p' "$log" | tr '\n' ' ')
            fail "TZ=$zone (bias $bias): ${result:-ctest failed}${failing:+: $failing}"
        fi
    done
fi

# --- 3b. Captions at 150 and 200 % --------------------------------------------------------------
# The caption test once more, in fresh prefixes whose screens have 144 and 192 dots per inch (the
# runs above had 96): every caption, label and value is drawn whole.
if [[ $windows_built == 1 && -n "$qt_prefix" ]]; then
    section "Captions at 150 and 200 % under Wine"
    main_prefix=$WINEPREFIX
    for dpi in 144 192; do
        export WINEPREFIX="$work/prefix-${dpi}dpi"
        if [[ ! -f "$windows_dir/bin/caption_test.exe" ]]; then
            fail "caption_test.exe was not built"
        elif wine_boot >/dev/null 2>&1; then
            wine_dpi "$dpi"
            wine_desktop 1280x1024
            "$wineserver" -w
            log="$work/captions-${dpi}dpi.log"
            if (cd "$windows_dir/bin" && "$wine" caption_test.exe) >"$log" 2>&1; then
                pass "captions, labels and values whole at $dpi dpi"
            else
                fail "captions at $dpi dpi"
                grep -A3 'Failure' "$log" | head -30 | sed 's/^/    /'
            fi
        else
            fail "wineboot for the $dpi dpi prefix"
        fi
        wine_stop
    done
    export WINEPREFIX=$main_prefix
fi

# --- 3c. The decimal separator under a German and an Arabic user locale ----------------------
if [[ $windows_built == 1 ]]; then
    section "Regional settings under Wine"
    # Wine takes the user locale from LC_ALL, which must name a locale the C library has: they
    # are made here with localedef (Debian's package locales), into a folder LOCPATH names.
    cat >"$work/localeprobe.c" <<'EOF'
#include <stdio.h>
#include <windows.h>
int main(void) {
    wchar_t name[LOCALE_NAME_MAX_LENGTH];
    GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
    printf("%ls\n", name);
    return 0;
}
EOF
    x86_64-w64-mingw32-gcc-posix -O2 -o "$work/localeprobe.exe" "$work/localeprobe.c"
    separator_test="$windows_dir/bin/support_decimalseparator_test.exe"
    mkdir -p "$work/locales"
    for language in de_DE ar_EG; do
        localedef -c -i "$language" -f UTF-8 "$work/locales/$language.UTF-8" >/dev/null 2>&1
        name=$(LOCPATH="$work/locales" LC_ALL=$language.UTF-8 "$wine" "$work/localeprobe.exe" \
            2>/dev/null | tr -d '\r')
        log="$work/separator-$language.log"
        if [[ "$name" != "${language/_/-}" ]]; then
            fail "LC_ALL=$language.UTF-8: Wine's user locale is '$name', not ${language/_/-}"
        elif LOCPATH="$work/locales" LC_ALL=$language.UTF-8 "$wine" "$separator_test" \
                >"$log" 2>&1 && ! grep -q SKIPPED "$log"; then
            pass "decimal separator under the user locale $name: $(grep -c '^\[  *OK' "$log") tests"
        else
            fail "decimal separator under the user locale $name"
            tail -20 "$log" | sed 's/^/    /'
        fi
    done
fi

# --- 4. The package, run from an empty folder ------------------------------------------------
if [[ $windows_built == 1 && -n "$qt_prefix" ]]; then
    section "Package (build-windows/)"
    package=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$windows_dir/CMakeCache.txt")
    version=$package
    package="$windows_dir/Quorvane-$version-win64.zip"
    installer="$windows_dir/Quorvane-$version-win64.msi"
    rm -f "$package" "$installer"
    if (cd "$windows_dir" && cpack) >"$work/cpack.log" 2>&1 && [[ -f "$package" ]]; then
        pass "package ${package#"$root"/} ($(du -h "$package" | cut -f1))"
    else
        fail "package"
        tail -20 "$work/cpack.log"
    fi
    if [[ -f "$installer" ]]; then
        pass "installer ${installer#"$root"/} ($(du -h "$installer" | cut -f1))"
    else
        fail "installer ${installer#"$root"/} (is wixl installed?)"
        tail -20 "$work/cpack.log"
    fi

    section "The programs' resources and the installer's tables"
    # What Explorer shows: the icon group (16 to 256 pixels) and the version of each program.
    unpacked="$work/resources"
    if [[ -f "$package" ]] && mkdir -p "$unpacked" && unzip -q -o "$package" -d "$unpacked"; then
        for program in Quorvane.exe QuorvaneB.exe; do
            exe="$unpacked/Quorvane-$version-win64/$program"
            listed=$(wrestool -l "$exe" 2>&1)
            wrestool -x --type=group_icon "$exe" >"$unpacked/icon.ico" 2>/dev/null
            sizes=$(icotool -l "$unpacked/icon.ico" 2>/dev/null |
                sed -nE 's/.*--width=([0-9]+) .*/\1/p' | sort -n | tr '\n' ' ')
            product_version=$(wrestool -x --raw --type=version "$exe" 2>/dev/null |
                strings -el | sed -n '/^ProductVersion$/{n;p;q}')
            if ! grep -q 'type=group_icon' <<<"$listed"; then
                fail "$program has no icon group: $(tr '\n' ' ' <<<"$listed")"
            elif [[ "$sizes" != "16 24 32 48 64 128 256 " ]]; then
                fail "$program's icon has the sizes '$sizes', not 16 to 256"
            else
                pass "$program carries the icon in the sizes $sizes"
            fi
            if ! grep -q 'type=version' <<<"$listed"; then
                fail "$program has no version resource"
            elif [[ "$product_version" != "$version" ]]; then
                fail "$program's product version is '$product_version', not $version"
            else
                pass "$program's version resource: ProductVersion $product_version"
            fi
        done
    else
        fail "the programs in ${package#"$root"/} could not be read"
    fi
    if [[ -f "$installer" ]]; then
        icon_property=$(msiinfo export "$installer" Property 2>/dev/null |
            awk -F'\t' '$1 == "ARPPRODUCTICON" { print $2 }' | tr -d '\r')
        # Exporting a table with binary data writes its streams into the current folder.
        icon_row=$(cd "$work" && msiinfo export "$installer" Icon 2>/dev/null |
            awk -F'\t' -v icon="$icon_property" '$1 == icon { print $1 }' | tr -d '\r')
        if [[ -n "$icon_property" && "$icon_row" == "$icon_property" ]]; then
            pass "the installer's ARPPRODUCTICON $icon_property is in its Icon table"
        else
            fail "the installer's ARPPRODUCTICON is '$icon_property', its Icon row '$icon_row'"
        fi
    fi

    section "The packaged programs under Wine against the simulator"
    # The simulator is a Linux program: the native build's (the default preset, as
    # scripts/test.sh builds it).
    native_build="$root/build"
    if [[ -f "$package" ]] &&
        cmake --preset default >"$work/native-configure.log" 2>&1 &&
        cmake --build "$native_build" -j "$jobs" --target quorvane-gateway-sim \
            >"$work/simulator-build.log" 2>&1; then
        log="$work/package-check.log"
        "$root/tests/e2e/check-windows-package.sh" "$package" \
            "$native_build/bin/quorvane-gateway-sim" "$windows_dir/bin/windowsprobe.exe" 2>&1 |
            tee "$log"
        if [[ ${PIPESTATUS[0]} == 0 ]]; then
            pass "packaged programs: $(tail -1 "$log")"
        else
            fail "packaged programs: $(tail -1 "$log")"
        fi
    elif [[ -f "$package" ]]; then
        fail "native simulator build"
        tail -20 "$work/simulator-build.log"
    fi

    section "The installer under Wine: install, start, upgrade, remove"
    # The same program packed as the next version, for the upgrade.
    later_version=$(awk -F. -v OFS=. '{ $3 += 1; print }' <<<"$version")
    later_installer="$work/later/Quorvane-$later_version-win64.msi"
    if [[ -f "$installer" && -x "$native_build/bin/quorvane-gateway-sim" ]] &&
        (cd "$windows_dir" && cpack -G External -R "$later_version" -B "$work/later") \
            >"$work/cpack-later.log" 2>&1 && [[ -f "$later_installer" ]]; then
        log="$work/installer-check.log"
        "$root/tests/e2e/check-windows-installer.sh" "$installer" "$later_installer" "$package" \
            "$native_build/bin/quorvane-gateway-sim" "$windows_dir/bin/windowsprobe.exe" \
            "$windows_dir/bin/installerprobe.exe" 2>&1 | tee "$log"
        if [[ ${PIPESTATUS[0]} == 0 ]]; then
            pass "installer: $(tail -1 "$log")"
        else
            fail "installer: $(tail -1 "$log")"
        fi
    elif [[ -f "$installer" ]]; then
        fail "installer check: no simulator or no later version's installer"
        tail -20 "$work/cpack-later.log" 2>/dev/null
    fi
fi

completed=1
exit $failed
