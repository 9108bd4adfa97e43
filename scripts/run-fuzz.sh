#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (ASan and UBSan) into
# build-fuzz/ and runs each for as long as asked, some at a time. Each
# target starts from seeds its own program writes (the simulator's frames,
# real files) and from what earlier runs kept in build-fuzz/corpus/<target>.
#
#   scripts/run-fuzz.sh [-t SECONDS] [-j JOBS] [-n] [TARGET...]
#
# -t  seconds per target (default 60); -j  targets run at once (default: the
# number of cores); -n  use the targets already built. With no TARGET, every target. Crashes, leaks, hangs and
# sanitizer reports are left in build-fuzz/findings/<target>/ with the
# target's log; build-fuzz/fuzz-summary.txt lists each target's executions,
# coverage and result. Ends with `fuzz: N passed, M failed`, and fails when
# a target found anything.
#
# The targets that drive the hub keep it between inputs, so leaks are looked
# for when their corpus is replayed afterwards, one input at a time, rather
# than after every input while fuzzing.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=60
jobs=$(nproc)
build=1
while getopts "t:j:n" option; do
    case $option in
        t) seconds=$OPTARG ;;
        j) jobs=$OPTARG ;;
        n) build=0 ;;
        *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))

dir=build-fuzz
if [ $build -eq 1 ]; then
    scripts/install-fuzz-deps.sh || exit 1
    echo "== fuzz: building"
    mkdir -p "$dir"
fi
if [ $build -eq 1 ] && { ! CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DTESSEL_FUZZ=ON >/dev/null \
    || ! cmake --build "$dir" -j "$jobs" >"$dir/build.log" 2>&1; }; then
    tail -n 40 "$dir/build.log"
    echo "== fuzz: build failed"
    echo "fuzz: 0 passed, 1 failed"
    exit 1
fi

source scripts/virtual-display.sh
tessel_start_virtual_display || exit 1
trap tessel_stop_virtual_display EXIT

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    mapfile -t targets < "$dir/fuzz-targets.txt"
fi

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}:abort_on_error=0"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}"

# Targets that keep the hub (and JUCE's windows) between inputs.
gui_targets=" LiveReportsFuzz PatchFileFuzz FirmwareAnswersFuzz CabImportAnswersFuzz FactoryResetAnswersFuzz "
# Longest single process of such a target, in seconds (see fuzz_one).
gui_slice=${TESSEL_FUZZ_GUI_SLICE:-240}

fuzz_one()
{
    local target=$1
    local program="$PWD/$dir/tests/fuzz/$target"
    local out="$PWD/$dir/findings/$target"
    local corpus="$PWD/$dir/corpus/$target"
    local seeds="$PWD/$dir/seeds/$target"
    rm -rf "$out" "$seeds"
    mkdir -p "$out" "$corpus" "$seeds"

    (cd "$out" && "$program" --write-seeds="$seeds" >/dev/null 2>&1)

    local leaks=1
    case $gui_targets in *" $target "*) leaks=0 ;; esac

    # JUCE gives each window a colormap it never frees, so the X server grows
    # with every job window until the program exits: a GUI target runs as a
    # series of shorter processes sharing one corpus, each freeing its own.
    local slice=$seconds
    [ $leaks -eq 0 ] && [ "$slice" -gt "$gui_slice" ] && slice=$gui_slice
    local left=$seconds status=0
    : >"$out/fuzz.log"
    while [ "$left" -gt 0 ] && [ $status -eq 0 ]; do
        local now=$((left < slice ? left : slice))
        # The editor prints to stdout as it goes; only libFuzzer's report matters.
        (cd "$out" && "$program" "$corpus" "$seeds" -max_total_time="$now" -timeout=20 \
            -rss_limit_mb=2048 -malloc_limit_mb=1024 -detect_leaks=$leaks -close_fd_mask=1 \
            -print_final_stats=1 -artifact_prefix="$out/" >>"$out/fuzz.log" 2>&1)
        status=$?
        left=$((left - now))
    done

    if [ $status -eq 0 ] && [ $leaks -eq 0 ]; then
        # Every input kept, once, with leak checking: each runs in a fresh state.
        (cd "$out" && "$program" -runs=0 -detect_leaks=1 -close_fd_mask=1 -timeout=20 \
            -artifact_prefix="$out/" "$corpus" >"$out/replay.log" 2>&1)
        status=$?
    fi

    local done
    done=$(grep -a -E '^#[0-9]+[[:space:]]+DONE' "$out/fuzz.log" | tail -n 1)
    local runs cov ft
    runs=$(grep -a -oE 'stat::number_of_executed_units: [0-9]+' "$out/fuzz.log" | grep -oE '[0-9]+$' \
        | awk '{ sum += $1 } END { if (NR) print sum }')
    cov=$(echo "$done" | grep -oE 'cov: [0-9]+' | grep -oE '[0-9]+')
    ft=$(echo "$done" | grep -oE 'ft: [0-9]+' | grep -oE '[0-9]+')

    local result=ok
    if ls "$out" | grep -qE '^(crash|leak|timeout|oom)-'; then
        result=FOUND
    elif [ $status -ne 0 ]; then
        result="FAILED ($status)"
    fi

    printf '%-22s %10s execs  %6s cov  %7s ft  %s\n' "$target" "${runs:-?}" "${cov:-?}" "${ft:-?}" "$result" \
        >"$out/summary.txt"
}

echo "== fuzz: ${#targets[@]} targets, ${seconds}s each, $jobs at a time"
# The virtual display is a job of this shell too: a bare `wait` would wait for it for ever.
running=0
fuzzing=()
for target in "${targets[@]}"; do
    fuzz_one "$target" &
    fuzzing+=($!)
    running=$((running + 1))
    if [ $running -ge "$jobs" ]; then
        wait -n
        running=$((running - 1))
    fi
done
wait "${fuzzing[@]}"

summary="$dir/fuzz-summary.txt"
passed=0
failed=0
: >"$summary"
for target in "${targets[@]}"; do
    line=$(cat "$dir/findings/$target/summary.txt" 2>/dev/null || echo "$target  no result")
    echo "$line" >>"$summary"
    if echo "$line" | grep -q ' ok$'; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "== fuzz: $target: see $dir/findings/$target/"
        grep -a -E 'ERROR|SUMMARY|FUZZ CHECK' "$dir/findings/$target/"*.log 2>/dev/null | head -n 5
    fi
done

cat "$summary"
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
