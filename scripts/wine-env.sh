# Shared by the Wine scripts: quiet Wine, no Mono or Gecko prompts, a 32-bit prefix.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32

# wine64 PROGRAM...: runs a 64-bit Windows program, as a 64-bit Windows runs its own (msiexec, reg)
# beside a 32-bit Tavelin. Debian's wine64 keeps its loader out of the PATH; `wine` itself starts
# 32-bit programs, in a 64-bit prefix too.
wine64() { "$(type -P wine64 || echo /usr/lib/wine/wine64)" "$@"; }

# start_xvfb SCREEN: starts a private virtual screen and exports DISPLAY; XVFB_PID is its process.
start_xvfb() {
  local screen=$1 n
  for n in $(seq $((100 + RANDOM % 400)) 600); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 "$screen" -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 50); do
      [ -e /tmp/.X11-unix/X$n ] && { export DISPLAY=:$n; return 0; }
      kill -0 $XVFB_PID 2>/dev/null || break
      sleep 0.1
    done
    kill $XVFB_PID 2>/dev/null
  done
  echo "no virtual screen could be started" >&2
  return 1
}

stop_xvfb() { [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null; true; }

# wine_desktop_registry WxH: the windows of $WINEPREFIX live inside a Wine desktop of that size:
# they are drawn with their frames and shown and hidden at once, without waiting on an X window
# manager that the virtual screen does not have. Written before Wine starts, since the desktop is
# chosen when it starts.
wine_desktop_registry() {
  cat >>"$WINEPREFIX/user.reg" <<REG

[Software\\\\Wine\\\\Explorer] 1700000000
"Desktop"="Default"

[Software\\\\Wine\\\\Explorer\\\\Desktops] 1700000000
"Default"="$1"
REG
}

# wine_caption_font: Wine draws a caption's buttons (the close box) with the Marlett symbol font;
# without it they show as letters ("r" for the close box). fonts-wine ships one, in
# /usr/share/wine/fonts, but Debian's Wine looks for its own fonts in /usr/share/fonts, so the
# prefix gets a copy in its Fonts folder, which Wine reads when it starts.
wine_caption_font() {
  local font
  font=$(dpkg -L fonts-wine 2>/dev/null | grep -i '/marlett\.ttf$' | head -n 1)
  [ -n "$font" ] || font=/usr/share/wine/fonts/marlett.ttf
  [ -f "$font" ] || { echo "marlett.ttf not found: install fonts-wine" >&2; return 1; }
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp -f "$font" "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf"
}
