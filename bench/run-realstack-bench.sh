#!/usr/bin/env bash
# The pcsc-lite backend benchmark on the real stack: inside the private namespaces of the
# real-stack harness, starts pcscd with one vpcd reader and a zeph_vcard card, runs
# zeph_pcsclite_bench (random interleaving, 9 repetitions, unless arguments say otherwise) and
# stops the card and pcscd by their process ids.
#
#   bench/run-realstack-bench.sh BUILD_DIR [BENCHMARK_ARGS...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1-}" != "--inside" ]; then
    if [ $# -lt 1 ]; then
        echo "usage: $0 BUILD_DIR [BENCHMARK_ARGS...]" >&2
        exit 2
    fi
    exec "$here/../tests/support/realstack/run-in-namespace.sh" "$0" --inside "$@"
fi
shift
build=$(cd "$1" && pwd)
shift
args=("$@")
if [ ${#args[@]} -eq 0 ]; then
    args=(--benchmark_enable_random_interleaving=true --benchmark_repetitions=9
        --benchmark_report_aggregates_only=true)
fi

work=$(mktemp -d)
pcscd_pid=""
card_pid=""
stop() {
    if [ -n "$card_pid" ]; then
        echo quit >&3 || true
        exec 3>&-
        wait "$card_pid" || true
    fi
    if [ -n "$pcscd_pid" ]; then
        kill "$pcscd_pid" 2>/dev/null || true
        wait "$pcscd_pid" || true
    fi
    rm -rf "$work"
}
trap stop EXIT

cat >"$work/reader.conf" <<CONF
FRIENDLYNAME "Virtual PCD"
DEVICENAME   /dev/null:0x8C7B
LIBPATH      /usr/lib/pcsc/drivers/serial/libifdvpcd.so
CHANNELID    0x8C7B
CONF
pcscd --foreground --config "$work/reader.conf" >"$work/pcscd.log" 2>&1 &
pcscd_pid=$!

# The card reads its commands from a pipe that stays open until it is told to quit.
mkfifo "$work/card-commands"
"$build/tools/vcard/zeph_vcard" <"$work/card-commands" >/dev/null &
card_pid=$!
exec 3>"$work/card-commands"

# zeph_pcsclite_bench waits for pcscd and the card itself.
"$build/bench/zeph_pcsclite_bench" "${args[@]}"
