#!/usr/bin/env bash
# Installs the Debian packages that Tagmill needs, but only those that are
# missing, so a prepared machine is left alone.
#   ./scripts/install-deps.sh         building and testing everything
#   ./scripts/install-deps.sh build   building the library and the program only
#   ./scripts/install-deps.sh windows everything, plus the cross compiler,
#                                     GoogleTest's sources and Wine for the
#                                     Windows build (scripts/test-windows.sh)
set -euo pipefail

# The library and the tagmill program.
packages=(cmake g++ make libcli11-dev nlohmann-json3-dev)
if [[ ${1:-all} != build ]]; then
    # Tests, the benchmark and the peer libraries they compare with.
    packages+=(libgtest-dev libtag1-dev python3-mutagen pkg-config)
    # Other tag tools, for the interoperability matrix (interop/).
    packages+=(ffmpeg eyed3 id3v2 kid3-cli)
    # clang with its sanitizer and libFuzzer runtimes, for the fuzz targets (fuzz/).
    packages+=(clang libclang-rt-14-dev)
fi
if [[ ${1:-} == windows ]]; then
    packages+=(g++-mingw-w64-x86-64-posix googletest wine wine64)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} > 0)); then
    echo "Installing: ${missing[*]}"
    sudo=""
    if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
