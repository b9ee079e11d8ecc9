#!/bin/sh
# Installs the build into a fresh prefix and starts both programs from there, as a user whose
# configuration folder is empty. Usage: install_test.sh BUILD_FOLDER
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/prefix" >/dev/null
for file in bin/glyfrax bin/glyfrax-export share/glyfrax/hilfe.html share/glyfrax/config.ini \
  share/applications/glyfrax.desktop share/icons/hicolor/32x32/apps/glyfrax.png; do
  [ -f "$work/prefix/$file" ] || fail "$file was not installed"
done

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
"$work/prefix/bin/glyfrax-export" --version | grep -q '^glyfrax-export [0-9]' || fail "--version"
# The shipped settings: binary metrics with 32-bit fields, 3584 bytes.
"$work/prefix/bin/glyfrax-export" "$work/font.bmp" >/dev/null || fail "export from the installed copy"
[ "$(wc -c <"$work/font.fnt")" -eq 3584 ] || fail "the export did not use the shipped settings"

"$work/prefix/bin/glyfrax" &
window=$!
sleep 2
kill -0 "$window" 2>/dev/null || fail "the window program did not stay up"
kill "$window"
cmp -s "$work/prefix/share/glyfrax/config.ini" "$HOME/.config/Glyfrax/config.ini" ||
  fail "the user's settings were not started from the shipped ones"
[ ! -e "$work/prefix/bin/config.ini" ] || fail "settings were written beside the installed program"

# A second install keeps settings that are there already.
echo changed >"$work/prefix/share/glyfrax/config.ini"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
[ "$(cat "$work/prefix/share/glyfrax/config.ini")" = changed ] || fail "the install replaced existing settings"
echo "install test passed"
