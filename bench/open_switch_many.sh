#!/usr/bin/env bash
# bench/open_switch_many.sh [--open-dialog] VIEWER [N] [SCRATCH]: N small CSV files (default 1,000)
# handed to a running viewer through the open switch, as a second start does, then the viewer ended
# with SIGTERM. Prints JSON: open_seconds, from the second start to the end of the viewer's work (the
# last moment its CPU time grew, sampled every 100 ms, so to within 0.1 s), and exit_seconds, from
# the SIGTERM to its exit. With --open-dialog (needs xdotool), Ctrl+O is typed into the viewer once
# the files are open, and dialog_seconds is the time from the key to the open dialog's window
# being mapped (polled, to within a few ms); the dialog is then cancelled with Escape. Needs a
# display: run it under xvfb-run. The files and a private home go to SCRATCH (default: a temporary
# folder). Fails with a message, and ends the viewer, when the viewer does not listen within 30 s,
# stops working within 600 s, does not show the dialog within 600 s or does not end within 600 s
# of SIGTERM.
set -euo pipefail
dialog=0
if [ "${1:-}" = --open-dialog ]; then
  dialog=1
  shift
  command -v xdotool >/dev/null || { echo "open_switch_many: --open-dialog needs xdotool" >&2; exit 1; }
fi
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
# The viewer's CPU time (user and system) in clock ticks.
cputime() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# Whether `now` is past the time `$1` plus `$2` seconds.
past() { [ "$(echo "$(now) > $1 + $2" | bc)" -eq 1 ]; }
fail() {
  echo "open_switch_many: $*" >&2
  kill -KILL "$pid" 2>/dev/null || true
  exit 1
}

"$viewer" 2>/dev/null &
pid=$!
started=$(now)
socket="$XDG_RUNTIME_DIR/csvquibbo/open-switch"
until [ -S "$socket" ]; do
  kill -0 "$pid" 2>/dev/null || fail "the viewer ended before it listened on $socket"
  past "$started" 30 && fail "the viewer did not listen on $socket within 30 s"
  sleep 0.1
done
sleep 1
start=$(now)
"$viewer" --open "${files[@]}" || fail "the second start ended with status $?"
# The viewer opens them after the second start has ended: wait until it is idle, that is until its
# CPU time has grown by less than 20 ms in 100 ms five times in a row (its status bar timer alone
# costs a little). The work ended within the 100 ms before the last sample that saw it grow.
last=$(now)
previous=$(cputime "$pid")
idle=0
while [ "$idle" -lt 5 ]; do
  sleep 0.1
  current=$(cputime "$pid" 2>/dev/null) || fail "the viewer ended while it opened the files"
  if [ $((current - previous)) -ge 2 ]; then
    last=$(now)
    idle=0
  else
    idle=$((idle + 1))
  fi
  previous=$current
  past "$start" 600 && fail "the viewer was still busy 600 s after the second start"
done
opened=$last
dialogue=
if [ "$dialog" -eq 1 ]; then
  # The shown windows of the viewer named as its open dialog, one a line.
  choosers() { xdotool search --onlyvisible --pid "$pid" --name '^Open File$' 2>/dev/null | sort || true; }
  window=$(xdotool search --onlyvisible --pid "$pid" --name 'CSV Quibbo' | head -1)
  [ -n "$window" ] || fail "no window of the viewer is shown"
  xdotool windowfocus "$window"
  sleep 0.5
  before=$(choosers)
  asked=$(now)
  xdotool key ctrl+o
  # The dialog is the window of that name that was not shown before (GTK may map a helper of the
  # same name with it).
  until chooser=$(comm -13 <(echo "$before") <(choosers) | grep . | head -1); do
    past "$asked" 600 && fail "the open dialog was not shown within 600 s of Ctrl+O"
  done
  shown=$(now)
  dialogue=$(printf ', "dialog_seconds": %.2f' "$(echo "$shown - $asked" | bc)")
  # Without a window manager the dialog has the focus only when given it.
  sleep 0.5
  xdotool windowfocus "$chooser"
  sleep 0.2
  xdotool key Escape
  while choosers | grep -qx "$chooser"; do
    past "$shown" 60 && fail "the open dialog was still shown 60 s after Escape"
    sleep 0.05
  done
  sleep 0.5
fi
term=$(now)
kill -TERM "$pid"
while kill -0 "$pid" 2>/dev/null && ! [ "$(awk '{ print $3 }' "/proc/$pid/stat" 2>/dev/null)" = Z ]; do
  past "$term" 600 && fail "the viewer had not ended 600 s after SIGTERM"
  sleep 0.01
done
ended=$(now)
wait "$pid" || true
printf '{"files": %d, "open_seconds": %.2f, "exit_seconds": %.2f%s}\n' "$count" \
  "$(echo "$opened - $start" | bc)" "$(echo "$ended - $term" | bc)" "$dialogue"
