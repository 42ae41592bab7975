#!/usr/bin/env bash
# Builds CSV Quibbo and starts it on a demo CSV of about a million records that it generates once
# under build/, through the open switch. Without a display it runs the viewer under Xvfb, saves a
# screenshot of the window with the file shown to build/screenshot.png, says where it is and exits.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
csvq_install_deps

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

demo=build/demo.csv
if [ ! -s "$demo" ]; then
  echo "Generating $demo ..."
  build/bench/csvq-bench gen "$demo" 150M --seed 1
fi
echo "Index scan:"
build/bench/csvq-bench index "$demo"
echo "Records:"
build/bench/csvq-bench records "$demo"

viewer=build/bin/csvquibbo
demo_path="$PWD/$demo"

if [ -n "${DISPLAY:-}" ]; then
  # Hands the file to a viewer that already runs, else starts one.
  exec "$viewer" --open "$demo_path"
fi

# No display: a private X server, home and runtime folder, so that the window shows the
# first-start layout and nothing touches the user's settings.
display=99
while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do
  display=$((display + 1))
done
scratch=$(mktemp -d)
xvfb_pid=""
viewer_pid=""
cleanup() {
  [ -n "$viewer_pid" ] && kill "$viewer_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

Xvfb ":$display" -screen 0 1400x900x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 50); do
  [ -e "/tmp/.X11-unix/X${display}" ] && break
  sleep 0.1
done

mkdir -p "$scratch/home" "$scratch/config" "$scratch/run"
chmod 700 "$scratch/run"
DISPLAY=":$display" HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/run" \
  "$viewer" --open "$demo_path" >"$scratch/viewer.log" 2>&1 &
viewer_pid=$!

# Wait until the window carries the file's name, then give it a moment to paint. xwd (x11-apps)
# finds the window by its name; xwininfo would need a package that deps.sh does not install.
title="$(basename "$demo") - CSV Quibbo"
shown=""
for _ in $(seq 1 120); do
  if DISPLAY=":$display" xwd -silent -name "$title" >/dev/null 2>&1; then
    shown=yes
    break
  fi
  if ! kill -0 "$viewer_pid" 2>/dev/null; then
    echo "The viewer ended early:"
    grep -v "GLib-GObject\|Gtk-CRITICAL\|^$" "$scratch/viewer.log" || true
    exit 1
  fi
  sleep 0.5
done
if [ -z "$shown" ]; then
  echo "The viewer did not show the demo file within a minute."
  exit 1
fi
sleep 2
# The window alone, not the rest of the screen.
DISPLAY=":$display" xwd -silent -name "$title" | convert xwd:- build/screenshot.png
echo "Screenshot of the viewer with $demo: $PWD/build/screenshot.png"
