#!/usr/bin/env bash
# Installs what is missing, builds the editor and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target TesselEditor -j "$(nproc)"

source scripts/virtual-display.sh
trap tessel_stop_virtual_display EXIT
tessel_start_virtual_display
if [ -n "${TESSEL_XVFB_PID:-}" ]; then
    echo "The editor is running on the virtual display $DISPLAY; it has no screen of its own here."
fi

build/TesselEditor
