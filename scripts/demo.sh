#!/usr/bin/env bash
# Builds the tagmill program and runs it on the bundled sample: ./scripts/demo.sh
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" -j"${JOBS:-2}" --target tagmill_cli

tagmill="$build_dir/tools/tagmill"
for command in info show; do
    echo
    echo "\$ tagmill $command samples/sample.mp3"
    "$tagmill" "$command" samples/sample.mp3
done
