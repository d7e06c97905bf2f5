#!/usr/bin/env bash
# wine-test.sh TEMPLATE SCREEN PROGRAM [ARGS...]: runs a Windows test program under Wine on a
# fresh copy of the booted prefix and a private virtual screen; exits with the program's code.
# SCREEN is WxHxD, or WxH+WxH... for several monitors side by side, either followed by @DPI for
# a screen scaled to DPI pixels per inch (LogPixels, which Wine hands every program).
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
template=$1 screen=$2 program=$3
shift 3
dpi=
if [[ $screen == *@* ]]; then
  dpi=${screen#*@}
  screen=${screen%@*}
fi
work=$(mktemp -d /tmp/tavelin-test.XXXXXX)
cp -a "$template" "$work/prefix"
export WINEPREFIX=$work/prefix
XEPHYR_PID=
cleanup() {
  wineserver -k >/dev/null 2>&1
  [ -n "$XEPHYR_PID" ] && kill "$XEPHYR_PID" 2>/dev/null && wait "$XEPHYR_PID" 2>/dev/null
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT

# start_monitors WxH+WxH...: one Xephyr screen per monitor, side by side as Xinerama heads, on a
# virtual screen that holds them all; exports DISPLAY.
start_monitors() {
  local heads=() w=0 h=0 m n
  IFS=+ read -ra heads <<<"$1"
  for m in "${heads[@]}"; do
    m=${m%x*x*}
    w=$((w + ${m%x*}))
    [ "${m#*x}" -gt $h ] && h=${m#*x}
  done
  start_xvfb "${w}x${h}x24" || return 1
  local args=()
  for m in "${heads[@]}"; do args+=(-screen "${m%x*x*}"); done
  for n in $(seq $((600 + RANDOM % 300)) 999); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xephyr :$n "${args[@]}" +xinerama -nolisten tcp >/dev/null 2>&1 &
    XEPHYR_PID=$!
    for _ in $(seq 50); do
      [ -e /tmp/.X11-unix/X$n ] && { export DISPLAY=:$n; return 0; }
      kill -0 $XEPHYR_PID 2>/dev/null || break
      sleep 0.1
    done
    kill $XEPHYR_PID 2>/dev/null
  done
  echo "no monitors could be started" >&2
  return 1
}

if [[ $screen == *+* ]]; then
  # Several monitors: a Wine desktop would show a single one, so the windows are X windows of
  # their own; Wine then lists the Xinerama heads as monitors, when it does not ask XRandR.
  start_monitors "$screen" || exit 1
  cat >>"$WINEPREFIX/user.reg" <<REG

[Software\\\\Wine\\\\X11 Driver] 1700000000
"UseXRandR"="N"
REG
else
  start_xvfb "$screen" || exit 1
  wine_desktop_registry "${screen%x*}"
fi
if [ -n "$dpi" ]; then
  cat >>"$WINEPREFIX/user.reg" <<REG

[Control Panel\\Desktop] 1700000000
"LogPixels"=dword:$(printf %08x "$dpi")
REG
  # Wine reads the machine's value (the current hardware profile's fonts) before the user's.
  sed -i "s/^\"LogPixels\"=dword:.*/\"LogPixels\"=dword:$(printf %08x "$dpi")/" "$WINEPREFIX/system.reg"
fi
wineserver -p >/dev/null 2>&1
wine "$program" "$@" >"$work/out" 2>"$work/err"
rc=$?
cat "$work/out"
[ $rc -ne 0 ] && grep -v '^$' "$work/err" | tail -n 20 >&2
exit $rc
