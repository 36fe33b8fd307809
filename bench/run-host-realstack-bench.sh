#!/usr/bin/env bash
# The host's real-stack benchmark: card insertion and Cancel, each beside pcsc-lite used directly.
#
#   run-host-realstack-bench.sh [BUILD_DIR] [BENCHMARK_OPTION...]
exec "$(dirname "$0")/run-realstack-program.sh" zeph_host_realstack_bench "$@"
