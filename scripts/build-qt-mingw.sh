#!/usr/bin/env bash
# Builds Qt 6.4.2 (qtbase: Core, Gui, Widgets, Network, Test; Schannel TLS) for 64-bit Windows
# with Debian 12's MinGW-w64 (posix threads), from Debian's own qt6-base source package, and
# packs it as WORK-FOLDER/qt-6.4.2-mingw-w64-x86_64.tar.xz. About 30 minutes on 2 cores. Run as
# root (it installs packages and adds Debian's source archive to apt's list).
# scripts/windows-check.sh runs it when no prebuilt Qt is given, with WORK-FOLDER
# build-windows/qt-build, and keeps the result there for later runs.
#
# Usage: scripts/build-qt-mingw.sh [WORK-FOLDER]   (default /tmp/qt-mingw-build)
set -euo pipefail
work=$(realpath -m "${1:-/tmp/qt-mingw-build}")
name=qt-6.4.2-mingw-w64-x86_64
mkdir -p "$work"
cd "$work"

apt-get install -y -qq --no-install-recommends qt6-base-dev qt6-base-dev-tools \
    g++-mingw-w64-x86-64-posix cmake ninja-build perl xz-utils dpkg-dev >/dev/null

# The source package needs a deb-src line for the same archive.
if ! apt-cache showsrc qt6-base >/dev/null 2>&1 || [[ -z "$(apt-cache showsrc qt6-base 2>/dev/null)" ]]; then
    cat >/etc/apt/sources.list.d/debian-src.sources <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    apt-get update -qq
fi
apt-get source --download-only qt6-base=6.4.2+dfsg-10
rm -rf qtbase-everywhere-src-6.4.2
tar xf qt6-base_6.4.2+dfsg.orig.tar.xz
src=$work/qtbase-everywhere-src-6.4.2

# With OpenGL off, this file still reaches for the dynamic-GL context (Qt 6.4.2 bug).
sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
    "$src/src/plugins/platforms/windows/qwindowswindow.cpp"

cat >toolchain.cmake <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

# The Debian dfsg source lacks wintab.h, hence no tablet events; bundled third-party libraries
# throughout, since the MinGW sysroot has none.
# -ffile-prefix-map keeps this machine's folders out of the binaries' source-file strings.
maps="-ffile-prefix-map=$src/= -ffile-prefix-map=$work/build/="
rm -rf build
cmake -G Ninja -S "$src" -B build \
    -DCMAKE_C_FLAGS="$maps" -DCMAKE_CXX_FLAGS="$maps" \
    -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$work/$name" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
    -DQT_QMAKE_TARGET_MKSPEC=win32-g++ \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF -DFEATURE_printsupport=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_openssl=OFF -DINPUT_openssl=no \
    -DFEATURE_schannel=ON -DFEATURE_vulkan=OFF -DFEATURE_tabletevent=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_freetype=OFF \
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF -DFEATURE_zstd=OFF \
    -DFEATURE_icu=OFF -DFEATURE_glib=OFF -DFEATURE_gif=OFF -DFEATURE_ico=ON
ninja -C build -j "$(nproc)"
rm -rf "$work/$name"
cmake --install build >/dev/null
rm -rf "$work/$name/doc"
# Self-contained: the toolchain file travels inside the package, and no text file names the
# folders it was built in.
cp toolchain.cmake "$work/$name/lib/cmake/Qt6/mingw-w64-x86_64.cmake"
sed -i 's|^set(__qt_initially_configured_toolchain_file .*|set(__qt_initially_configured_toolchain_file "${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake")|' \
    "$work/$name/lib/cmake/Qt6/qt.toolchain.cmake"
grep -rIl -e "$work" -e "$src" "$work/$name" | xargs -r sed -i -e "s|$src|qtbase-everywhere-src-6.4.2|g" -e "s|$work/build|qtbase-build|g" -e "s|$work|.|g"
x86_64-w64-mingw32-strip --strip-unneeded "$work/$name"/bin/*.dll "$work/$name"/plugins/*/*.dll
if grep -rl -e "$work" -e "$src" "$work/$name" >/dev/null; then
    echo "build folders still named in: $(grep -rl -e "$work" -e "$src" "$work/$name" | head -3)" >&2
    exit 1
fi
tar -C "$work" --owner=0 --group=0 --numeric-owner -cJf "$work/$name.tar.xz" "$name"
echo "$work/$name.tar.xz"
