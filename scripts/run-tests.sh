#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test twice: once
# over the plain Release build of the editor's code, once over the same code
# built with AddressSanitizer and UBSan (tests named "sanitized.*"). Ends
# with a pass/fail count. The fuzz targets run last, briefly (scripts/run-fuzz.sh).
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh || exit 1

jobs=$(nproc)
passed=0
failed=0

source scripts/virtual-display.sh
trap tessel_stop_virtual_display EXIT
tessel_start_virtual_display || exit 1

run_suite()
{
    local dir=$1 label=$2
    shift 2

    echo "== $label: building"
    if ! cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null \
        || ! cmake --build "$dir" -j "$jobs"; then
        echo "== $label: build failed"
        failed=$((failed + 1))
        return
    fi

    echo "== $label: testing"
    local log="$dir/ctest.log"
    (cd "$dir" && ctest -j "$jobs" --output-on-failure --timeout 300) 2>&1 | tee "$log"

    # "100% tests passed, 0 tests failed out of 42"
    local line total bad
    line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -z "$line" ]; then
        echo "== $label: ctest gave no summary"
        failed=$((failed + 1))
        return
    fi
    bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
    total=$(echo "$line" | sed -E 's/.* failed out of ([0-9]+).*/\1/')
    passed=$((passed + total - bad))
    failed=$((failed + bad))
}

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}"

# The code's own style, as .clang-format describes it: one test.
echo "== format"
if scripts/check-format.sh; then
    passed=$((passed + 1))
else
    failed=$((failed + 1))
fi

run_suite build "Release, plain and sanitized"

# Then every fuzz target briefly, from its seeds and what earlier runs kept:
# a clang build of its own in build-fuzz/. Each target counts as one test.
echo "== fuzz targets: building and running"
fuzz_log=build-fuzz/run.log
mkdir -p build-fuzz
scripts/run-fuzz.sh -t "${TESSEL_FUZZ_SECONDS:-15}" -j "$jobs" 2>&1 | tee "$fuzz_log"
line=$(grep -E '^fuzz: [0-9]+ passed, [0-9]+ failed' "$fuzz_log" | tail -n 1)
if [ -z "$line" ]; then
    failed=$((failed + 1))
else
    passed=$((passed + $(echo "$line" | sed -E 's/^fuzz: ([0-9]+) passed.*/\1/')))
    failed=$((failed + $(echo "$line" | sed -E 's/.* ([0-9]+) failed$/\1/')))
fi

echo
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
