#!/usr/bin/env bash
# Builds everything and runs every test: ./scripts/test.sh
# BUILD_DIR (default: build) and JOBS (default: 2) may be set in the environment.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" -j"${JOBS:-2}"
# Serially: some tests watch the temporary directory for leftover files.
ctest --test-dir "$build_dir" --output-on-failure
