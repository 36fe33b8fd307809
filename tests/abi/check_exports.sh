#!/bin/sh
# Fails unless ZEPH_Ext_GetNewInstance is the one and only function the module exports.
#   check_exports.sh MODULE nm -D --defined-only          (ELF)
#   check_exports.sh MODULE x86_64-w64-mingw32-objdump -p (PE)
module=$1; shift
case "$1" in
*objdump*)
    # The export table lists each name as: [Ordinal/Name Pointer] Table ... "\t[   0] NAME"
    names=$("$@" "$module" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p')
    ;;
*)
    names=$("$@" "$module" | awk '$2 ~ /^[TtWwiI]$/ { print $3 }')
    ;;
esac
echo "exported functions: $names"
[ "$names" = "ZEPH_Ext_GetNewInstance" ]
