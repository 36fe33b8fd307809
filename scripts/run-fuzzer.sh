#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time on a copy of its seed
# corpus tests/fuzz/corpus/<target>/. Exits non-zero when a fuzzer finds a crash, a sanitizer
# report, a leak or a broken promise of the code under test; the input that did it is kept in
# <build tree>/artifacts/<target>/. Every target runs, whatever the one before found.
#
#   scripts/run-fuzzer.sh [seconds] [target...]   seconds per target, default 60; targets
#                                                 default to all: regfile format firmware dumpkey
#
# The build tree is build/fuzz, or ZEPH_FUZZ_BUILD_DIR if set. A target's new corpus entries
# are thrown away; ZEPH_FUZZ_CORPUS_DIR=<dir> keeps them in <dir>/<target>/ instead.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(regfile format firmware dumpkey)
build=${ZEPH_FUZZ_BUILD_DIR:-build/fuzz}

for target in "${targets[@]}"; do
    if [ ! -d "tests/fuzz/corpus/$target" ]; then
        echo "run-fuzzer: unknown target $target (no tests/fuzz/corpus/$target/)" >&2
        exit 2
    fi
done
if ! echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
        clang++ -x c++ -fsanitize=fuzzer - -o /dev/null 2>/dev/null; then
    echo "run-fuzzer: clang++ cannot link -fsanitize=fuzzer (install libclang-rt-14-dev)" >&2
    exit 2
fi

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZEPH_BUILD_FUZZERS=ON -DZEPH_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j 2 --target "${targets[@]/%/_fuzzer}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs one target; prints its final executions per second.
run_target() {
    local target=$1
    local corpus=${ZEPH_FUZZ_CORPUS_DIR:+$ZEPH_FUZZ_CORPUS_DIR/$target}
    corpus=${corpus:-$work/$target}
    mkdir -p "$corpus" "$build/artifacts/$target"
    cp tests/fuzz/corpus/"$target"/* "$corpus"/
    local status=0
    "$build/tests/fuzz/${target}_fuzzer" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -max_len=8192 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target/" "$corpus" 2>&1 |
        tee "$work/$target.log" || status=1
    local rate
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/$target.log")
    summary+=("$target: $([ $status -eq 0 ] && echo ok || echo FAILED), ${seconds} s, ${rate:-?} exec/s")
    return $status
}

summary=()
failed=0
for target in "${targets[@]}"; do
    echo "=== fuzzing $target for $seconds s"
    run_target "$target" || failed=1
done
printf 'run-fuzzer: %s\n' "${summary[@]}"
exit $failed
