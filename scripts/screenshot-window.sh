#!/usr/bin/env bash
# Makes docs/window.png, the picture of the running window in the README: builds the
# program and the demo firmware, starts it under a virtual X server on that firmware,
# and lets the program save its own window with --grab.
#   scripts/screenshot-window.sh [build directory]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
if [ ! -d "$build" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target vantrel firmware >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
: >"$work/Vantrel.ini"   # keeps the run away from the settings beside the program
out=$PWD/docs/window.png
program=$PWD/$build/src/shell/vantrel
rom=$PWD/$build/firmware/vantrel-demo.rom

cd "$work"
if command -v xvfb-run >/dev/null; then
  xvfb-run -a -s "-screen 0 800x600x24" env QT_QPA_PLATFORM=xcb TMPDIR="$work" \
    "$program" --rom="$rom" --ram="$work/state.bin" --grab "$out"
else
  QT_QPA_PLATFORM=offscreen TMPDIR="$work" "$program" --rom="$rom" --ram="$work/state.bin" --grab "$out"
fi
echo "wrote $out"
