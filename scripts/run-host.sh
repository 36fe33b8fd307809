#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds the module and runs the host tool against it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j 2 --target zeph_host ZEPH_Ext_PcSc
build/linux/tools/host/zeph_host build/linux/module/ZEPH_Ext_PcSc.so "$@"
