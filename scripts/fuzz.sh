#!/usr/bin/env bash
# Runs every libFuzzer target at once for SECONDS (default 600), sharing the cores among them,
# each from its seed corpus (tests/fuzz/corpus/<target>) with its dictionary
# (tests/fuzz/<target>.dict), and keeps what it finds under fuzz-results/<target>/:
#   corpus/    inputs that reached new code (kept from run to run; the seeds are never changed)
#   findings/  crash-*, leak-*, timeout-*, oom-* and slow-unit-* inputs, to be replayed with
#              CSVQ_SIMD=<level> build-fuzz/tests/fuzz/<target> FILE
#   log        libFuzzer's output (every worker's runs, one after another)
# CSVQ_FUZZ_JOBS caps the cores used (default: all of them); CSVQ_FUZZ_TARGETS="json find" runs
# only those targets (default: all of them). CSVQ_FUZZ_EXECUTIONS (default: no
# limit) ends each target once its workers together have run that many inputs, so that a
# campaign can be asked for a number of executions, with SECONDS as the cap:
#   CSVQ_FUZZ_EXECUTIONS=10000000 scripts/fuzz.sh 86400
# Ends with status 1 when any target found something.
#
# Every target runs at every vector level (CSVQ_SIMD=avx512, avx2, sse2, scalar): with four or
# more workers per target, worker w keeps level w % 4; with fewer, each worker moves through the
# four levels, a quarter of the time on each.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
jobs=${CSVQ_FUZZ_JOBS:-$(nproc)}
executions=${CSVQ_FUZZ_EXECUTIONS:-0}
levels=(avx512 avx2 sse2 scalar)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCSVQ_GUI=OFF -DCSVQ_TESTS=OFF -DCSVQ_BENCH=OFF -DCSVQ_FUZZ=ON >/dev/null
cmake --build build-fuzz -j "$jobs"

targets=()
for fuzzer in build-fuzz/tests/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  if [ -n "${CSVQ_FUZZ_TARGETS:-}" ] && [[ " $CSVQ_FUZZ_TARGETS " != *" ${name#fuzz_} "* ]]; then
    continue
  fi
  targets+=("$name")
done
[ "${#targets[@]}" -gt 0 ] || { echo "no fuzz target to run" >&2; exit 2; }
per=$(( jobs / ${#targets[@]} ))
[ "$per" -ge 1 ] || per=1
# Each worker's share of the executions asked for (0: none asked, libFuzzer's -runs=-1).
share=-1
if [ "$executions" -gt 0 ]; then
  share=$(( (executions + per - 1) / per ))
fi

# One worker per core: the fuzzer in its plain mode (about twice the executions of -fork, whose
# jobs start over again and again), started again after a finding until the time is up. The
# workers of a target share its corpus folder (libFuzzer reloads it now and then).
# -entropic=0: the entropic schedule spends more than half of each run updating feature
# frequencies on these targets; the plain one runs about twice as many inputs.
worker() {
  local target=$1 name=$2 out=$3 log=$4 index=$5
  local end=$((SECONDS + seconds))
  local slices=1
  [ "$per" -ge 4 ] || slices=4
  local left=$share
  for ((slice = 0; slice < slices; ++slice)); do
    local level=${levels[$(( (index + slice) % 4 ))]}
    # This slice ends at its share of the time (the last one at the end).
    local sliceEnd=$(( end - (seconds * (slices - 1 - slice)) / slices ))
    local sliceRuns=-1
    if [ "$left" -gt 0 ]; then
      sliceRuns=$(( (left + slices - slice - 1) / (slices - slice) ))
    elif [ "$share" -gt 0 ]; then
      break
    fi
    while [ "$SECONDS" -lt "$sliceEnd" ]; do
      local began=$SECONDS status=0
      echo "-- CSVQ_SIMD=$level" >>"$log"
      CSVQ_SIMD=$level ASAN_OPTIONS=detect_leaks=1 "build-fuzz/tests/fuzz/$target" \
        -max_total_time=$((sliceEnd - SECONDS)) -runs="$sliceRuns" -max_len=4096 -timeout=10 \
        -rss_limit_mb=2048 -entropic=0 -print_final_stats=1 -dict="tests/fuzz/$name.dict" \
        -artifact_prefix="$out/findings/$level-" "$out/corpus" "tests/fuzz/corpus/$name" >>"$log" 2>&1 ||
        status=$?
      local ran
      ran=$(tac "$log" | grep -m1 -oE 'stat::number_of_executed_units: [0-9]+' | awk '{print $2}' || true)
      if [ "$left" -gt 0 ]; then
        left=$(( left - ${ran:-0} ))
        sliceRuns=$(( sliceRuns - ${ran:-0} ))
      fi
      # A clean end: the slice's time or its executions are used up.
      [ "$status" -eq 0 ] && break
      # A finding within seconds of the start lies in the corpus itself: starting again at this
      # level would only find it again. The worker goes on with its next level.
      [ $((SECONDS - began)) -lt 10 ] && break
      [ "$share" -gt 0 ] && [ "$sliceRuns" -le 0 ] && break
    done
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
    worker "$target" "$name" "$out" "$out/log.$w" "$w" &
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
