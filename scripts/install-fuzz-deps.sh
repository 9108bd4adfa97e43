#!/usr/bin/env bash
# Installs what the fuzz targets need on top of the editor's own packages:
# Debian's clang, whose compiler runtime carries libFuzzer and the sanitizers.
exec "$(dirname "$0")/install-deps.sh" clang libclang-rt-14-dev
