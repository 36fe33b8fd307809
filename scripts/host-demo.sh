#!/usr/bin/env bash
# One full cycle of the host on a private PC/SC stack, no hardware needed: a private pcscd with
# the vpcd reader driver, the host tool (zeph_host) with the module, and the virtual card
# (zeph_vcard), driven through its standard input:
#
#   1. the host calls IsPresent, which waits for a card;
#   2. the card is inserted: IsPresent connects it, IsAbsent starts waiting on a second thread,
#      and the host reads the physical reader's name, sends its commands and queries the state;
#   3. the card is removed: IsAbsent returns and the host calls IsPresent again;
#   4. Ctrl-C (SIGINT) to the host: it calls Cancel, IsPresent returns STATUS_PENDING, and the
#      host destroys the object and ends.
#
# Every process is stopped by its pid. Runs only inside the private namespaces of
# tests/support/realstack/run-in-namespace.sh, where /run/pcscd is private; scripts/run-host.sh starts it
# there.
#
#   host-demo.sh BUILD_DIR [ZEPH_HOST_OPTION...]
#   host-demo.sh --installed ROOT [ZEPH_HOST_OPTION...]
# Without host options the host selects the master file and reads the card's file 2F01. With
# --installed the programs come from ROOT/usr/bin of an unpacked .deb, and the host finds the
# module by itself (ROOT/usr/lib/zeph/, scripts/check-packages.sh).
set -euo pipefail

usage="usage: $0 BUILD_DIR | --installed ROOT [ZEPH_HOST_OPTION...]"
if [ $# -eq 0 ] || { [ "$1" = --installed ] && [ $# -lt 2 ]; }; then
    echo "$usage" >&2
    exit 2
fi
if [ "${ZEPH_REALSTACK_NAMESPACE-}" != 1 ]; then
    echo "$0 runs only inside tests/support/realstack/run-in-namespace.sh" >&2
    exit 2
fi
if [ "$1" = --installed ]; then
    installed=$(cd "$2" && pwd)
    shift 2
    host=$installed/usr/bin/zeph_host
    module=$installed/usr/lib/zeph/ZEPH_Ext_PcSc.so
    vcard=$installed/usr/bin/zeph_vcard
    module_option=()
else
    build=$(cd "$1" && pwd)
    shift
    host=$build/tools/host/zeph_host
    module=$build/module/ZEPH_Ext_PcSc.so
    vcard=$build/tools/vcard/zeph_vcard
    module_option=(--module "$module")
fi
readonly host module vcard module_option
readonly driver=/usr/lib/pcsc/drivers/serial/libifdvpcd.so
readonly port=35963  # 0x8C7B, vpcd's first slot
readonly reader="Virtual PCD 00 00"
readonly card_text="Hello from the virtual card"
readonly step_timeout=15  # seconds

for file in "$host" "$module" "$vcard" "$driver"; do
    [ -e "$file" ] || { echo "missing $file" >&2; exit 2; }
done
pcscd=$(command -v pcscd || echo /usr/sbin/pcscd)

work=$(mktemp -d /tmp/zeph-host-demo-XXXXXX)
pcscd_pid=""
card_pid=""
host_pid=""

say() {
    echo "demo  | $*"
}

stop_pid() {
    local pid=$1
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

cleanup() {
    exec 3>&- 2>/dev/null || true
    stop_pid "$host_pid"
    stop_pid "$card_pid"
    stop_pid "$pcscd_pid"
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    say "FAILED: $*"
    if [ -s "$work/pcscd.log" ]; then
        echo "--- pcscd's log:"
        cat "$work/pcscd.log"
    fi
    exit 1
}

# Polls the host's output until a line holds the text; fails at the deadline.
wait_for_host() {
    local deadline=$((SECONDS + step_timeout))
    until grep -qF -- "$1" "$work/host.out"; do
        ((SECONDS < deadline)) || fail "the host did not print \"$1\" within ${step_timeout} s"
        kill -0 "$host_pid" 2>/dev/null || grep -qF -- "$1" "$work/host.out" ||
            fail "the host ended before printing \"$1\""
        sleep 0.05
    done
}

# --- pcscd with one vpcd reader, its log kept aside
cat >"$work/reader.conf" <<CONF
FRIENDLYNAME "Virtual PCD"
DEVICENAME   /dev/null:0x8C7B
LIBPATH      $driver
CHANNELID    0x8C7B
CONF
"$pcscd" --foreground --config "$work/reader.conf" >"$work/pcscd.log" 2>&1 &
pcscd_pid=$!
deadline=$((SECONDS + step_timeout))
until [ -n "$(ss -Hltn "sport = :$port" 2>/dev/null)" ]; do
    kill -0 "$pcscd_pid" 2>/dev/null || fail "pcscd ended"
    ((SECONDS < deadline)) || fail "vpcd did not listen on port $port"
    sleep 0.05
done
say "pcscd (pid $pcscd_pid) serves the reader \"$reader\" of the vpcd driver; it is empty"

# --- the host, its lines shown as they come and kept for the steps below
if [ $# -eq 0 ]; then
    length=$(printf '%02X' ${#card_text})
    set -- --apdu 00A4000C023F00 --apdu 00A4020C022F01 --apdu "00B00000$length"
fi
say "starting the host: zeph_host $*"
"$host" "${module_option[@]}" "$@" > >(sed -u 's/^/host  | /' | tee "$work/host.out") 2>&1 &
host_pid=$!
touch "$work/host.out"
wait_for_host "cycle 1  IsPresent: waiting"

# --- the card goes in: it connects to vpcd, which is the insertion
card_hex=$(printf '%s' "$card_text" | od -An -tx1 | tr -d ' \n')
mkfifo "$work/card.in"
say "inserting the virtual card: it connects to the reader (its file 2F01 holds \"$card_text\")"
# The card's events, without the driver's many ATR requests.
"$vcard" --port "$port" --file "2F01=$card_hex" <"$work/card.in" \
    > >(sed -u -e '/^atr$/d' -e 's/^/card  | /') 2>&1 &
card_pid=$!
exec 3>"$work/card.in"
wait_for_host "exchange done"

# --- the card comes out: IsAbsent returns and the next cycle waits again
say "removing the card"
echo remove >&3
wait_for_host "IsAbsent -> "
# The host waits for the next card, unless its options (--cycles 1) ended it here.
deadline=$((SECONDS + step_timeout))
until grep -qF "cycle 2  IsPresent: waiting" "$work/host.out" || ! kill -0 "$host_pid" 2>/dev/null
do
    ((SECONDS < deadline)) || fail "the host neither waited again nor ended"
    sleep 0.05
done

# --- Ctrl-C: the host cancels the wait and ends
if kill -0 "$host_pid" 2>/dev/null; then
    say "Ctrl-C: SIGINT to the host (pid $host_pid)"
    kill -INT "$host_pid"
fi
status=0
wait "$host_pid" || status=$?
host_pid=""
[ "$status" -eq 0 ] || fail "the host exited with status $status"
say "the host exited with status 0"

echo quit >&3
exec 3>&-
wait "$card_pid" 2>/dev/null || true
card_pid=""
stop_pid "$pcscd_pid"
pcscd_pid=""
say "one full cycle shown: insert, exchange, remove, cancel; pcscd and the card stopped"
