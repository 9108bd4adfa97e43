#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and checks that what a Linux
# desktop needs is there and well formed: the executable, the udev rule, the
# menu entry and the icon in the hicolor theme.
#
#     tests/install/check-install.sh <build-dir>
set -uo pipefail

build=${1:?usage: check-install.sh <build-dir>}
prefix=$(mktemp -d)
log=$(mktemp)
trap 'rm -rf "$prefix" "$log"' EXIT

failures=0
fail()
{
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! cmake --install "$build" --prefix "$prefix" >"$log" 2>&1; then
    cat "$log"
    echo "FAIL: cmake --install"
    exit 1
fi

[ -x "$prefix/bin/TesselEditor" ] || fail "bin/TesselEditor is missing or not executable"
[ -f "$prefix/lib/udev/rules.d/60-tessel-editor.rules" ] || fail "the udev rule is missing"

entry="$prefix/share/applications/tessel-editor.desktop"
if [ -f "$entry" ]; then
    desktop-file-validate "$entry" || fail "desktop-file-validate refuses the entry"

    # The entry must lead to what was installed beside it.
    value() { sed -n "s/^$1=//p" "$entry" | head -n 1; }
    [ "$(value Name)" = "Tessel Editor" ] || fail "Name is '$(value Name)'"
    [ "$(value Categories)" = "AudioVideo;Audio;Music;" ] || fail "Categories is '$(value Categories)'"
    exec_name=$(value Exec | cut -d ' ' -f 1)
    [ -x "$prefix/bin/$exec_name" ] || fail "Exec names '$exec_name', which is not in bin/"
    icon=$(value Icon)
else
    fail "share/applications/tessel-editor.desktop is missing"
    icon=tessel-editor
fi

icons="$prefix/share/icons/hicolor"
for size in 16 32 48 64 128 256; do
    png="$icons/${size}x${size}/apps/$icon.png"
    if [ ! -f "$png" ]; then
        fail "${size}x${size}/apps/$icon.png is missing"
        continue
    fi
    # A picture with an alpha channel, of the size its folder names.
    got=$(identify -format '%m %w %h %A' "$png" 2>&1)
    case "$got" in
        "PNG $size $size "[Bb]lend|"PNG $size $size True") ;;
        *) fail "${size}x${size}/apps/$icon.png is '$got'" ;;
    esac
done

svg="$icons/scalable/apps/$icon.svg"
if [ -f "$svg" ]; then
    xmllint --noout "$svg" || fail "$icon.svg is not well-formed XML"
    root=$(xmllint --xpath 'concat(local-name(/*), " ", namespace-uri(/*), " ", /*/@viewBox)' "$svg" 2>/dev/null)
    [ "$root" = "svg http://www.w3.org/2000/svg 0 0 256 256" ] || fail "$icon.svg's root is '$root'"
else
    fail "scalable/apps/$icon.svg is missing"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "installed tree is complete"
