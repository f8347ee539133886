#!/usr/bin/env bash
# The library exports exactly the public functions and nothing else.
set -euo pipefail
library=$1
shift
expected=$(printf '%s\n' "$@" | sort)
actual=$(nm -D --defined-only "$library" | awk '$2 ~ /^[TDBRVWiu]$/ { print $3 }' | sort)
if [ "$actual" != "$expected" ]; then
    printf 'exports differ\nexpected:\n%s\nactual:\n%s\n' "$expected" "$actual" >&2
    exit 1
fi
echo "exports: $(echo "$actual" | tr '\n' ' ')"
