#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and checks what a Linux
# desktop needs: the executable, the udev rule, the menu entry and the icon
# in the hicolor theme.      tests/install/check-install.sh <build-dir>
set -uo pipefail

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "${1:?usage: check-install.sh <build-dir>}" --prefix "$prefix" >"$prefix/log" 2>&1 \
    || { cat "$prefix/log"; echo "FAIL: cmake --install"; exit 1; }

[ -x "$prefix/bin/TesselEditor" ] || fail "bin/TesselEditor is missing"
[ -f "$prefix/lib/udev/rules.d/60-tessel-editor.rules" ] || fail "the udev rule is missing"

# The entry must pass the validator and lead to what was installed beside it.
entry="$prefix/share/applications/tessel-editor.desktop"
desktop-file-validate "$entry" || fail "desktop-file-validate refuses $entry"
value() { sed -n "s/^$1=//p" "$entry" 2>/dev/null | head -n 1; }
[ "$(value Name)" = "Tessel Editor" ] || fail "Name is '$(value Name)'"
[ "$(value Categories)" = "AudioVideo;Audio;Music;" ] || fail "Categories is '$(value Categories)'"
[ "$(value Exec)" = TesselEditor ] || fail "Exec is '$(value Exec)'"
icon=tessel-editor
[ "$(value Icon)" = "$icon" ] || fail "Icon is '$(value Icon)'"

# A PNG with an alpha channel, of the size its folder names, for every size.
icons="$prefix/share/icons/hicolor"
for size in 16 32 48 64 128 256; do
    got=$(identify -format '%m %w %h %A' "$icons/${size}x${size}/apps/$icon.png" 2>&1)
    [ "$got" = "PNG $size $size True" ] || fail "${size}x${size}/apps/$icon.png: $got"
done

svg="$icons/scalable/apps/$icon.svg"
root=$(xmllint --xpath 'concat(local-name(/*), " ", namespace-uri(/*), " ", /*/@viewBox)' "$svg")
[ "$root" = "svg http://www.w3.org/2000/svg 0 0 256 256" ] || fail "$svg is not a 256 x 256 SVG: '$root'"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "the installed tree is complete"
