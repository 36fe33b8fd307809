#!/bin/sh
# Fails unless the library exports exactly the named functions (in any order).
#   check_exports.sh LIBRARY "NAME..." nm -D --defined-only          (ELF)
#   check_exports.sh LIBRARY "NAME..." x86_64-w64-mingw32-objdump -p (PE)
library=$1; expected=$2; shift 2
case "$1" in
*objdump*)
    # The export table lists each name as: [Ordinal/Name Pointer] Table ... "\t[   0] NAME"
    names=$("$@" "$library" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p')
    ;;
*)
    names=$("$@" "$library" | awk '$2 ~ /^[TtWwiI]$/ { print $3 }')
    ;;
esac
echo "exported functions:" $names
[ "$(printf '%s\n' $names | sort)" = "$(printf '%s\n' $expected | sort)" ]
