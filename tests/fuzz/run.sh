#!/bin/sh
# Builds the fuzz targets with clang's libFuzzer, AddressSanitizer and UBSan, runs each on its
# corpus for a while and reports the runs and any finding. See README.md.
#
#   tests/fuzz/run.sh [seconds per target] [target ...]
#
# Environment: FUZZ_BUILD (build folder, default build/fuzz), FUZZ_JOBS (targets run at
# once, default 4), FUZZ_MERGE=1 (add the inputs that reached new code to tests/fuzz/corpus),
# FUZZ_ARGS (more libFuzzer options, e.g. "-fork=2 -ignore_crashes=1" to go on past findings).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-180}
[ $# -gt 0 ] && shift
targets=${*:-"ogg_stream wav png saves http_reply score_server"}
build=${FUZZ_BUILD:-$root/build/fuzz}
jobs=${FUZZ_JOBS:-4}

if ! command -v clang++ >/dev/null 2>&1; then
  echo "run.sh: clang++ not found (apt-get install clang)" >&2
  exit 1
fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBRINDLEWICK_SANITIZE=ON -DBRINDLEWICK_FUZZ=ON \
  -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
for t in $targets; do
  cmake --build "$build" -j"$jobs" --target "fuzz_$t" >/dev/null
done

# Scratch files of the targets go to memory where there is some (the score store syncs).
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
# The libraries' own leaks (tests/lsan.supp) are passed over, as in the sanitized test runs.
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
out=$build/runs
mkdir -p "$out"

run_one() {
  t=$1
  mkdir -p "$out/$t/new" "$out/$t/artifacts"
  "$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=131072 -close_fd_mask=1 -print_final_stats=1 ${FUZZ_ARGS:-} \
    -artifact_prefix="$out/$t/artifacts/" "$out/$t/new" "$here/corpus/$t" >"$out/$t/log" 2>&1 || true
  if [ "${FUZZ_MERGE:-0}" = 1 ]; then
    "$build/tests/fuzz/fuzz_$t" -merge=1 -max_len=131072 -close_fd_mask=1 \
      "$here/corpus/$t" "$out/$t/new" >"$out/$t/merge.log" 2>&1 || true
  fi
}

# In rounds of FUZZ_JOBS targets side by side.
running=0
for t in $targets; do
  run_one "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait
    running=0
  fi
done
wait

status=0
for t in $targets; do
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$t/log" | tail -1)
  # with -fork the count is on the last status line of the jobs ("#N: cov: ...")
  [ -n "$runs" ] || runs=$(sed -n 's/^#\([0-9]*\): cov:.*/\1/p' "$out/$t/log" | tail -1)
  found=$(ls "$out/$t/artifacts" | wc -l)
  echo "$t: ${runs:-?} runs, $found finding(s)$( [ "$found" -gt 0 ] && echo " in $out/$t/artifacts")"
  [ "$found" -gt 0 ] && status=1
done
exit $status
