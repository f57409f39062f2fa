#!/usr/bin/env bash
# check_exports.sh LIBRARY LIST [OBJDUMP]: the shared library exports exactly
# the names of LIST, nothing more or less: the dynamic symbols of a Linux
# library, the export table of a Windows DLL (read with OBJDUMP), where a name
# decorated with @N would count as unexpected.
set -euo pipefail
library=$1
expected=$2
if [[ "$library" == *.dll ]]; then
    # The names follow the "[Ordinal/Name Pointer] Table" line, one "[n] name" each.
    actual=$("${3:-objdump}" -p "$library" |
        awk '/\[Ordinal\/Name Pointer\] Table/ {table = 1; next} table && /^\t\[/ {print $NF; next} table {table = 0}' |
        LC_ALL=C sort -u)
else
    actual=$(nm -D --defined-only "$library" | awk '{print $3}' | sed 's/@.*//' | LC_ALL=C sort -u)
fi
if ! diff <(LC_ALL=C sort -u "$expected") <(echo "$actual"); then
    echo "exported symbols differ from $expected (< missing, > unexpected)"
    exit 1
fi
echo "$(echo "$actual" | wc -l) symbols exported as promised"
