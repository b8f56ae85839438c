#!/usr/bin/env bash
# Sets up, builds and starts the emulator on the demo firmware, for trying Vantrel
# without a ROM dump of one's own. Everything lives in a folder of its own, which is
# the working directory: its Vantrel.ini names the ROM and state file there, so the
# user's own settings and state file are never read nor touched.
#   scripts/demo.sh [program arguments...]
#   scripts/demo.sh --headless [vantrel-headless arguments...]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)

headless=0
if [[ ${1:-} == --headless ]]; then
  headless=1
  shift
fi

"$repo/scripts/setup.sh"
"$repo/scripts/build.sh" release >/dev/null

demo="${XDG_DATA_HOME:-$HOME/.local/share}/vantrel/demo"
mkdir -p "$demo"
# Copied on every start, so a rebuilt firmware is picked up.
cp -f "$repo/build/release/firmware/vantrel-demo.rom" "$demo/TI85Rom.bin.tmp"
mv -f "$demo/TI85Rom.bin.tmp" "$demo/TI85Rom.bin"
# The firmware's symbols, which the debugger reads beside the ROM.
cp -f "$repo/build/release/firmware/vantrel-demo.sym" "$demo/TI85Rom.sym"
# Made once; the program keeps its preferences there afterwards. The demo runs beside
# a calculator of one's own instead of handing over to it.
if [[ ! -e "$demo/Vantrel.ini" ]]; then
  printf '[Directories]\nROMFile=TI85Rom.bin\nRAMFile=TI85Stat.bin\n[Preferences]\nAllowMultipleInst=Yes\n' \
    > "$demo/Vantrel.ini.tmp"
  mv -f "$demo/Vantrel.ini.tmp" "$demo/Vantrel.ini"
fi

cd "$demo"
if (( headless )); then
  exec "$repo/build/release/vantrel-headless" --ini "$demo/Vantrel.ini" "$@"
fi
exec "$repo/build/release/src/shell/vantrel" "$@"
