#!/usr/bin/env bash
# Runs a command in private mount, network and PID namespaces, for the real-stack tests: a tmpfs
# on /run/pcscd (where pcscd always puts its socket), only a loopback interface, and a process
# tree that dies with the command, so that a private pcscd can neither meet the machine's own
# nor outlive the test. Exits with 77 (the tests' SKIP_RETURN_CODE) when the namespaces cannot
# be made here.
#
#   run-in-namespace.sh COMMAND [ARG...]
set -euo pipefail

readonly skip_status=77
readonly marker=ZEPH_REALSTACK_NAMESPACE
readonly unshare_options=(--mount --net --pid --fork --kill-child=SIGKILL --mount-proc
    --propagation private)

skip() {
    echo "skipped: $*"
    exit "$skip_status"
}

# Inside the namespaces, as their first process: the command runs as its child, and when this
# shell ends the kernel ends whatever the command left behind.
if [ "${1-}" = "--inside" ]; then
    shift
    mount -t tmpfs -o mode=0755 zeph-pcscd /run/pcscd || skip "cannot mount a tmpfs on /run/pcscd"
    ip link set lo up || skip "cannot bring up the loopback interface"
    export "$marker=1"
    status=0
    "$@" || status=$?
    exit "$status"
fi

if [ $# -eq 0 ]; then
    echo "usage: $0 COMMAND [ARG...]" >&2
    exit 2
fi
[ "$(id -u)" -eq 0 ] || skip "mount and network namespaces need root"
command -v unshare >/dev/null || skip "unshare (util-linux) is not installed"
command -v ip >/dev/null || skip "ip (iproute2) is not installed"
[ -d /run/pcscd ] || mkdir -p /run/pcscd || skip "cannot create /run/pcscd"
unshare "${unshare_options[@]}" true 2>/dev/null || skip "namespaces are not available here"
exec unshare "${unshare_options[@]}" "$0" --inside "$@"
