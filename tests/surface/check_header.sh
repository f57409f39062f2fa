#!/usr/bin/env bash
# A public header compiles alone, as C99 and as C++20, and includes no private header.
set -euo pipefail
cc=$1
cxx=$2
include_dir=$3
header=$4
if grep -nE '#include +"' "$include_dir/$header" | grep -vE '"calidra(_window|_sim)?\.h"'; then
    echo "$header includes a private header"
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '#include "%s"\nint calidra_header_probe;\n' "$header" > "$work/probe.c"
cp "$work/probe.c" "$work/probe.cpp"
"$cc" -std=c99 -pedantic -Wall -Wextra -Werror -I"$include_dir" -c "$work/probe.c" -o "$work/c.o"
"$cxx" -std=c++20 -pedantic -Wall -Wextra -Werror -I"$include_dir" -c "$work/probe.cpp" -o "$work/cxx.o"
echo "$header compiles alone as C99 and C++20"
