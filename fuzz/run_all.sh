#!/usr/bin/env bash
# Runs every fuzz target in turn for the given time:  fuzz/run_all.sh SECONDS
# Fails when any target reports a problem (each keeps running its full time
# only if it finds nothing).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
seconds=${1:?usage: run_all.sh SECONDS}
failed=0
for target in fuzz_memory fuzz_file fuzz_records fuzz_text; do
  "$here/run.sh" "$target" "$seconds" || failed=1
done
exit $failed
