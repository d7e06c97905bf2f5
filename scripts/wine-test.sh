#!/usr/bin/env bash
# wine-test.sh TEMPLATE SCREEN PROGRAM [ARGS...]: runs a Windows test program under Wine on a
# fresh copy of the booted prefix and a private virtual screen; exits with the program's code.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
template=$1 screen=$2 program=$3
shift 3
work=$(mktemp -d /tmp/tavelin-test.XXXXXX)
cp -a "$template" "$work/prefix"
export WINEPREFIX=$work/prefix
cleanup() { wineserver -k >/dev/null 2>&1; stop_xvfb; rm -rf "$work"; }
trap cleanup EXIT
start_xvfb "$screen" || exit 1
wine_desktop_registry "${screen%x*}"
wineserver -p >/dev/null 2>&1
wine "$program" "$@" >"$work/out" 2>"$work/err"
rc=$?
cat "$work/out"
[ $rc -ne 0 ] && grep -v '^$' "$work/err" | tail -n 20 >&2
exit $rc
