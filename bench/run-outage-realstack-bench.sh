#!/usr/bin/env bash
# Runs the outage benchmark (the CPU of a host looping on IsPresent for 10 s while pcscd is
# gone, beside the same loop on a healthy stack) inside the private namespaces of the real-stack
# harness, where the program starts its own pcscd and virtual card. Builds the program first in
# BUILD_DIR (a Release tree is what the figures are for); further options go to the benchmark.
#
#   run-outage-realstack-bench.sh [BUILD_DIR] [BENCHMARK_OPTION...]
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
readonly root
build="$root/build/release"
if [ $# -gt 0 ] && [[ "$1" != --* ]]; then
    build="$1"
    shift
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j 2 --target zeph_outage_realstack_bench
exec "$root/tests/realstack/run-in-namespace.sh" "$build/bench/zeph_outage_realstack_bench" "$@"
