#!/usr/bin/env bash
# An installed copy works like the built one: `cmake --install` into a temporary
# prefix, then, in a fresh home, the installed runner on the installed demo firmware,
# the installed program on the demo, and the menu entry's own command line started
# from the home folder, which must leave nothing in the home folder itself.
#   installed_copy_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/vantrel bin/vantrel-headless share/vantrel/vantrel-demo.rom \
            share/vantrel/vantrel-demo.sym share/applications/vantrel.desktop; do
  [[ -e $prefix/$file ]] || fail "$file not installed"
done

export HOME=$work/home
mkdir -p "$HOME"
unset XDG_CONFIG_HOME XDG_DATA_HOME DISPLAY WAYLAND_DISPLAY
export TMPDIR=$work/tmp QT_QPA_PLATFORM=offscreen
mkdir -p "$TMPDIR"

# The runner on the installed firmware: 12+30 gives 42.
cd "$work"
"$prefix/bin/vantrel-headless" --rom "$prefix/share/vantrel/vantrel-demo.rom" \
  --ram "$work/state.bin" --type 12+30 --key ENTER --until-sleep --lcd "$work/sum.bmp" \
  >"$work/runner.txt" || fail "runner: $(cat "$work/runner.txt")"
grep -q 'The calculator went to sleep.' "$work/runner.txt" || fail "runner: $(cat "$work/runner.txt")"
[[ $(stat -c %s "$work/sum.bmp") == 1086 ]] || fail "no LCD picture from the runner"

# The program on the demo, found in its own data folder; a picture of the window. A
# byte more (beyond the 131072 that count) tells the installed firmware from the
# one in the build tree.
printf 'i' >>"$prefix/share/vantrel/vantrel-demo.rom"
cd "$HOME"
"$prefix/bin/vantrel" --demo --grab "$work/demo.png" 2>"$work/demo.txt" ||
  fail "demo: $(cat "$work/demo.txt")"
[[ -s $work/demo.png ]] || fail "no picture of the demo"
cmp -s "$prefix/share/vantrel/vantrel-demo.rom" "$HOME/.local/share/vantrel/demo/TI85Rom.bin" ||
  fail "the demo does not run the installed firmware"
[[ -e $HOME/.local/share/vantrel/demo/Vantrel.ini ]] || fail "the demo has no settings of its own"
[[ ! -e $HOME/.config/vantrel ]] || fail "the demo touched the user's settings"

# The menu entry's command, from the home folder, with a ROM where the program looks
# by default; ended the way a logout ends it, which keeps the calculator's state.
cp "$prefix/share/vantrel/vantrel-demo.rom" "$HOME/.local/share/vantrel/TI85Rom.bin"
exec_line=$(sed -n 's/^Exec=//p' "$prefix/share/applications/vantrel.desktop" | head -n 1)
command=${exec_line//%f/}
[[ $command == vantrel* ]] || fail "unexpected Exec line: $exec_line"
PATH=$prefix/bin:$PATH $command 2>"$work/entry.txt" &
pid=$!
for _ in $(seq 200); do
  compgen -G "$TMPDIR/VantrelCalculator-*" >/dev/null && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
sleep 1  # the calculator starts and its first ticks run
kill -TERM "$pid"
wait "$pid" || fail "the menu entry's start ended with $?: $(cat "$work/entry.txt")"
[[ $(stat -c %s "$HOME/.local/share/vantrel/TI85Stat.bin") == 32800 ]] ||
  fail "no state file in the data folder"
grep -q '^ROMFile=TI85Rom.bin' "$HOME/.config/vantrel/Vantrel.ini" || fail "settings not kept"
stray=$(find "$HOME" -mindepth 1 -maxdepth 1 ! -name '.*')
[[ -z $stray ]] || fail "written into the home folder: $stray"
echo "installed copy works"
