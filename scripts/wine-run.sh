#!/bin/sh
# Runs a Windows program under Wine with the prefix of the build tree it belongs to.
# The prefix is <build tree>/.wineprefix, found from ZEPH_WINEPREFIX or the program's path.
#
# Now and then Wine cannot start the process at all: an address of the new process's layout
# collides with the fixed address of the shared user data ("failed to map the shared user data",
# status c0000018), before the program's own code runs. Such a launch is repeated, at most three
# times; a program that ran is never run twice. Wine's other messages stay off.
if [ -z "${ZEPH_WINEPREFIX:-}" ]; then
    dir=$(dirname "$1")
    while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
    ZEPH_WINEPREFIX="$dir/.wineprefix"
fi
export WINEPREFIX="$ZEPH_WINEPREFIX" WINEDEBUG=-all,err+virtual WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
errors=$(mktemp) || exit 1
trap 'rm -f "$errors"' EXIT
for attempt in 1 2 3; do
    /usr/lib/wine/wine64 "$@" 2>"$errors"
    status=$?
    grep -q "failed to map the shared user data" "$errors" || break
    echo "wine-run.sh: Wine could not start the process (attempt $attempt), starting it again" >&2
done
cat "$errors" >&2
exit "$status"
