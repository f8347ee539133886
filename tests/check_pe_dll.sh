#!/usr/bin/env bash
# Reads a Windows DLL with objdump -p:
#   check_pe_dll.sh exports OBJDUMP DLL NAME...     it exports exactly NAME..., undecorated
#   check_pe_dll.sh imports OBJDUMP DLL PATTERN...  every DLL it imports matches a PATTERN
set -euo pipefail
mode=$1 objdump=$2 dll=$3
shift 3
dump=$("$objdump" -p "$dll")
case $mode in
exports)
    expected=$(printf '%s\n' "$@" | sort)
    actual=$(awk '/^\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
                  table && /^\t\[ *[0-9]+\] / { print $NF; next }
                  table { exit }' <<<"$dump" | sort)
    if [ "$actual" != "$expected" ]; then
        printf 'exports differ\nexpected:\n%s\nactual:\n%s\n' "$expected" "$actual" >&2
        exit 1
    fi
    echo "exports: $(echo "$actual" | tr '\n' ' ')"
    ;;
imports)
    actual=$(awk '/^\tDLL Name: / { print $3 }' <<<"$dump")
    [ -n "$actual" ] || { echo "no imports read from $dll" >&2; exit 1; }
    for name in $actual; do
        allowed=
        for pattern in "$@"; do
            # shellcheck disable=SC2053  # the pattern is a glob on purpose
            [[ $name == $pattern ]] && allowed=1
        done
        [ -n "$allowed" ] || { echo "unexpected import: $name (imports: $(echo $actual))" >&2; exit 1; }
    done
    echo "imports: $(echo $actual)"
    ;;
*)
    echo "unknown mode $mode" >&2
    exit 2
    ;;
esac
