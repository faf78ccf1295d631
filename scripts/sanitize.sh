#!/usr/bin/env bash
# Builds and runs the tests under a sanitizer: ./scripts/sanitize.sh asan|tsan
#   asan  every test, built with AddressSanitizer and UndefinedBehaviorSanitizer
#         (in build-asan); any report fails the run.
#   tsan  the library and the tests that run it from several threads at once,
#         built with ThreadSanitizer (in build-tsan).
# JOBS (default: 2) sets the build's parallelism.
set -euo pipefail
cd "$(dirname "$0")/.."

case "${1:-}" in
asan)
    build_dir=build-asan
    sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
    targets=(all)
    tests='.*'
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
    export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
    ;;
tsan)
    build_dir=build-tsan
    sanitize="-fsanitize=thread"
    targets=(tests_tag_access tests_platform)
    tests='^(Threads|PlatformFaults)\.'
    export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
    ;;
*)
    echo "usage: $0 asan|tsan" >&2
    exit 2
    ;;
esac

./scripts/install-deps.sh
start=$SECONDS
# Line tables only (reports still name every frame's file and line) build
# about twice as fast as full debug information; -O1 keeps the instrumented
# tests quick.
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g1 -O1" \
    -DCMAKE_CXX_FLAGS="$sanitize" -DCMAKE_EXE_LINKER_FLAGS="$sanitize" \
    -DCMAKE_SHARED_LINKER_FLAGS="$sanitize" -DTAGMILL_BUILD_BENCH=OFF -DTAGMILL_FUZZ=OFF
cmake --build "$build_dir" -j"${JOBS:-2}" --target "${targets[@]}"
built=$SECONDS
# Serially, as in the plain run: some tests watch the temporary directory.
ctest --test-dir "$build_dir" --output-on-failure -R "$tests"
echo "$1: build $((built - start)) s, tests $((SECONDS - built)) s"
