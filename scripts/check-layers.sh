#!/usr/bin/env bash
# Checks the layering of src/: a file includes only from its own folder and the folders below it
# in the order of docs/architecture.md. Prints every include that reaches up and fails then.
set -euo pipefail
cd "$(dirname "$0")/.."

# From the top down; a folder may include itself and everything after it.
layers=(extension identification crash process directories pcsc registry tracing platform)

rank() {
    local i
    for i in "${!layers[@]}"; do
        [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }
    done
    echo -1
}

status=0
while IFS= read -r file; do
    own=$(rank "$(echo "$file" | cut -d/ -f2)")
    while IFS= read -r target; do
        other=$(rank "${target%%/*}")
        if [ "$own" -lt 0 ] || { [ "$other" -ge 0 ] && [ "$other" -lt "$own" ]; }; then
            echo "$file includes $target, which stands above it"
            status=1
        fi
    done < <(sed -n 's/^#include "\([a-z]*\/[^"]*\)".*/\1/p' "$file")
done < <(git ls-files 'src/*.h' 'src/*.cpp')
exit "$status"
