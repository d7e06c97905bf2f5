#!/usr/bin/env bash
# screenshots.sh EXE DIR: the pictures of the README, taken as a user sees the program on a
# 1024x768 screen: the main window, the giant display at the start of a "Négatif" run of
# 1 h 30 min and in the middle of it, the options dialog and the about box.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
exe=$1 dir=$2
mkdir -p "$dir"
work=$(mktemp -d /tmp/tavelin-shots.XXXXXX)
export WINEPREFIX=$work/prefix
trap 'wineserver -k >/dev/null 2>&1; stop_xvfb; rm -rf "$work"' EXIT
"$here/wine-prefix.sh" "$WINEPREFIX" >/dev/null
wine_caption_font || exit 1
start_xvfb 1024x768x24 || exit 1
wineserver -p >/dev/null 2>&1
key='HKCU\Software\Fenwright\Tavelin\1'
wine reg add "$key" /v TypeInc /t REG_DWORD /d 1 /f >/dev/null 2>&1
wine reg add "$key" /v TotalTime /t REG_DWORD /d 5400 /f >/dev/null 2>&1
wine explorer /desktop=Tavelin,1024x768 "$exe" >"$work/log" 2>&1 &
sleep 4
xdotool mousemove 1000 700
import -window root "$dir/main-window.png"
xdotool mousemove 470 398 click 1      # "Tavelin": the control bar and the display
sleep 2
xdotool mousemove 1000 700
import -window root "$dir/display-start.png"
xdotool mousemove 22 428 click 1       # run
sleep 0.2
xdotool mousemove 1000 700
sleep 7.5
import -window root "$dir/display-running.png"
xdotool mousemove 142 428 click 1      # quit
sleep 1.5
xdotool mousemove 540 300 click 3      # the main window's menu
sleep 0.7
xdotool key Down Return                # "&Options"
sleep 1.5
xdotool mousemove 1000 700
import -window root "$dir/options.png"
xdotool key Escape
sleep 1
xdotool mousemove 540 300 click 3
sleep 0.7
xdotool key Down Down Down Down Down Down Down Return  # "A &Propos"
sleep 1.5
xdotool mousemove 1000 700
import -window root "$dir/about.png"
xdotool key Escape
sleep 1
xdotool key Escape                     # closes the main window
sleep 2
echo "Screenshots in $dir"
