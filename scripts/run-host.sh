#!/usr/bin/env bash
# The main job: sets up a Debian 12 machine, builds the module, the host tool and the virtual
# card, and shows the host's cycle on a private PC/SC stack without hardware
# (scripts/host-demo.sh): card inserted, commands exchanged, card removed, Ctrl-C. The stack runs
# in private namespaces (tests/support/realstack/run-in-namespace.sh), so it never meets the machine's
# own pcscd; that needs root.
#
#   run-host.sh [ZEPH_HOST_OPTION...]     e.g. run-host.sh --apdu 00A4000C023F00 --apdu 0084000008
#                                         run-host.sh --trace info,error  (with the module's trace)
set -euo pipefail
cd "$(dirname "$0")/.."
readonly root=$PWD

scripts/install-deps.sh
echo "=== building the module, the trace system stand-in, zeph_host and zeph_vcard (build/linux)"
cmake --preset linux >/dev/null
cmake --build --preset linux -j 2 --target ZEPH_Ext_PcSc zeph_trace_system zeph_host zeph_vcard

for arg in "$@"; do
    if [ "$arg" = --help ] || [ "$arg" = -h ]; then
        exec build/linux/tools/host/zeph_host --help
    fi
done

echo "=== the host's cycle on a private pcscd with a virtual reader and card"
status=0
tests/support/realstack/run-in-namespace.sh "$root/scripts/host-demo.sh" "$root/build/linux" "$@" ||
    status=$?
if [ "$status" -eq 77 ]; then
    echo "run-host.sh needs root and Linux namespaces (unshare) for the private PC/SC stack" >&2
    exit 1
fi
exit "$status"
