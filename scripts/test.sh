#!/usr/bin/env bash
# Builds everything and runs every test: the sanitizer build (window tests under Xvfb), the
# bounded fuzz runs, the full suite (GUI tests under Xvfb), then the reading and document tests
# once per narrower vector level.
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
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCSVQ_BENCH=OFF -DCSVQ_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$jobs"
# Window tests run under Xvfb here too. NO_AT_BRIDGE keeps GTK's accessibility bridge (and the
# D-Bus connection it leaks) out; tests/lsan-gui.supp names GTK, GLib and fontconfig only, so any
# other leak, and every other sanitizer report, fails the run.
NO_AT_BRIDGE=1 ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  LSAN_OPTIONS="suppressions=$PWD/tests/lsan-gui.supp:print_suppressions=0" \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  xvfb-run -a -s "-screen 0 1600x1000x24" \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

# The vector paths are chosen at run time and this machine may have the widest: the reading and
# document tests run again with each narrower ceiling, so that every fallback runs too, and with
# the fast paths off; here, under the sanitizers.
for level in avx2 sse2 scalar; do
  echo "== Reading and document tests with CSVQ_SIMD=$level (AddressSanitizer + UndefinedBehaviorSanitizer)"
  CSVQ_SIMD=$level ASAN_OPTIONS=detect_leaks=1 build-asan/tests/reading/csvq_tests_reading --gtest_brief=1
  CSVQ_SIMD=$level ASAN_OPTIONS=detect_leaks=1 build-asan/tests/document/csvq_tests_document --gtest_brief=1
done
echo "== Reading and document tests with the fast paths off (AddressSanitizer + UndefinedBehaviorSanitizer)"
CSVQ_FAST_PATHS=off ASAN_OPTIONS=detect_leaks=1 build-asan/tests/reading/csvq_tests_reading --gtest_brief=1
CSVQ_FAST_PATHS=off ASAN_OPTIONS=detect_leaks=1 build-asan/tests/document/csvq_tests_document --gtest_brief=1

# Every test binary whose code runs threads, whole: the explorer's store, listing worker and folder
# watcher; the grid's box pool and its detached frees; the document with its buffer-free thread;
# the open switch's server thread.
echo "== ThreadSanitizer build: explorer core, grid core, document and open switch tests"
tsan_tests=(tests/explorer/csvq_tests_explorer_core tests/grid/csvq_tests_grid_core
            tests/document/csvq_tests_document tests/app/csvq_tests_open_switch)
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCSVQ_BENCH=OFF -DCSVQ_SANITIZE_THREAD=ON >/dev/null
cmake --build build-tsan -j "$jobs" --target "${tsan_tests[@]##*/}"
for test in "${tsan_tests[@]}"; do
  echo "-- ${test##*/}"
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 "build-tsan/$test" --gtest_brief=1
done

if [ -e /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a ] || \
   compgen -G "/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null; then
  echo "== libFuzzer runs (${fuzz_seconds} s each)"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCSVQ_GUI=OFF -DCSVQ_TESTS=OFF -DCSVQ_BENCH=OFF -DCSVQ_FUZZ=ON >/dev/null
  cmake --build build-fuzz -j "$jobs"
  # Each starts from its seed corpus with its dictionary (scripts/fuzz.sh runs them longer).
  # A failing fuzzer must not stop the script before its line is printed and its corpus removed.
  for fuzzer in build-fuzz/tests/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    name=${name#fuzz_}
    corpus=$(mktemp -d -p "$scratch")
    echo "-- $(basename "$fuzzer")"
    status=0
    ASAN_OPTIONS=detect_leaks=1 "$fuzzer" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 \
      -max_len=4096 -timeout=10 -entropic=0 -dict="tests/fuzz/$name.dict" \
      -print_final_stats=1 "$corpus" "tests/fuzz/corpus/$name" >"$corpus.log" 2>&1 || status=$?
    tail -n 12 "$corpus.log"
    rm -rf "$corpus" "$corpus.log"
    if [ "$status" -ne 0 ]; then
      echo "fuzzer $(basename "$fuzzer") failed with status $status"
      exit 1
    fi
  done
else
  echo "== clang's fuzzer runtime is not installed: fuzz runs skipped"
fi

echo "== Main build and the full test suite"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
xvfb-run -a -s "-screen 0 1600x1000x24" ctest --test-dir build --output-on-failure -j "$jobs"
