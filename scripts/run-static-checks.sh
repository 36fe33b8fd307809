#!/usr/bin/env bash
# Static analysis of src/ and tools/: clang-tidy (checks in .clang-tidy) with the compile database
# of a configured build tree, then cppcheck on every source, the Windows-only ones included. Any
# finding fails the run. Usage: scripts/run-static-checks.sh [build-dir, default build/linux]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${1:-build/linux}
jobs=${STATIC_CHECK_JOBS:-2}
if [ ! -f "$build/compile_commands.json" ]; then
    echo "run-static-checks: no $build/compile_commands.json (configure the linux preset first)"
    exit 2
fi
status=0

echo "--- clang-tidy: src/ and tools/"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
start=$SECONDS
tidy=0
run-clang-tidy-14 -p "$build" -j "$jobs" -quiet "^$root/(src|tools)/" >"$log" 2>&1 || tidy=1
# Only the findings, not the per-file command lines or the suppression counts.
if sed -E 's/\x1b\[[0-9;]*m//g' "$log" | grep -E '(warning|error): ' | sort -u; then
    status=1
elif [ $tidy -ne 0 ]; then
    tail -n 20 "$log"
    status=1
fi
echo "clang-tidy: $((SECONDS - start)) s"

echo "--- cppcheck: src/ and tools/"
start=$SECONDS
cppcheck src tools -I include -I src --std=c++20 -j "$jobs" --quiet \
    --enable=warning,performance,portability --inline-suppr --error-exitcode=1 \
    --suppress=missingIncludeSystem \
    --template='{file}:{line}: {severity}: {message} [{id}]' || status=1
echo "cppcheck: $((SECONDS - start)) s"

if [ $status -eq 0 ]; then
    echo "static analysis: clean"
else
    echo "static analysis: findings above"
fi
exit $status
