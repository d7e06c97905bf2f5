#!/usr/bin/env bash
# cpu_per_minute.sh EXE [EXE...]: the processor time that a run of Tavelin costs under Wine,
# measured from outside: Tavelin.exe itself, the wineserver of its prefix and the X server that
# receives its pixels. Each build runs in turn on the same virtual screen, in a fresh copy of one
# booted prefix, with a one-hour count-down: the control bar is opened and its Run button pressed
# as a user would, then MEASURE seconds of the run are measured. Rounds alternate the builds (the first
# build first, then the last first, and so on), so that what else the machine does falls on both;
# compare ranges, not single figures. With two builds, the ratios of the second to the first.
#   SCREEN   virtual screen WxH (3840x2160)
#   SIZE     display size: 0 to 4 the fixed ones, 5 full width (5)
#   MEASURE  measured seconds of each run (90)
#   ROUNDS   runs of each build (2)
#   FLUSHES  seconds of one more run of each build, traced, that counts the rectangles that Wine
#            sends to the X server and their pixels (0: none). Tracing costs time of its own:
#            these runs are not measured for time.
#   REQUESTS seconds of one more run of each build, traced, that counts Tavelin's requests to
#            its wineserver by kind (0: none); not measured for time either.
#   IDLE     1: the display is opened but not run, to measure what the prefix costs when Tavelin
#            paints nothing (the floor under every figure)
#   PNG      a directory for a screenshot at the end of each run (to see that it was going)
set -u
here=$(cd "$(dirname "$0")/../scripts" && pwd)
. "$here/wine-env.sh"
[ $# -ge 1 ] || { echo "usage: $0 EXE [EXE...]" >&2; exit 2; }
exes=()
for e in "$@"; do exes+=("$(readlink -f "$e")"); done
screen=${SCREEN:-3840x2160} size=${SIZE:-5} seconds=${MEASURE:-90} rounds=${ROUNDS:-2}
flushes=${FLUSHES:-0} requests=${REQUESTS:-0} idle=${IDLE:-0} png=${PNG:-}
W=${screen%x*} H=${screen#*x}
# The display's layout: the digit unit u, the first digit's left x0 and the window's height,
# worked out from the screen's width at full width.
case $size in
  0) u=12 x0=2 g=50 ;; 1) u=15 x0=3 g=63 ;; 2) u=19 x0=9 g=80 ;; 3) u=21 x0=21 g=90 ;;
  4) u=24 x0=5 g=100 ;;
  *) u=$(( (W - 2) / 53 )) g=$(( (5 * W + 32) / 64 )); x0=$(( 1 + (W - 2 - 53 * u) / 2 )) ;;
esac
dh=$(( 16 * u + g + 5 ))
work=$(mktemp -d /tmp/tavelin-cpu.XXXXXX)
trap 'WINEPREFIX=$work/prefix wineserver -k >/dev/null 2>&1; stop_xvfb; rm -rf "$work"' EXIT
"$here/wine-prefix.sh" "$work/template" >/dev/null || exit 1
start_xvfb "${screen}x24" || exit 1

pixel() { import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}' | head -n 1; }
# wait_for SECONDS TEST...: until the test passes, at most SECONDS.
wait_for() {
  local until=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $until ] || return 1
    sleep 0.5
  done
}
# The main window stands on the desktop where the button "Tavelin" is; the display, black, at the
# top; a run has begun when the count-down's first second lights the seconds' middle segment.
main_shown() { [ "$(pixel 470 398)" != "$(pixel $((W - 5)) $((H - 5)))" ]; }
display_shown() { [ "$(pixel $((W / 2)) 3)" = "#000000" ]; }
running() { [ "$(pixel $((x0 + 49 * u)) $((1 + 8 * u)))" != "#000000" ]; }

# The processes of this prefix, as "pid name".
prefix_processes() {
  local p
  for p in /proc/[0-9]*; do
    grep -qz "^WINEPREFIX=$WINEPREFIX\$" "$p/environ" 2>/dev/null || continue
    echo "${p#/proc/} $(tr '\0' '\n' <"$p/cmdline" 2>/dev/null | head -n 1)"
  done
}
wineserver_of_prefix() {
  local p dir
  dir=$(printf "server-%x-%x" "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
  for p in /proc/[0-9]*; do
    case "$(cat "$p/comm" 2>/dev/null)" in wineserver*) ;; *) continue ;; esac
    [ "$(basename "$(readlink "$p/cwd" 2>/dev/null)")" = "$dir" ] && echo "${p#/proc/}"
  done
}
# The scheduler's own count of each thread's time on a processor, in nanoseconds ("tid ns"):
# utime and stime come in hundredths of a second, too coarse for a program that takes a few of
# them a minute.
runtimes() { local t; for t in /proc/"$1"/task/*; do echo "${t##*/} $(cut -d' ' -f1 "$t/schedstat" 2>/dev/null)"; done; }
# ns THEN NOW: the time of the threads found in both counts.
ns() { join <(sort "$1") <(sort "$2") | awk '{ s += $3 - $2 } END { printf "%d", s }'; }

