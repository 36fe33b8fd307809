#!/usr/bin/env bash
# Builds the registry file parser's libFuzzer target with clang and runs it for a bounded time
# on a copy of the seed corpus tests/fuzz/corpus/regfile/. Exits non-zero when the fuzzer finds
# a crash, a sanitizer report, a leak or a broken promise of the parser; the input that did it
# is kept in <build tree>/artifacts/.
#
#   scripts/run-fuzzer.sh [seconds]     default 60; the build tree is build/fuzz, or
#                                       ZEPH_FUZZ_BUILD_DIR if set
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build=${ZEPH_FUZZ_BUILD_DIR:-build/fuzz}
target=regfile_fuzzer

if ! echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
        clang++ -x c++ -fsanitize=fuzzer - -o /dev/null 2>/dev/null; then
    echo "run-fuzzer: clang++ cannot link -fsanitize=fuzzer (install libclang-rt-14-dev)" >&2
    exit 2
fi

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZEPH_BUILD_FUZZERS=ON -DZEPH_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target "$target" -j 2

corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp tests/fuzz/corpus/regfile/* "$corpus"/
mkdir -p "$build/artifacts"
"$build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=8192 -print_final_stats=1 -artifact_prefix="$build/artifacts/" "$corpus"
