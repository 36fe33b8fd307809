#!/bin/sh
# zeph_host --diagnose where no PC/SC service answers (the Windows build under Wine 8, whose
# winscard has only stubs): the report still shows the trace system and the product's
# directories, and the exit status is 2.
# Usage: diagnose_without_service.sh RUNNER HOST MODULE
output=$("$1" "$2" --module "$3" --diagnose 2>&1)
status=$?
echo "$output"
[ "$status" -eq 2 ] || { echo "exit status $status, not 2"; exit 1; }
for line in "trace      searched " "TpUmTraceSystem001_x64.dll: loads, exports every name" \
    "dirs       program     " "dirs       log         " \
    "verdict    the PC/SC service cannot be reached: "; do
    printf '%s\n' "$output" | grep -qF -- "$line" || { echo "no line with \"$line\""; exit 1; }
done
