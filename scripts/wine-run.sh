#!/bin/sh
# Runs a Windows program under Wine with the prefix of the build tree it belongs to.
# The prefix is <build tree>/.wineprefix, found from ZEPH_WINEPREFIX or the program's path.
if [ -z "${ZEPH_WINEPREFIX:-}" ]; then
    dir=$(dirname "$1")
    while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
    ZEPH_WINEPREFIX="$dir/.wineprefix"
fi
export WINEPREFIX="$ZEPH_WINEPREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
exec /usr/lib/wine/wine64 "$@"
