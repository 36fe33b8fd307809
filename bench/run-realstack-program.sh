#!/usr/bin/env bash
# Builds one real-stack benchmark program in BUILD_DIR (a Release tree by default, which is what
# the figures are for) and runs it inside the private namespaces of the real-stack harness, where
# the program starts its own pcscd and virtual card; further options go to the benchmark.
#
#   run-realstack-program.sh TARGET [BUILD_DIR] [BENCHMARK_OPTION...]
set -euo pipefail

readonly target="$1"
shift
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
cmake --build "$build" -j 2 --target "$target"
exec "$root/tests/support/realstack/run-in-namespace.sh" "$build/bench/$target" "$@"
