#!/usr/bin/env bash
# Boots a Wine prefix once; each test then works on a copy of it, with an empty registry of ours.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
prefix=$1
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
export WINEPREFIX=$prefix
log=$(mktemp)
wineboot -i >"$log" 2>&1 || { cat "$log"; exit 1; }
wineserver -w
rm -f "$log"
test -f "$prefix/user.reg"
echo "Wine prefix ready: $prefix"
