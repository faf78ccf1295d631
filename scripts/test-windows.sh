#!/usr/bin/env bash
# Cross-builds Tagmill for 64-bit Windows with mingw-w64 (static library, DLL,
# tagmill.exe, test programs) and runs every test under Wine in a throwaway
# Wine prefix: ./scripts/test-windows.sh
# WINDOWS_BUILD_DIR (default: build-windows) and JOBS (default: 2) may be set.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh windows
build_dir=${WINDOWS_BUILD_DIR:-build-windows}

# Wine sets up a prefix once (the slow part), then every program starts fast.
WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDEBUG=-all
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
wineboot -i >/dev/null 2>&1

start=$(date +%s)
cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" -j"${JOBS:-2}"
built=$(date +%s)
# Serially, as on Linux: some tests watch the temporary directory.
ctest --test-dir "$build_dir" --output-on-failure

# The DLL serves a host built through the installed pkg-config file; the
# host finds the DLL and the compiler's runtime DLLs beside it.
prefix="$WINEPREFIX/tagmill"
cmake --install "$build_dir" --prefix "$prefix" >/dev/null
mingw=x86_64-w64-mingw32-g++-posix
# shellcheck disable=SC2046 # the flags are meant to split into words
$mingw -std=c++17 examples/read_title.cpp $(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs tagmill) \
    -o "$prefix/bin/read_title.exe"
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    cp "$($mingw -print-file-name=$dll)" "$prefix/bin/"
done
title=$(wine "$prefix/bin/read_title.exe" samples/sample.mp3 | tr -d '\r')
[[ "$title" == "Silent Sample" ]] || { echo "read_title.exe printed '$title'" >&2; exit 1; }
wine "$prefix/bin/tagmill.exe" show --json samples/sample.mp3 >/dev/null
echo "Windows build $((built - start)) s, tests $(($(date +%s) - built)) s"
