#!/usr/bin/env bash
# Runs the host's real-stack benchmark (card insertion and Cancel, each beside pcsc-lite used
# directly) inside the private namespaces of the real-stack harness, where the program starts its
# own pcscd and virtual card. Builds the program first in BUILD_DIR (a Release tree is what the
# figures are for); further options go to the benchmark.
#
#   run-host-realstack-bench.sh [BUILD_DIR] [BENCHMARK_OPTION...]
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
cmake --build "$build" -j 2 --target zeph_host_realstack_bench
exec "$root/tests/realstack/run-in-namespace.sh" "$build/bench/zeph_host_realstack_bench" "$@"
