#!/usr/bin/env bash
# Installs what the fuzz targets need on top of scripts/install-deps.sh:
# Debian's clang, whose compiler runtime carries libFuzzer and the sanitizers.
# Does nothing (quickly) when everything is already there.
set -euo pipefail

PACKAGES=(clang libclang-rt-14-dev)

missing=()
for p in "${PACKAGES[@]}"; do
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
