#!/usr/bin/env bash
# wine-prefix.sh PREFIX [win64]: boots a Wine prefix once; each test then works on a copy of it,
# with an empty registry of ours. A 32-bit Windows unless win64 is asked for: a 64-bit one, where
# Tavelin runs as a 32-bit program beside the system's 64-bit ones.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
prefix=$1
boot=(wineboot)
if [ "${2:-}" = win64 ]; then
  export WINEARCH=win64
  boot=(wine64 wineboot)
fi
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
export WINEPREFIX=$prefix
log=$(mktemp)
"${boot[@]}" -i >"$log" 2>&1 || { cat "$log"; exit 1; }
wineserver -w
rm -f "$log"
# Wine links the user's folders (Documents, Desktop...) to the Unix home: a test that writes a
# journal would write it there, shared with every other test and left on the machine. Each copy
# of the prefix has folders of its own, as each Windows computer does.
for link in "$prefix"/drive_c/users/*/*; do
  if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
done
test -f "$prefix/user.reg"
echo "Wine prefix ready: $prefix"
