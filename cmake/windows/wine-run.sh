#!/usr/bin/env bash
# wine-run.sh PREFIX PROGRAM [ARG...]: runs a Windows program under Wine in the
# prefix PREFIX (an absolute path, made on first use), as ctest's emulator.
# The program's output goes to a file first and is printed when it ends: Wine's
# helper processes can outlive the program and would keep a pipe open, so ctest
# would wait for them. The exit code is the program's.
set -uo pipefail
export WINEPREFIX=$1
shift
export WINEDEBUG=-all
# Wine takes the ANSI code page from the locale: a fixed one (code page 1252)
# for the tests of the A functions.
export LC_ALL=C.UTF-8
output=$(mktemp)
trap 'rm -f "$output"' EXIT
wine "$@" >"$output" 2>&1 </dev/null
status=$?
# Windows programs end their lines with CR LF.
tr -d '\r' <"$output"
exit $status
