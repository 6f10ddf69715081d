#!/usr/bin/env bash
# RunWine.sh PROGRAM [ARGS...]
# Runs a Windows program under Wine for CTest and passes on its output and
# exit code. The Wine server and the system processes the first program
# starts outlive it by a few seconds; had they inherited the test's output,
# CTest would wait for them after every test. They get files instead, and a
# server that lingers one second, long enough for the next test to share it.
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
wineserver -p1 </dev/null >/dev/null 2>&1
wine "$@" </dev/null >"$work/out" 2>"$work/err"
rc=$?
cat "$work/out"
cat "$work/err" >&2
exit $rc
