#!/usr/bin/env bash
# Checks every tracked C++ file against .clang-format and names the ones that
# differ. `scripts/check-format.sh --fix` rewrites them instead.
set -uo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang-format >/dev/null; then
    echo "clang-format is not installed (scripts/install-deps.sh installs it)" >&2
    exit 1
fi

fix=0
[ "${1:-}" = "--fix" ] && fix=1

differing=0
while IFS= read -r file; do
    if [ "$fix" -eq 1 ]; then
        clang-format -i "$file"
    elif ! clang-format --dry-run -Werror "$file" >/dev/null 2>&1; then
        echo "not formatted: $file"
        differing=$((differing + 1))
    fi
done < <(git ls-files '*.cpp' '*.h')

if [ "$differing" -gt 0 ]; then
    echo "format: $differing files differ from .clang-format (scripts/check-format.sh --fix rewrites them)"
    exit 1
fi
echo "format: every C++ file follows .clang-format"
