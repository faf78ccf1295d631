#!/usr/bin/env bash
# Builds the tagmill program and shows its main job on the bundled sample:
# read the tags, set a title and a cover picture on a copy, read them again.
# The committed sample is never changed. ./scripts/demo.sh
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh build
build_dir=${BUILD_DIR:-build-demo}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAGMILL_BUILD_TESTS=OFF -DTAGMILL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build_dir" -j"${JOBS:-2}" --target tagmill_cli >/dev/null
[[ $build_dir == /* ]] || build_dir="$PWD/$build_dir"
tagmill="$build_dir/tools/tagmill"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp samples/sample.mp3 "$work/song.mp3"
cp samples/cover.png "$work/cover.png"
cd "$work"

# Prints the command as one would type it (quoting arguments with spaces), then runs it.
run() {
    local shown="\$ tagmill" arg
    for arg in "$@"; do
        if [[ $arg == *" "* ]]; then shown+=" \"$arg\""; else shown+=" $arg"; fi
    done
    printf '\n%s\n' "$shown"
    "$tagmill" "$@"
}

run --version
run show song.mp3
run set song.mp3 --title "Blue Train" --picture cover.png --comment "iTunSMPB= 00000000 00000210"
run show song.mp3
run frames song.mp3
run extract-picture song.mp3 cover-out.png
cmp -s cover.png cover-out.png && echo "(cover-out.png is byte for byte the picture that went in)"