# run EXE LABEL [TRACE [KIND]]: one run; prints "label tavelin server x others rss hwm" (seconds a
# minute, MB), or with TRACE seconds traced, the flushes' figures (KIND flushes) or the requests'.
run() {
  local exe=$1 label=$2 trace=${3:-} kind=${4:-flushes}
  export WINEPREFIX=$work/prefix
  rm -rf "$WINEPREFIX"
  cp -a "$work/template" "$WINEPREFIX"
  wine_desktop_registry "$screen"
  cat >>"$WINEPREFIX/user.reg" <<REG

[Software\\\\Fenwright\\\\Tavelin\\\\1] 1700000000
"TotalTime"=dword:00000e10
"TypeInc"=dword:00000001
"UserScreenSize"=dword:$(printf %08x "$size")
REG
  # The wineserver traces the requests of every process when it starts so: into the log.
  if [ "$kind" = requests ] && [ -n "$trace" ]; then
    wineserver -p -d1 >"$work/log" 2>&1
  else
    wineserver -p >/dev/null 2>&1
  fi
  if [ -n "$trace" ]; then
    if [ "$kind" = requests ]; then
      wine explorer /desktop=Tavelin,"$screen" "$exe" >/dev/null 2>&1 &
    else
      WINEDEBUG=-all,trace+bitblt wine explorer /desktop=Tavelin,"$screen" "$exe" >"$work/log" 2>&1 &
    fi
  else
    wine explorer /desktop=Tavelin,"$screen" "$exe" >"$work/log" 2>&1 &
  fi
  local desktop=$!
  local patience=$((trace ? 120 : 60))
  stop() { echo "$label: $1" >&2; wineserver -k >/dev/null 2>&1; wait "$desktop"; return 1; }
  wait_for $patience main_shown || { stop "no main window"; return 1; }
  sleep 1
  xdotool mousemove 470 398 click 1      # "Tavelin": the control bar and the display
  wait_for $patience display_shown || { stop "no display"; return 1; }
  sleep 1
  if [ "$idle" != 1 ]; then
    xdotool mousemove 22 $((dh + 39)) click 1   # Run
    xdotool mousemove $((W - 10)) $((H - 10))
    wait_for $patience running || { stop "the run did not start"; return 1; }
  fi
  sleep 2
  local prog server others=() p name
  server=$(wineserver_of_prefix)
  while read -r p name; do
    [ "$p" = "$server" ] && continue
    case $name in *Tavelin.exe) prog=$p ;; *) others+=("$p") ;; esac
  done < <(prefix_processes)
  [ -n "${prog:-}" ] && [ -n "$server" ] || { stop "Tavelin.exe or its wineserver not found"; return 1; }
  local procs=("$prog" "$server" "$XVFB_PID" "${others[@]}") i
  if [ -n "$trace" ]; then
    local from
    from=$(wc -l <"$work/log")
    sleep "$trace"
    if [ "$kind" = requests ]; then
      # Tavelin's threads are found from the start of the trace: the process that explorer made
      # for it, its first thread, and the threads that its threads made.
      awk -v s="$trace" -v label="$label" -v from="$from" '
        function tid() { return substr($0, 1, index($0, ":") - 1) }
        / new_process\(/ && /imagepath=[^,]*Tavelin\.exe/ { asked[tid()] = 1; next }
        / new_process\(\) = 0/ && asked[tid()] { match($0, /pid=[0-9a-f]+/); pid = substr($0, RSTART + 4, RLENGTH - 4); next }
        / init_first_thread\(\) = 0/ { match($0, /pid=[0-9a-f]+, tid=[0-9a-f]+/); split(substr($0, RSTART, RLENGTH), a, /[=, ]+/)
                                       if (a[2] == pid) mine[a[4]] = 1; next }
        / new_thread\(\) = 0/ && mine[tid()] { match($0, /tid=[0-9a-f]+/); mine[substr($0, RSTART + 4, RLENGTH - 4)] = 1; next }
        NR > from && mine[tid()] && $2 ~ /^[a-z_]+\($/ { n++; k[substr($2, 1, length($2) - 1)]++ }
        END { printf "%s: %.1f requests a second:", label, n / s
              while (length(k) > 0) { m = ""; for (r in k) if (m == "" || k[r] > k[m]) m = r
                                      if (k[m] / s >= 0.5) printf " %s %.1f", m, k[m] / s; delete k[m] }
              printf "\n" }' "$work/log"
    else
    tail -n +$((from + 1)) "$work/log" | awk -v s="$trace" -v label="$label" '
      /x11drv_surface_flush flushing/ {
        r = substr($0, index($0, "bounds (") + 8); r = substr(r, 1, index(r, " ") - 1)
        gsub(/[^0-9]+/, " ", r); split(r, b, " ")
        n++; px += (b[3] - b[1]) * (b[4] - b[2]) }
      END { printf "%s: %.1f rectangles a second sent to the X server, %.0f pixels a second (%.2f MB)\n",
                   label, n / s, px / s, px * 4 / s / 1048576 }'
    fi
  else
    for i in "${!procs[@]}"; do runtimes "${procs[$i]}" >"$work/t0.$i"; done
    local t0 t1
    t0=$(date +%s.%N)
    sleep "$seconds"
    t1=$(date +%s.%N)
    for i in "${!procs[@]}"; do runtimes "${procs[$i]}" >"$work/t1.$i"; done
    local took=() rest=0
    for i in 0 1 2; do took+=("$(ns "$work/t0.$i" "$work/t1.$i")"); done
    for ((i = 3; i < ${#procs[@]}; ++i)); do rest=$((rest + $(ns "$work/t0.$i" "$work/t1.$i"))); done
    local rss hwm
    rss=$(awk '/^VmRSS:/ {print int($2 / 1024)}' "/proc/$prog/status")
    hwm=$(awk '/^VmHWM:/ {print int($2 / 1024)}' "/proc/$prog/status")
    # Tavelin's threads in the order they were made (the user interface's first, then those of
    # the timing engine), in ms a minute.
    local threads
    threads=$(join "$work/t0.0" "$work/t1.0" | sort -n | awk -v t0="$t0" -v t1="$t1" '
      { ms = ($3 - $2) / 1e6 / ((t1 - t0) / 60); if (ms >= 0.05) s = s sprintf("%s%.1f", s == "" ? "" : ",", ms) }
      END { print s == "" ? "-" : s }')
    awk -v l="$label" -v a="${took[0]}" -v b="${took[1]}" -v c="${took[2]}" -v r="$rest" \
        -v t0="$t0" -v t1="$t1" -v rss="$rss" -v hwm="$hwm" -v th="$threads" 'BEGIN {
      m = (t1 - t0) / 60 * 1e9
      printf "%s %.4f %.4f %.4f %.4f %d %d %s\n", l, a / m, b / m, c / m, r / m, rss, hwm, th }'
  fi
  [ -n "$png" ] && mkdir -p "$png" && import -window root "$png/$label.png"
  wineserver -k >/dev/null 2>&1
  wait "$desktop"  # ended by the stop of its prefix: its status says nothing of the run
  return 0
}

echo "size $size on $screen, $seconds s of each run, $rounds round(s), builds:"
for b in "${!exes[@]}"; do echo "  $((b + 1)): ${exes[$b]}"; done
: >"$work/results"
for ((r = 1; r <= rounds; ++r)); do
  order=("${!exes[@]}")
  if ((r % 2 == 0)); then order=(); for ((b = ${#exes[@]} - 1; b >= 0; --b)); do order+=("$b"); done; fi
  for b in "${order[@]}"; do
    line=$(run "${exes[$b]}" "build$((b + 1))-round$r") || continue
    echo "$line" >>"$work/results"
    echo "$line" | awk '{ printf "%s: Tavelin.exe %.3f s/min, wineserver %.3f, X server %.3f, together %.3f s/min (the prefix'"'"'s other processes %.3f); %d MB now, %d MB at most; Tavelin'"'"'s threads, ms/min: %s\n",
                          $1, $2, $3, $4, $2 + $3 + $4, $5, $6, $7, $8 }'
  done
done
# Per build: the range over the rounds. Then, with two builds, the second's figures over the first's.
awk '{ split($1, k, "-"); b = k[1]; n[b]++
       t = $2; all = $2 + $3 + $4
       if (!(b in tmin) || t < tmin[b]) tmin[b] = t; if (t > tmax[b]) tmax[b] = t
       if (!(b in amin) || all < amin[b]) amin[b] = all; if (all > amax[b]) amax[b] = all
       ts[b] += t; as[b] += all; if ($7 > mem[b]) mem[b] = $7 }
     END {
       for (i = 1; ("build" i) in n; ++i) {
         b = "build" i
         printf "%s: Tavelin.exe %.3f-%.3f s/min, with its wineserver and the X server %.3f-%.3f s/min, %d MB at most\n",
                b, tmin[b], tmax[b], amin[b], amax[b], mem[b]
       }
       if (("build1" in n) && ("build2" in n) && ts["build1"] > 0 && as["build1"] > 0)
         printf "build2 / build1 (means): Tavelin.exe %.2f, with its wineserver and the X server %.2f\n",
                (ts["build2"] / n["build2"]) / (ts["build1"] / n["build1"]),
                (as["build2"] / n["build2"]) / (as["build1"] / n["build1"])
     }' "$work/results"
if [ "$flushes" -gt 0 ]; then
  for b in "${!exes[@]}"; do run "${exes[$b]}" "build$((b + 1))" "$flushes"; done
fi
if [ "$requests" -gt 0 ]; then
  for b in "${!exes[@]}"; do run "${exes[$b]}" "build$((b + 1))" "$requests" requests; done
fi
