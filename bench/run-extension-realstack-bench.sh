#!/usr/bin/env bash
# Runs the extension object's real-stack benchmark inside the private namespaces of the
# real-stack harness, where the program starts its own pcscd and virtual card. Defaults to the
# comparison settings (random interleaving, 9 repetitions, aggregates only); further options go
# to the benchmark and override them.
#
#   run-extension-realstack-bench.sh BUILD_DIR [BENCHMARK_OPTION...]
set -euo pipefail

if [ $# -eq 0 ]; then
    echo "usage: $0 BUILD_DIR [BENCHMARK_OPTION...]" >&2
    exit 2
fi
readonly root="$(cd "$(dirname "$0")/.." && pwd)"
readonly program="$1/bench/zeph_extension_realstack_bench"
shift
[ -x "$program" ] || { echo "$program is not built" >&2; exit 2; }

exec "$root/tests/support/realstack/run-in-namespace.sh" "$program" \
    --benchmark_enable_random_interleaving=true --benchmark_repetitions=9 \
    --benchmark_report_aggregates_only=true "$@"
