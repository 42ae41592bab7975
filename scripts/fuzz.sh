#!/usr/bin/env bash
# Runs every libFuzzer target at once for SECONDS (default 600), sharing the cores among them,
# each from its seed corpus (tests/fuzz/corpus/<target>) with its dictionary
# (tests/fuzz/<target>.dict), and keeps what it finds under fuzz-results/<target>/:
#   corpus/    inputs that reached new code (kept from run to run; the seeds are never changed)
#   findings/  crash-*, leak-*, timeout-*, oom-* and slow-unit-* inputs, to be replayed with
#              build-fuzz/tests/fuzz/<target> FILE
#   log        libFuzzer's output (every worker's runs, one after another)
# CSVQ_FUZZ_JOBS caps the cores used (default: all of them). Ends with status 1 when any target
# found something.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
jobs=${CSVQ_FUZZ_JOBS:-$(nproc)}

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCSVQ_GUI=OFF -DCSVQ_TESTS=OFF -DCSVQ_BENCH=OFF -DCSVQ_FUZZ=ON >/dev/null
cmake --build build-fuzz -j "$jobs"

targets=()
for fuzzer in build-fuzz/tests/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] && targets+=("$(basename "$fuzzer")")
done
per=$(( jobs / ${#targets[@]} ))
[ "$per" -ge 1 ] || per=1

# One worker per core: the fuzzer in its plain mode (about twice the executions of -fork, whose
# jobs start over again and again), started again after a finding until the time is up. The
# workers of a target share its corpus folder (libFuzzer reloads it now and then).
# -entropic=0: the entropic schedule spends more than half of each run updating feature
# frequencies on these targets; the plain one runs about twice as many inputs.
worker() {
  local target=$1 name=$2 out=$3 log=$4
  local end=$((SECONDS + seconds))
  while [ "$SECONDS" -lt "$end" ]; do
    local began=$SECONDS status=0
    ASAN_OPTIONS=detect_leaks=1 "build-fuzz/tests/fuzz/$target" \
      -max_total_time=$((end - SECONDS)) -max_len=4096 -timeout=10 -rss_limit_mb=2048 -entropic=0 \
      -print_final_stats=1 -dict="tests/fuzz/$name.dict" -artifact_prefix="$out/findings/" \
      "$out/corpus" "tests/fuzz/corpus/$name" >>"$log" 2>&1 || status=$?
    # A finding within seconds of the start lies in the corpus itself: starting again would only
    # find it again.
    if [ "$status" -ne 0 ] && [ $((SECONDS - began)) -lt 10 ]; then
      break
    fi
  done
}

pids=()
for target in "${targets[@]}"; do
  name=${target#fuzz_}
  out=fuzz-results/$name
  mkdir -p "$out/corpus" "$out/findings"
  : >"$out/log"
  echo "== $target: $seconds s on $per core(s), results in $out"
  for ((w = 0; w < per; ++w)); do
    worker "$target" "$name" "$out" "$out/log.$w" &
    pids+=($!)
  done
done
for pid in "${pids[@]}"; do
  wait "$pid" || true
done

status=0
for target in "${targets[@]}"; do
  name=${target#fuzz_}
  out=fuzz-results/$name
  cat "$out"/log.* >"$out/log" 2>/dev/null && rm -f "$out"/log.*
  runs=$(grep -oE 'stat::number_of_executed_units: [0-9]+' "$out/log" | awk '{n += $2} END {print n + 0}')
  found=$(find "$out/findings" -type f | wc -l)
  echo "$target: ${runs:-0} executions, $found finding(s)"
  if [ "$found" -gt 0 ]; then
    find "$out/findings" -type f | sed 's/^/  /'
    status=1
  fi
done
exit "$status"
