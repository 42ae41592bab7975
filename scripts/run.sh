#!/usr/bin/env bash
# Builds CSV Quibbo and runs it on a generated demo CSV under build/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
csvq_install_deps

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

demo=build/demo.csv
if [ ! -s "$demo" ]; then
  echo "Generating $demo ..."
  build/bench/csvq-bench gen "$demo" 200M --seed 1
fi
echo "Index scan:"
build/bench/csvq-bench index "$demo"
echo "Records:"
build/bench/csvq-bench records "$demo"
