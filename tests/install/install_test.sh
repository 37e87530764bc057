#!/usr/bin/env bash
# install_test.sh BUILD_DIR SOURCE_DIR UI(0|1)
# Installs the build into a fresh prefix and into a DESTDIR staging folder
# and checks each file; prints "N passed, N failed".
set -u
build=$1 src=$2 ui=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
pass=0 fail=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@" >/dev/null 2>&1; then pass=$((pass + 1)); else fail=$((fail + 1)); echo "FAILED: $what"; fi
}

prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 || { cat "$tmp/install.log"; echo "0 passed, 1 failed"; exit 1; }
check "tarvik-cli installed and runs" "$prefix/bin/tarvik-cli" --help
check "tarvik-sim installed" test -x "$prefix/bin/tarvik-sim"
check "udev rules sample installed" grep -q 'GROUP="dialout"' "$prefix/share/tarvik-ui/udev/99-tarvik.rules"
check "udev rules give a stable link" grep -q 'SYMLINK+="tarvik"' "$prefix/share/tarvik-ui/udev/99-tarvik.rules"
if [ "$ui" = 1 ]; then
  entry=$prefix/share/applications/tarvik-ui.desktop
  check "tarvik-ui installed" test -x "$prefix/bin/tarvik-ui"
  check "the launcher installed" test -x "$prefix/bin/tarvik-ui-launch"
  check "tarvik-sim beside tarvik-ui (for --simulate)" test -x "$(dirname "$prefix/bin/tarvik-ui")/tarvik-sim"
  check "icon installed" test -s "$prefix/share/icons/hicolor/48x48/apps/tarvik-ui.png"
  check "desktop entry runs the launcher of this prefix" grep -qx "Exec=$prefix/bin/tarvik-ui-launch %U" "$entry"
  check "desktop entry names the icon" grep -qx "Icon=tarvik-ui" "$entry"
  if command -v desktop-file-validate >/dev/null; then check "desktop entry valid" desktop-file-validate "$entry"; fi
  # The launcher runs the program in the user's own folder, made on first use.
  data=$tmp/data
  check "the launcher starts the installed program" env XDG_DATA_HOME="$data" "$prefix/bin/tarvik-ui-launch" --version
  check "the launcher made the working folder" test -d "$data/tarvik-ui"
  check "help.pdf installed" cmp "$build/bin/help.pdf" "$prefix/share/doc/tarvik-ui/help.pdf"
  check "the launcher links the manual, a PDF, into the working folder" \
    grep -q '^%PDF' <(head -c 4 "$data/tarvik-ui/help.pdf")
fi

# DESTDIR staging: the files land under it, the entry names the real prefix.
stage=$tmp/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr/local >/dev/null 2>&1
check "DESTDIR install" test -x "$stage/usr/local/bin/tarvik-cli"
if [ "$ui" = 1 ]; then
  check "DESTDIR entry names the real prefix" grep -qx "Exec=/usr/local/bin/tarvik-ui-launch %U" \
    "$stage/usr/local/share/applications/tarvik-ui.desktop"
fi
echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
