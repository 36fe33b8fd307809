#!/usr/bin/env bash
# Sets up a Debian 12 machine and runs every test suite: the layering check of src/, Linux (with
# the real PC/SC stack in a private namespace), static analysis of src/ and tools/ (clang-tidy,
# cppcheck), Linux under ASan+UBSan, the concurrency and scenario tests under TSan, a bounded
# fuzzing run of every parser (25 s per libFuzzer target), the Windows build under Wine 8, the
# Windows build under Wine 10 on a real PC/SC service (scripts/wine10-stage.sh, Debian 13 chroot),
# and the release packages (scripts/check-packages.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

passed=0
failed=0
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT

# Runs ctest for a preset and adds its counts to the totals; a failing suite fails the run at
# the end, after the other suites had their turn.
run_suite() {
    local preset=$1
    echo "=== $preset: tests"
    local status=0
    ctest --preset "$preset" 2>&1 | tee "$summary" || status=1
    local line
    line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$summary" | tail -n 1 || true)
    if [ -z "$line" ]; then
        echo "$preset: no test summary"; failed=$((failed + 1)); return
    fi
    local total fails
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    fails=$(sed -E 's/.*, ([0-9]+) tests failed.*/\1/' <<<"$line")
    passed=$((passed + total - fails))
    failed=$((failed + fails))
    [ $status -eq 0 ] || [ "$fails" -gt 0 ] || failed=$((failed + 1))
}

# Builds a preset: all of it, or the targets given after its name.
build() {
    local preset=$1
    shift
    echo "=== $preset: build"
    cmake --preset "$preset" >/dev/null
    if [ $# -gt 0 ]; then
        cmake --build --preset "$preset" -j 2 --target "$@"
    else
        cmake --build --preset "$preset" -j 2
    fi
}

# Each stage's start, with the minutes and seconds since the run began.
stage_clock() {
    printf '=== %s at %d:%02d\n' "$1" $((SECONDS / 60)) $((SECONDS % 60))
}

echo "=== layers of src/"
if scripts/check-layers.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); fi

for preset in linux linux-asan linux-tsan; do
    stage_clock "$preset"
    if [ "$preset" = linux-tsan ]; then
        build "$preset" zeph_thread_tests  # only what the TSan test preset runs
    else
        build "$preset"
    fi
    run_suite "$preset"
    if [ "$preset" = linux ]; then
        # clang-tidy and cppcheck of src/ and tools/, with the linux tree's compile database.
        echo "=== static analysis"
        if scripts/run-static-checks.sh build/linux; then
            passed=$((passed + 1))
        else
            failed=$((failed + 1))
        fi
    fi
done

stage_clock fuzzing
echo "=== fuzzing: every target for 25 s (clang, libFuzzer, ASan+UBSan)"
mkdir -p build
if scripts/run-fuzzer.sh 25 >build/fuzz.log 2>&1; then
    passed=$((passed + 1))
else
    failed=$((failed + 1))
fi
grep -E '^(run-fuzzer:|SUMMARY)|Test unit written' build/fuzz.log || tail -n 20 build/fuzz.log

stage_clock windows
build windows
. scripts/wine-prepare.sh build/windows
run_suite windows
wine_stop

stage_clock wine10
# The Windows DLL on a real PC/SC service: Wine 10 in a Debian 13 chroot (made once in
# build/wine10), the shared scenarios and the host tool; scripts/wine10-stage.sh counts its cases.
echo "=== wine10: the Windows build under Wine 10 on pcscd + vpcd (Debian 13 chroot)"
wine10_status=0
scripts/wine10-stage.sh build/linux build/windows 2>&1 | tee "$summary" || wine10_status=$?
wine10_line=$(grep -E '^wine10: [0-9]+ passed, [0-9]+ failed' "$summary" | tail -n 1 || true)
if [ -n "$wine10_line" ]; then
    passed=$((passed + $(sed -E 's/^wine10: ([0-9]+) passed.*/\1/' <<<"$wine10_line")))
    failed=$((failed + $(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$wine10_line")))
    # A stage that failed outside its cases (its set-up) counts once.
    if [ "$wine10_status" -ne 0 ] && grep -q ' 0 failed' <<<"$wine10_line"; then
        failed=$((failed + 1))
    fi
elif [ "$wine10_status" -ne 77 ]; then
    echo "wine10: no result line"; failed=$((failed + 1))
fi

stage_clock packages
echo "=== packages: the .deb and its debug symbols, the .tar.gz, the ZIP and its symbols; lintian; one host cycle with the installed .deb"
if scripts/check-packages.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); fi

stage_clock end
echo "total: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
