#!/usr/bin/env bash
# screenshot-main.sh EXE PNG: starts Tavelin on a virtual 1024x768 screen inside a Wine desktop
# (which draws Windows-style frames), saves a screenshot of the main window, then closes the
# program as a user would (Escape presses its "Fermer" button), so that its settings are saved.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
exe=$1 png=$2
mkdir -p "$(dirname "$png")"
export WINEPREFIX=${WINEPREFIX:-$(dirname "$png")/../wine-run}
[ -f "$WINEPREFIX/user.reg" ] || "$here/wine-prefix.sh" "$WINEPREFIX" >/dev/null
wine_caption_font || exit 1
log=$(mktemp)
trap 'wineserver -k >/dev/null 2>&1; stop_xvfb; rm -f "$log"' EXIT
start_xvfb 1024x768x24 || exit 1
wineserver -p >/dev/null 2>&1
wine explorer /desktop=Tavelin,1024x768 "$exe" >"$log" 2>&1 &
wine_pid=$!
desktop=
for _ in $(seq 100); do
  desktop=$(xdotool search --name "Tavelin" 2>/dev/null | head -n 1)
  [ -n "$desktop" ] && break
  sleep 0.2
done
[ -n "$desktop" ] || { echo "Tavelin did not start" >&2; cat "$log" >&2; exit 1; }
sleep 3  # let the main window paint
import -window root "$png"
echo "Screenshot of the main window: $png"
xdotool windowfocus --sync "$desktop" 2>/dev/null; xdotool key Escape
for _ in $(seq 50); do
  kill -0 $wine_pid 2>/dev/null || break
  sleep 0.2
done
if kill -0 $wine_pid 2>/dev/null; then
  echo "Tavelin did not close" >&2
  exit 1
fi
echo "Tavelin closed; its settings are in HKEY_CURRENT_USER\\Software\\Fenwright\\Tavelin\\1 of $WINEPREFIX"
