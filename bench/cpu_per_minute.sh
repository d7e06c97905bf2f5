#!/usr/bin/env bash
# cpu_per_minute.sh EXE SCREEN SIZE [SECONDS] [PNG]: the processor time that Tavelin takes under
# Wine during a run, measured from outside. Starts the program in a Wine desktop of SCREEN
# (WxH), with the display size SIZE and a one-hour count-down, opens the control bar and presses
# its Run button as a user would, then reads the utime + stime of the Tavelin.exe process and of
# the prefix's wineserver over SECONDS (default 120) of the run. PNG, if given, gets a screenshot
# taken at the end of the measure (to see that the run was going).
set -u
here=$(cd "$(dirname "$0")/../scripts" && pwd)
. "$here/wine-env.sh"
exe=$1 screen=$2 size=$3 seconds=${4:-120} png=${5:-}
W=${screen%x*} H=${screen#*x}
# Where the control bar's Run button is: the bar sits right under the display, whose height
# is that of the chosen size (full width: the height worked out from the screen's width).
case $size in
  0) dh=247 ;; 1) dh=308 ;; 2) dh=389 ;; 3) dh=431 ;; 4) dh=489 ;;
  *) u=$(( (W - 2) / 53 )) g=$(( (5 * W + 32) / 64 )); dh=$(( 16 * u + g + 5 )) ;;
esac
work=$(mktemp -d /tmp/tavelin-cpu.XXXXXX)
export WINEPREFIX=$work/prefix
trap 'wineserver -k >/dev/null 2>&1; stop_xvfb; rm -rf "$work"' EXIT
"$here/wine-prefix.sh" "$WINEPREFIX" >/dev/null
start_xvfb "${screen}x24" || exit 1
wineserver -p >/dev/null 2>&1
key='HKCU\Software\Fenwright\Tavelin\1'
wine reg add "$key" /v TypeInc /t REG_DWORD /d 1 /f >/dev/null 2>&1
wine reg add "$key" /v TotalTime /t REG_DWORD /d 3600 /f >/dev/null 2>&1
wine reg add "$key" /v UserScreenSize /t REG_DWORD /d "$size" /f >/dev/null 2>&1
wine explorer /desktop=Tavelin,"$screen" "$exe" >"$work/log" 2>&1 &
sleep 5
xdotool mousemove 470 398 click 1      # "Tavelin": the control bar and the display
sleep 3
xdotool mousemove 22 $((dh + 39)) click 1   # Run
xdotool mousemove $((W - 10)) $((H - 10))
sleep 3

# The processes of this prefix: the program and the wineserver.
pid_of() {
  local p
  for p in /proc/[0-9]*; do
    grep -qz "^WINEPREFIX=$WINEPREFIX\$" "$p/environ" 2>/dev/null || continue
    # The program itself, not the desktop that was asked to start it.
    tr '\0' '\n' <"$p/cmdline" 2>/dev/null | head -n 1 | grep -q "$1\$" && { echo "${p#/proc/}"; return; }
  done
}
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
prog=$(pid_of 'Tavelin.exe')
# The wineserver of this prefix works in the prefix's server directory, named after the prefix's
# device and inode.
serverdir=$(printf "server-%x-%x" "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
server=
for p in /proc/[0-9]*; do
  case "$(cat "$p/comm" 2>/dev/null)" in wineserver*) ;; *) continue ;; esac
  [ "$(basename "$(readlink "$p/cwd" 2>/dev/null)")" = "$serverdir" ] && server=${p#/proc/}
done
[ -n "$prog" ] && [ -n "$server" ] || { echo "Tavelin.exe or its wineserver not found" >&2; exit 1; }
# The scheduler's own count of each thread's time on a processor, in nanoseconds: utime and stime
# come in hundredths of a second, too coarse for a program that takes a few of them a minute.
runtimes() { for t in /proc/"$prog"/task/*; do echo "${t##*/} $(cut -d' ' -f1 "$t/schedstat")"; done; }
hz=$(getconf CLK_TCK)
runtimes >"$work/run0"
p0=$(ticks "$prog") s0=$(ticks "$server") t0=$(date +%s.%N)
sleep "$seconds"
p1=$(ticks "$prog") s1=$(ticks "$server") t1=$(date +%s.%N)
runtimes >"$work/run1"
rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$prog/status")
hwm=$(awk '/^VmHWM:/ {print $2}' "/proc/$prog/status")
[ -n "$png" ] && import -window root "$png"
awk -v p=$((p1 - p0)) -v s=$((s1 - s0)) -v hz="$hz" -v t0="$t0" -v t1="$t1" -v size="$size" \
    -v screen="$screen" 'BEGIN {
  m = (t1 - t0) / 60
  printf "size %s on %s, %.1f min of run: Tavelin.exe %.3f s/min, wineserver %.3f s/min, together %.3f s/min\n",
         size, screen, m, p / hz / m, s / hz / m, (p + s) / hz / m }'
# Each thread that ran, in the order they were made: the user interface's first, then those of
# the timing engine.
join "$work/run0" "$work/run1" | awk -v t0="$t0" -v t1="$t1" '
  { ms = ($3 - $2) / 1e6; total += ms; if (ms >= 0.05) parts = parts sprintf(" %.1f", ms) }
  END { m = (t1 - t0) / 60
        printf "Tavelin.exe by the scheduler: %.1f ms per minute of run (threads, ms in all:%s)\n",
               total / m, parts }'
echo "Tavelin.exe resident: $((rss / 1024)) MB now, $((hwm / 1024)) MB at most"
