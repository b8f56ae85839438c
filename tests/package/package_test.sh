#!/usr/bin/env bash
# The Debian package: built from the install rules, checked by Debian's own tools,
# installed with dpkg into a root of its own, where the installed runner runs the
# installed demo firmware, and purged again without leaving anything behind.
#   package_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export PATH=$PATH:/usr/sbin:/sbin  # dpkg looks for ldconfig there
for tool in cpack dpkg dpkg-deb lintian appstreamcli desktop-file-validate update-mime-database; do
  command -v "$tool" >/dev/null || fail "$tool is missing: scripts/setup.sh installs it"
done

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.txt" 2>&1 ||
  fail "cpack: $(cat "$work/cpack.txt")"
debs=("$work"/out/vantrel_*.deb)
deb=${debs[0]}
[[ -f $deb ]] || fail "cpack wrote no package: $(cat "$work/cpack.txt")"
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Section) == otherosfs ]] || fail "section $(field Section)"
for library in libc6 libstdc++6 libqt6core6 libqt6widgets6; do
  [[ ", $(field Depends)," == *", $library "* ]] || fail "Depends lacks $library: $(field Depends)"
done

# Debian's checks: a warning fails too (the unavoidable ones are overridden in the
# package, each with its reason).
lintian --fail-on error,warning "$deb" >"$work/lintian.txt" 2>&1 ||
  fail "lintian: $(cat "$work/lintian.txt")"

content=$work/content
dpkg-deb -x "$deb" "$content"
share=$content/usr/share
version=$(field Version)
changelog_version=$(zcat "$share/doc/vantrel/changelog.Debian.gz" | sed -n '1s/^vantrel (\(.*\)).*/\1/p')
[[ $changelog_version == "$version" ]] ||
  fail "the changelog's newest entry is $changelog_version, the package $version"
metainfo=$share/metainfo/org.example.vantrel.metainfo.xml
appstreamcli validate --no-net "$metainfo" >"$work/appstream.txt" 2>&1 ||
  fail "appstreamcli: $(cat "$work/appstream.txt")"
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)
[[ $release == "${version%-*}" ]] || fail "the metainfo's newest release is $release, the package ${version%-*}"

# The menu entry, its icon and program, the metadata and the file type name each other.
desktop=$share/applications/vantrel.desktop
desktop-file-validate "$desktop" >"$work/desktop.txt" 2>&1 || fail "desktop entry: $(cat "$work/desktop.txt")"
grep -q '<launchable type="desktop-id">vantrel.desktop</launchable>' "$metainfo" ||
  fail "the metainfo does not launch vantrel.desktop"
exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop" | head -n 1)
[[ -x $content/usr/bin/$exec_program ]] || fail "the menu entry starts $exec_program, not in the package"
icon=$(sed -n 's/^Icon=//p' "$desktop")
compgen -G "$share/icons/hicolor/*/apps/$icon.*" >/dev/null || fail "no icon $icon"
mime_type=$(sed -n 's/^MimeType=\([^;]*\);.*/\1/p' "$desktop")
mkdir -p "$work/mime/packages"
cp "$share/mime/packages/vantrel.xml" "$work/mime/packages/"
update-mime-database "$work/mime" >"$work/mime.txt" 2>&1 || fail "MIME type: $(cat "$work/mime.txt")"
grep -qx "$mime_type" "$work/mime/types" || fail "the MIME file does not define $mime_type"

# Every option of --help has its entry in the manual page, and the page names no
# option that --help does not.
options_of() { grep -oE -- '(--[a-z][a-z0-9-]*|/r[ao]m:)' | sort -u || true; }
for program in vantrel vantrel-headless; do
  page=$share/man/man1/$program.1.gz
  [[ -f $page ]] || fail "no manual page for $program"
  zcat "$page" | sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' >"$work/$program.roff"
  help_options=$("$content/usr/bin/$program" --help | options_of)
  entries=$(awk 'entry { print } { entry = ($0 == ".TP") }' "$work/$program.roff" | options_of)
  [[ $help_options == "$entries" ]] ||
    fail "$program: options of --help (<) and entries of the manual page (>) differ:
$(diff <(echo "$help_options") <(echo "$entries"))"
  stale=$(comm -13 <(echo "$help_options") <(options_of <"$work/$program.roff"))
  [[ -z $stale ]] || fail "$program: the manual page names options that --help does not: $stale"
done
read -ra help_keys <<<"$("$content/usr/bin/vantrel-headless" --help | sed -n 's/^Key names (any case): //p')"
page_keys=$(sed -n '/^\.SH KEY NAMES/,/^\.SH/p' "$work/vantrel-headless.roff" | tr ' ' '\n')
for key in "${help_keys[@]}"; do
  grep -qxF -- "$key" <<<"$page_keys" || fail "key name $key is not in the manual page"
done

# Installed into a root of its own. Its package database is this machine's, so that
# the dependencies are checked against the libraries the programs will run with;
# nothing else of the machine is in the root, and no other package's triggers run.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
cp /var/lib/dpkg/status "$root/var/lib/dpkg/status"
: >"$root/var/lib/dpkg/available"
dpkg=(dpkg "--root=$root" "--log=$work/dpkg.log" --no-triggers)
[[ $(id -u) == 0 ]] || dpkg=(fakeroot "${dpkg[@]}" --force-not-root)
before=$(cd "$root" && find . -path ./var/lib/dpkg -prune -o -print | sort)
"${dpkg[@]}" -i "$deb" >"$work/install.txt" 2>&1 || fail "dpkg -i: $(cat "$work/install.txt")"
verify=$("${dpkg[@]}" --verify vantrel 2>&1) || fail "dpkg --verify: $verify"
[[ -z $verify ]] || fail "installed files differ from the package: $verify"

# The installed runner on the installed firmware, in a fresh home: the same screen as
# the built runner on the built firmware.
export HOME=$work/home TMPDIR=$work/tmp
unset XDG_CONFIG_HOME XDG_DATA_HOME
mkdir -p "$HOME" "$TMPDIR"
run() {
  "$1" --rom "$2" --no-save --type 12+30 --key ENTER --until-sleep --lcd "$3" >"$work/runner.txt" ||
    fail "$1: $(cat "$work/runner.txt")"
}
run "$root/usr/bin/vantrel-headless" "$root/usr/share/vantrel/vantrel-demo.rom" "$work/installed.bmp"
run "$build/vantrel-headless" "$build/firmware/vantrel-demo.rom" "$work/built.bmp"
cmp -s "$work/installed.bmp" "$work/built.bmp" || fail "the installed runner shows another screen"
"$root/usr/bin/vantrel" --version >/dev/null || fail "the installed program does not start"

"${dpkg[@]}" --purge vantrel >"$work/purge.txt" 2>&1 || fail "dpkg --purge: $(cat "$work/purge.txt")"
after=$(cd "$root" && find . -path ./var/lib/dpkg -prune -o -print | sort)
[[ $after == "$before" ]] || fail "left behind: $(comm -13 <(echo "$before") <(echo "$after"))"
leftovers=$(find "$root/var/lib/dpkg/info" -name 'vantrel.*')
[[ -z $leftovers ]] || fail "dpkg still holds: $leftovers"
! grep -qx 'Package: vantrel' "$root/var/lib/dpkg/status" || fail "still in dpkg's status"
echo "package builds, installs, runs and purges cleanly: $(basename "$deb")"
