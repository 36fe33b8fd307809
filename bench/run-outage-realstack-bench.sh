#!/usr/bin/env bash
# The outage benchmark: the CPU of a host looping on IsPresent for 10 s while pcscd is gone,
# beside the same loop on a healthy stack.
#
#   run-outage-realstack-bench.sh [BUILD_DIR] [BENCHMARK_OPTION...]
exec "$(dirname "$0")/run-realstack-program.sh" zeph_outage_realstack_bench "$@"
