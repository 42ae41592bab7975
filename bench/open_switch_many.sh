#!/usr/bin/env bash
# bench/open_switch_many.sh VIEWER [N] [SCRATCH]: N small CSV files (default 1,000) handed to a running
# viewer through the open switch, as a second start does, then the viewer ended with SIGTERM.
# Prints JSON: seconds from the second start to the end of the viewer's work (the last moment its
# CPU time grew, sampled every 500 ms), and seconds from SIGTERM to its exit. Needs a display: run
# it under xvfb-run. The files and a private home go to SCRATCH (default: a temporary folder).
set -euo pipefail
viewer=$(realpath "$1")
count=${2:-1000}
scratch=${3:-$(mktemp -d)}
mkdir -p "$scratch/files" "$scratch/home/config" "$scratch/home/run"
chmod 700 "$scratch/home/run"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/config" XDG_RUNTIME_DIR="$scratch/home/run"
files=()
for ((i = 1; i <= count; ++i)); do
  printf 'a,b\n%d,2\n' "$i" > "$scratch/files/f$i.csv"
  files+=("$scratch/files/f$i.csv")
done

now() { date +%s.%N; }
cputime() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

"$viewer" 2>/dev/null &
pid=$!
until [ -S "$XDG_RUNTIME_DIR/csvquibbo/open-switch" ]; do sleep 0.1; done
sleep 1
start=$(now)
"$viewer" --open "${files[@]}"
# The viewer opens them after the second start has ended: wait until it is idle, that is until its
# CPU time has grown by less than 30 ms in half a second twice in a row (its status bar timer
# alone costs a little).
last=$(now)
previous=$(cputime "$pid")
idle=0
while [ "$idle" -lt 2 ]; do
  sleep 0.5
  current=$(cputime "$pid")
  if [ $((current - previous)) -ge 3 ]; then
    last=$(now)
    idle=0
  else
    idle=$((idle + 1))
  fi
  previous=$current
done
opened=$last
kill -TERM "$pid"
wait "$pid" || true
ended=$(now)
printf '{"files": %d, "open_seconds": %.2f, "exit_seconds": %.2f}\n' "$count" \
  "$(echo "$opened - $start" | bc)" "$(echo "$ended - $opened" | bc)"
