#!/usr/bin/env bash
# Builds everything and runs every test: the sanitizer build (window tests under Xvfb) with the
# reading and document tests once per narrower vector level, the window-free build under
# ThreadSanitizer, the bounded fuzz runs, then the full suite (GUI tests under Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
csvq_install_deps

jobs=${CSVQ_JOBS:-$(nproc)}
fuzz_seconds=${CSVQ_FUZZ_SECONDS:-30}

# A private home for the GUI tests: configuration, runtime folder and clipboard stay out of the user's.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/run"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build: libraries, grid, viewer and their tests"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCSVQ_BENCH=OFF -DCSVQ_SANITIZE=ON -DCSVQ_WERROR=ON \
  >/dev/null
cmake --build build-asan -j "$jobs"
# Window tests run under Xvfb here too. NO_AT_BRIDGE keeps GTK's accessibility bridge (and the
# D-Bus connection it leaks) out; tests/lsan-gui.supp names GTK, GLib and fontconfig only, so any
# other leak, and every other sanitizer report, fails the run.
NO_AT_BRIDGE=1 ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  LSAN_OPTIONS="suppressions=$PWD/tests/lsan-gui.supp:print_suppressions=0" \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  xvfb-run -a -s "-screen 0 1600x1000x24" \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

# Runs the commands (strings for bash -c) at once, each into a log of its own in the scratch folder;
# then tells each one's end in order, with the whole log of any that failed. Fails when any failed.
run_together() {
  local pids=() failed=0 i status
  i=0
  for command in "$@"; do
    bash -c "$command" >"$scratch/together.$i.log" 2>&1 &
    pids+=($!)
    i=$((i + 1))
  done
  i=0
  for command in "$@"; do
    status=0
    wait "${pids[$i]}" || status=$?
    echo "-- $command"
    if [ "$status" -ne 0 ]; then
      cat "$scratch/together.$i.log"
      echo "failed with status $status"
      failed=1
    else
      tail -n 1 "$scratch/together.$i.log"
    fi
    i=$((i + 1))
  done
  return "$failed"
}

# The vector paths are chosen at run time and this machine may have the widest: the reading and
# document tests run again with each narrower ceiling, so that every fallback runs too, and with
# the fast paths off; here, under the sanitizers, all at once.
echo "== Reading and document tests at each narrower vector level and with the fast paths off (AddressSanitizer + UndefinedBehaviorSanitizer)"
# The document tests take the longest: each setting's run of them is cut into three shards.
sanitized=()
for setting in CSVQ_SIMD=avx2 CSVQ_SIMD=sse2 CSVQ_SIMD=scalar CSVQ_FAST_PATHS=off; do
  asan="$setting ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
  sanitized+=("$asan build-asan/tests/reading/csvq_tests_reading --gtest_brief=1")
  for shard in 0 1 2; do
    sanitized+=("GTEST_TOTAL_SHARDS=3 GTEST_SHARD_INDEX=$shard $asan build-asan/tests/document/csvq_tests_document --gtest_brief=1")
  done
done
run_together "${sanitized[@]}"

# The window-free build: CSVQ_GUI=OFF, without wxWidgets (a wx header in a window-free library
# fails it), under ThreadSanitizer. Every window-free library and every headless test binary is
# built and run: the explorer's store, listing worker and folder watcher, the grid's box pool and
# its detached frees, the document and the reading library's chunk buffer run threads; so does
# the open switch's server thread, whose test alone is built over wx's base and net libraries
# (CSVQ_OPEN_SWITCH_TEST). Whole binaries, but for three document tests that compare the read
# paths on large generated files in one thread (they run in the other builds).
echo "== ThreadSanitizer build without wxWidgets (CSVQ_GUI=OFF): every window-free library and headless test"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCSVQ_BENCH=OFF -DCSVQ_SANITIZE_THREAD=ON \
  -DCSVQ_GUI=OFF -DCSVQ_OPEN_SWITCH_TEST=ON -DCSVQ_WERROR=ON >/dev/null
