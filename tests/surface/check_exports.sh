#!/usr/bin/env bash
# The shared library exports exactly the promised functions, nothing more or less.
set -euo pipefail
library=$1
expected=$2
actual=$(nm -D --defined-only "$library" | awk '{print $3}' | sed 's/@.*//' | LC_ALL=C sort -u)
if ! diff <(LC_ALL=C sort -u "$expected") <(echo "$actual"); then
    echo "exported symbols differ from $expected (< missing, > unexpected)"
    exit 1
fi
echo "$(echo "$actual" | wc -l) symbols exported as promised"
