#!/usr/bin/env bash
# Installs the Debian packages the editor, its tests and its tools need.
# Packages named as arguments are installed too (the fuzz build's clang).
# Does nothing (quickly) when everything is already there.
set -euo pipefail

PACKAGES=(
    cmake g++ make pkg-config juce-modules-source
    libfreetype-dev libx11-dev libxext-dev libxrandr-dev libxinerama-dev libxcursor-dev
    libasound2-dev libpng-dev libjpeg-dev zlib1g-dev fonts-dejavu-core
    libhidapi-dev libudev-dev libsoxr-dev libglib2.0-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth x11-utils xdotool imagemagick sox mtools dosfstools
    desktop-file-utils libxml2-utils clang-format
    dbus-daemon python3-dbusmock
)

missing=()
for p in "${PACKAGES[@]}" "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi

echo "Installing: ${missing[*]}"
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