cmake --build build-tsan -j "$jobs"
tsan="TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1"
single_thread_document_tests="FastPathTwins.EveryEncodingGivesWhatThePlainPathGives"
single_thread_document_tests+=":FastPathTwins.LongJumpsAndSearchesOverAGeneratedFile"
single_thread_document_tests+=":SegmentCacheModel.PassesWithoutRowsLeaveWhatStoringEveryPassLeaves"
run_together "$tsan build-tsan/tests/explorer/csvq_tests_explorer_core --gtest_brief=1" \
  "$tsan build-tsan/tests/explorer/csvq_tests_explorer_ui --gtest_brief=1" \
  "$tsan build-tsan/tests/grid/csvq_tests_grid_core --gtest_brief=1" \
  "$tsan build-tsan/tests/app/csvq_tests_app_core --gtest_brief=1" \
  "$tsan build-tsan/tests/app/csvq_tests_open_switch --gtest_brief=1" \
  "$tsan build-tsan/tests/json/csvq_tests_json --gtest_brief=1" \
  "$tsan build-tsan/tests/reading/csvq_tests_reading --gtest_brief=1" \
  "$tsan build-tsan/tests/document/csvq_tests_document --gtest_brief=1 --gtest_filter=-$single_thread_document_tests"

if [ -e /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a ] || \
   compgen -G "/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null; then
  echo "== libFuzzer runs (${fuzz_seconds} s each)"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCSVQ_GUI=OFF -DCSVQ_TESTS=OFF -DCSVQ_BENCH=OFF -DCSVQ_FUZZ=ON -DCSVQ_WERROR=ON >/dev/null
  cmake --build build-fuzz -j "$jobs"
  # Each starts from its seed corpus with its dictionary (scripts/fuzz.sh runs them longer), all
  # at once, each at one vector level: the levels go round the targets (avx2, sse2, scalar, and
  # the machine's own), shifted by the commit under test, so that over commits every target meets
  # every level while a run of the same commit always gives each target the same level.
  # The inputs a fuzzer finds go to the scratch folder; its findings (crash, leak, timeout, oom
  # inputs) to fuzz-results/ci/<target>/, which is kept when it fails, with its whole log, and
  # removed when it passes. A failing fuzzer does not stop the script here: each one's end is told,
  # then the script fails.
  levels=(avx2 sse2 scalar top)
  commit=$(git rev-parse --short=7 HEAD 2>/dev/null || echo 0)
  shift_by=$(( 16#${commit:0:7} % 4 ))
  fuzzers=()
  fuzzer_levels=()
  pids=()
  for fuzzer in build-fuzz/tests/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    level=${levels[$(( (${#fuzzers[@]} + shift_by) % ${#levels[@]} ))]}
    results=fuzz-results/ci/$name
    rm -rf "$results"
    mkdir -p "$scratch/$name" "$results"
    (
      if [ "$level" = top ]; then unset CSVQ_SIMD; else export CSVQ_SIMD=$level; fi
      exec env ASAN_OPTIONS=detect_leaks=1 "$fuzzer" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 \
        -max_len=4096 -timeout=10 -entropic=0 -dict="tests/fuzz/${name#fuzz_}.dict" \
        -artifact_prefix="$results/" -print_final_stats=1 "$scratch/$name" \
        "tests/fuzz/corpus/${name#fuzz_}"
    ) >"$results/log" 2>&1 &
    fuzzers+=("$name")
    fuzzer_levels+=("$level")
    pids+=($!)
  done
  failed=""
  for i in "${!fuzzers[@]}"; do
    name=${fuzzers[$i]}
    level=${fuzzer_levels[$i]}
    results=fuzz-results/ci/$name
    status=0
    wait "${pids[$i]}" || status=$?
    rm -rf "${scratch:?}/$name"
    if [ "$status" -ne 0 ]; then
      echo "-- $name (CSVQ_SIMD=$level): the whole log"
      cat "$results/log"
      echo "fuzzer $name failed with status $status at CSVQ_SIMD=$level; its findings and log are in $results/:"
      find "$results" -type f ! -name log | sed 's/^/  /'
      echo "  (replay one: $([ "$level" = top ] || echo "CSVQ_SIMD=$level ")build-fuzz/tests/fuzz/$name FILE)"
      failed+=" $name"
    else
      echo "-- $name (CSVQ_SIMD=$level): $(grep -m1 -E '^Done [0-9]+ runs' "$results/log" || echo done)," \
        "$(grep -m1 -oE 'average_exec_per_sec: +[0-9]+' "$results/log" | awk '{print $2}' || true) a second"
      rm -rf "$results"
    fi
  done
  rmdir fuzz-results/ci fuzz-results 2>/dev/null || true
  if [ -n "$failed" ]; then
    echo "fuzzers failed:$failed"
    exit 1
  fi
else
  echo "== clang's fuzzer runtime is not installed: fuzz runs skipped"
fi

echo "== Main build and the full test suite"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCSVQ_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
xvfb-run -a -s "-screen 0 1600x1000x24" ctest --test-dir build --output-on-failure -j "$jobs"
