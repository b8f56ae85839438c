#!/usr/bin/env bash
# Makes docs/window.png and docs/window-2x.png, the pictures of the running window in
# the README at zoom 1x and 2x: builds the program and the demo firmware, starts it
# under a virtual X server on that firmware, and lets the program save its own window
# with --grab.
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
program=$PWD/$build/src/shell/vantrel
rom=$PWD/$build/firmware/vantrel-demo.rom

# One picture: the zoom, then the file it goes to.
grab() {
  # A settings file of its own keeps the run away from the settings beside the program.
  printf '[Window]\nZoom=%s\n' "$1" >"$work/Vantrel.ini"
  rm -f "$work/state.bin"
  (
    cd "$work"
    if command -v xvfb-run >/dev/null; then
      xvfb-run -a -s "-screen 0 1600x1200x24" env QT_QPA_PLATFORM=xcb TMPDIR="$work" \
        "$program" --rom="$rom" --ram="$work/state.bin" --grab "$2"
    else
      QT_QPA_PLATFORM=offscreen TMPDIR="$work" "$program" --rom="$rom" --ram="$work/state.bin" \
        --grab "$2"
    fi
  )
  echo "wrote $2"
}
grab 1 "$PWD/docs/window.png"
grab 2 "$PWD/docs/window-2x.png"
