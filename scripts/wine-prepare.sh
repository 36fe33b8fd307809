#!/usr/bin/env bash
# Prepares the Wine prefix of a Windows build tree and starts a persistent wineserver for it, so
# that each test program starts in about 0.1 s. Source it:  . scripts/wine-prepare.sh BUILD_DIR
# It defines wine_stop, which ends that wineserver (and only it).
build_dir=$(cd "$1" && pwd)
export WINEPREFIX="$build_dir/.wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w
fi
wineserver -p </dev/null >/dev/null 2>&1
# Start Wine's background services now, away from ctest's output pipes (otherwise they inherit
# the first test's pipes and test discovery hangs).
/usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1
wine_stop() { WINEPREFIX="$build_dir/.wineprefix" wineserver -k 2>/dev/null || true; }
