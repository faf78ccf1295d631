#!/usr/bin/env bash
# Runs one fuzz target for a given time:  fuzz/run.sh TARGET SECONDS [extra libFuzzer flags]
# TARGET is fuzz_memory, fuzz_file, fuzz_records or fuzz_text. The build goes to
# $FUZZ_BUILD_DIR (default build-fuzz in the checkout) and is made on first use;
# the growing corpus lives in $FUZZ_BUILD_DIR/corpus/TARGET, crashes in
# $FUZZ_BUILD_DIR/artifacts/TARGET, logs in $FUZZ_BUILD_DIR/logs. Exit status is
# the fuzzer's: non-zero when it found a crash, leak, timeout or sanitizer report.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
target=${1:?usage: run.sh TARGET SECONDS [libFuzzer flags]}
seconds=${2:?usage: run.sh TARGET SECONDS [libFuzzer flags]}
shift 2
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
# One allocation beyond this from a 64 KiB input means a size field drove it.
malloc_limit=${FUZZ_MALLOC_LIMIT_MB:-64}

case $target in
  fuzz_memory|fuzz_file) seeds=content ;;
  fuzz_records) seeds=records ;;
  fuzz_text) seeds=text ;;
  *) echo "unknown target $target" >&2; exit 2 ;;
esac

if [[ ! -x $build/$target || ${FUZZ_REBUILD:-0} == 1 ]]; then
  cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER="${CXX:-clang++}" >/dev/null
  nice -n 10 cmake --build "$build" -j"${JOBS:-1}" --target "$target" >/dev/null
fi
[[ -d $build/seeds/$seeds ]] || /usr/bin/python3 "$here/make_seeds.py" "$build/seeds" >/dev/null

corpus=$build/corpus/$target
artifacts=$build/artifacts/$target
mkdir -p "$corpus" "$artifacts" "$build/logs"
log=$build/logs/$target-$(date +%Y%m%d-%H%M%S).log

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
nice -n 10 "$build/$target" "$corpus" "$build/seeds/$seeds" \
  -max_len=65536 -rss_limit_mb=2048 -malloc_limit_mb="$malloc_limit" -timeout=10 \
  -max_total_time="$seconds" -dict="$here/id3.dict" -print_final_stats=1 \
  -artifact_prefix="$artifacts/" "$@" >"$log" 2>&1 || status=$?

rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
echo "$target: ${seconds}s, ${runs:-?} runs, ${rate:-?} exec/s, corpus $(ls "$corpus" | wc -l), status $status, log $log"
if [[ $status -ne 0 ]]; then
  grep -E "ERROR|SUMMARY|runtime error|fuzz check failed|Test unit written" "$log" | head -20 >&2
fi
exit $status
