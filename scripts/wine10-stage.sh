#!/usr/bin/env bash
# The Windows DLL on a real PC/SC service: Wine 10 (whose winscard passes every call to the Unix
# pcsc-lite library) in a Debian 13 chroot, with the chroot's pcscd, a vpcd reader and zeph_vcard
# cards. Runs the shared scenarios over the WinSCard backend and the host tool zeph_host.exe.
#
#   wine10-stage.sh [LINUX_BUILD WINDOWS_BUILD]     (default build/linux build/windows)
#
# The chroot (build/wine10/root) and its Wine prefix (build/wine10/prefix) are made once and kept;
# a stamp file says the chroot is complete, so a broken creation is made again from scratch.
# Everything runs inside private mount, network and PID namespaces (as the real-stack tests do):
# the chroot's pcscd serves only its own /run/pcscd, the cards talk over a private loopback, and
# every process dies with the namespace. The last line says "wine10: N passed, M failed".
# Exits 77 when not run as root (debootstrap, chroot and the namespaces need it).
set -euo pipefail
cd "$(dirname "$0")/.."
readonly source_dir=$PWD
inside=0
case "${1-}" in
--inside) inside=1; shift ;;
--chrooted) inside=2; shift ;;
esac
linux_build=$(cd "${1:-build/linux}" && pwd)
windows_build=$(cd "${2:-build/windows}" && pwd)
readonly inside linux_build windows_build
readonly stage_dir=$source_dir/build/wine10
readonly root=$stage_dir/root
readonly suite=trixie
readonly mirror=${ZEPH_DEBIAN_MIRROR:-http://deb.debian.org/debian}
# Wine 10 and the PC/SC service; Wine's winscard loads libpcsclite.so.1 at run time.
readonly packages="wine64 wine pcscd vsmartcard-vpcd pcsc-tools libpcsclite1"
readonly stamp=$stage_dir/root.complete
readonly skip_status=77

if [ "$inside" = 0 ]; then
    [ "$(id -u)" -eq 0 ] || { echo "skipped: the chroot and the namespaces need root"; exit $skip_status; }
    mkdir -p "$stage_dir"
    if [ "$(cat "$stamp" 2>/dev/null)" != "$suite $packages" ]; then
        echo "wine10: making the Debian 13 chroot in $root"
        start=$(date +%s)
        # debootstrap and apt mount /proc (and may bind /dev) inside the chroot; in a mount
        # namespace of their own those mounts end with them, so nothing stays mounted under the
        # tree that a later creation removes (and rm stays on the tree's own file system).
        rm -rf --one-file-system "$root" "$stamp"
        unshare --mount --propagation private \
            debootstrap --variant=minbase "$suite" "$root" "$mirror" >"$stage_dir/debootstrap.log" 2>&1 ||
            { tail -n 20 "$stage_dir/debootstrap.log"; exit 1; }
        unshare --mount --propagation private chroot "$root" /usr/bin/env \
            DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            $packages >"$stage_dir/apt.log" 2>&1 || { tail -n 20 "$stage_dir/apt.log"; exit 1; }
        chroot "$root" apt-get clean
        echo "$suite $packages" >"$stamp"
        echo "wine10: chroot made in $(($(date +%s) - start)) s"
    fi
    exec unshare --mount --net --pid --fork --kill-child=SIGKILL --mount-proc --propagation private \
        "$0" --inside "$linux_build" "$windows_build"
fi

# Inside the namespaces: the chroot's file systems, the loopback, then the rest inside the chroot.
if [ "$inside" = 1 ]; then
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs -o mode=0755 zeph-pcscd "$root/run/pcscd" 2>/dev/null ||
        { mkdir -p "$root/run/pcscd" && mount -t tmpfs -o mode=0755 zeph-pcscd "$root/run/pcscd"; }
    mount -t tmpfs -o mode=1777 zeph-tmp "$root/tmp"
    for dir in "$source_dir" "$linux_build" "$windows_build"; do
        mkdir -p "$root$dir"
        mountpoint -q "$root$dir" || mount --bind "$dir" "$root$dir"
    done
    ip link set lo up
    exec chroot "$root" /bin/bash "$source_dir/scripts/wine10-stage.sh" --chrooted \
        "$linux_build" "$windows_build"
fi

# Inside the chroot: Wine 10's prefix (made once), the stack server, the Windows scenario program
# under Wine 10, and the host tool's test, which drives zeph_host.exe under Wine 10 itself.
export WINEPREFIX=$stage_dir/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    ZEPH_REALSTACK_NAMESPACE=1 ZEPH_PCSCD_ARGUMENT=--disable-polkit \
    ZEPH_WINE=/usr/lib/wine/wine64 ZEPH_STACK_SERVER_PORT=35900 HOME=/root
# Wine's winscard hands a sharing conflict to pcsc-lite, whose client waits until the card is
# free again unless this is set; WinSCard on Windows answers at once, as the module expects.
export PCSCLITE_NO_BLOCKING=1
unset DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    start=$(date +%s)
    "$ZEPH_WINE" wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w
    echo "wine10: Wine prefix made in $(($(date +%s) - start)) s"
fi
wineserver -p </dev/null >/dev/null 2>&1
"$ZEPH_WINE" wineboot </dev/null >/dev/null 2>&1

passed=0
failed=0
skipped=0
# Runs a GoogleTest program and adds its counts; a program that ends without its summary counts
# as one failure.
run_gtest() {
    local name=$1 log=$stage_dir/$1.log
    shift
    echo "=== wine10: $name"
    local status=0
    # Windows programs end their lines with a carriage return. A program that hangs is ended
    # after 5 minutes (the cases take about 16 s together).
    timeout --kill-after=10 300 "$@" >"$log.raw" 2>&1 || status=$?
    tr -d '\r' <"$log.raw" >"$log"
    rm -f "$log.raw"
    grep -A3 -E 'Skipped$|Failure$|^\[ +(OK|FAILED|SKIPPED|PASSED) +\]' "$log" | grep -v -E '^--$|^\[ RUN' || true
    local ran fails skips
    ran=$(sed -n -E 's/^\[==========\] ([0-9]+) tests? from .* ran.*/\1/p' "$log" | tail -n 1)
    fails=$(sed -n -E 's/^\[  FAILED  \] ([0-9]+) tests?, listed below:/\1/p' "$log" | tail -n 1)
    skips=$(sed -n -E 's/^\[  SKIPPED \] ([0-9]+) tests?, listed below:/\1/p' "$log" | tail -n 1)
    if [ -z "$ran" ]; then
        echo "wine10: $name ended without a summary (status $status); $log:"
        tail -n 30 "$log"
        failed=$((failed + 1))
        return
    fi
    fails=${fails:-0} skips=${skips:-0}
    passed=$((passed + ran - fails - skips))
    failed=$((failed + fails))
    skipped=$((skipped + skips))
    [ "$status" -eq 0 ] || [ "$fails" -gt 0 ] || failed=$((failed + 1))
}

"$linux_build/tests/scenarios/zeph_stack_server" "$ZEPH_STACK_SERVER_PORT" \
    >"$stage_dir/stack-server.log" 2>&1 &
server=$!
for _ in $(seq 100); do
    grep -q "listening" "$stage_dir/stack-server.log" && break
    sleep 0.05
done
run_gtest scenarios "$ZEPH_WINE" "$windows_build/tests/scenarios/scenario_wine10_tests.exe"
kill "$server"
wait "$server" 2>/dev/null || true

ZEPH_WINE10_HOST=$windows_build/tools/host/zeph_host.exe \
    ZEPH_WINE10_MODULE=$windows_build/module/ZEPH_Ext_PcSc.dll \
    run_gtest host "$linux_build/tests/realstack/zeph_host_realstack_tests" --gtest_filter='*/Wine10'

wineserver -k 2>/dev/null || true
echo "wine10: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
