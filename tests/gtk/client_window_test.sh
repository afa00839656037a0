#!/usr/bin/env bash
# The real GTK client on a virtual display: its window, the drag strip, the single instance
# and a screenshot that shows skin and page. Run under xvfb-run by CTest; argument: the
# client program and a stand-in tray manager.
set -u
program=$1
tray_program=$2
work=$(mktemp -d)
trap 'kill $first $tray 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
failures=0
check() {  # check "what" command...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# Polls a condition for up to five seconds: the client answers events in its own time.
eventually() {
  for _ in $(seq 1 50); do
    "$@" && return 0
    sleep 0.1
  done
  "$@"
}

# A desktop with a tray: the close button may hide the window there.
"$tray_program" >"$work/tray.log" 2>&1 &
tray=$!
eventually grep -q tray "$work/tray.log"

cp "$program" "$work/zeva"
"$work/zeva" >"$work/client.log" 2>&1 &
first=$!

window=""
for _ in $(seq 1 100); do
  window=$(xdotool search --name '^KIVO穿越火线泽瓦助手$' 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  sleep 0.1
done
check "the window appears with its title" test -n "$window"
[ -n "$window" ] || { cat "$work/client.log"; exit 1; }
sleep 2

geometry() { xdotool getwindowgeometry --shell "$window"; }
eval "$(geometry)"
check "at the top-left corner" test "$X,$Y" = "0,0"
check "800 x 600" test "${WIDTH}x${HEIGHT}" = "800x600"
check "config.ini records the version" grep -q '^version=V3.0.6' "$work/config.ini"

# A screenshot with the skin's title band and the page area (not a blank window).
import -window root -crop 800x600+0+0 "$work/shot.png"
band=$(convert "$work/shot.png" -crop 800x30+0+0 -format '%[fx:standard_deviation]' info:)
check "the skin is drawn" awk -v d="$band" 'BEGIN { exit !(d > 0.02) }'

# The top 30 pixels drag the window; a press below them does not.
xdotool mousemove 400 15 mousedown 1 mousemove 420 25 mousemove 450 55 mouseup 1
moved() { eval "$(geometry)"; test "$X,$Y" = "50,40"; }
check "dragging the strip moves the window" eventually moved
xdotool windowmove "$window" 0 0
sleep 0.3
xdotool mousemove 300 31 mousedown 1 mousemove 350 81 mouseup 1
sleep 0.5
eval "$(geometry)"
check "a press at y 31 does not drag" test "$X,$Y" = "0,0"

# A second start finds the first and ends at once with code 0.
timeout 20 "$work/zeva" >"$work/second.log" 2>&1
check "a second instance exits with 0" test $? -eq 0
check "one window only" test "$(xdotool search --name '^KIVO穿越火线泽瓦助手$' | wc -l)" -eq 1
check "the first instance still runs" kill -0 "$first"

# With "exit" set to 1 the close button hides the window; with 2 it ends the client (code 0).
sed -i 's/^\[system\]\r$/&\nexit=1\r/' "$work/config.ini"
xdotool mousemove 781 14 sleep 0.3 click 1
hidden() { test -z "$(xdotool search --onlyvisible --name '^KIVO穿越火线泽瓦助手$' 2>/dev/null)"; }
shown() { ! hidden; }
check "exit=1: the close button hides the window" eventually hidden
# Started again, the client shows the hidden window instead of ending silently.
timeout 20 "$work/zeva" >>"$work/second.log" 2>&1
check "a second start shows the hidden window" eventually shown
kill "$first"
wait "$first" 2>/dev/null

# No tray on the desktop: hiding would lose the window, so it stays reachable.
kill "$tray"
wait "$tray" 2>/dev/null
"$work/zeva" >>"$work/client.log" 2>&1 &
first=$!
eventually shown
sleep 2
xdotool mousemove 781 14 sleep 0.3 click 1
sleep 1
check "exit=1 without a tray: the window is not hidden" shown
kill "$first"
wait "$first" 2>/dev/null
sed -i 's/^exit=1/exit=2/' "$work/config.ini"
"$work/zeva" >>"$work/client.log" 2>&1 &
first=$!
for _ in $(seq 1 100); do
  xdotool search --onlyvisible --name '^KIVO穿越火线泽瓦助手$' >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 2
xdotool mousemove 781 14 sleep 0.3 click 1
code=""
for _ in $(seq 1 50); do
  if ! kill -0 "$first" 2>/dev/null; then wait "$first"; code=$?; break; fi
  sleep 0.1
done
check "exit=2: the close button ends the client with 0" test "$code" = "0"

[ $failures -eq 0 ] || { echo "--- client log"; cat "$work/client.log"; }
exit $failures
