#!/usr/bin/env bash
# The real GTK client on a virtual display: its window, the drag strip, the single instance,
# a screenshot that shows skin and page, and the tray on desktops with an XEmbed tray, with a
# StatusNotifierItem tray and with none. Run under xvfb-run by CTest; arguments: the client
# program and stand-ins for the two kinds of tray.
set -u
program=$1
tray_program=$2
sni_program=$3
work=$(mktemp -d)
first="" tray="" sni="" bus=""
trap 'kill $first $tray $sni $bus 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
# A session bus and runtime folder of the test's own: no desktop's tray answers the client.
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime"
{ read -r DBUS_SESSION_BUS_ADDRESS && read -r bus; } < <(dbus-daemon --session --fork \
  --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS
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

# Sets `code` to the exit status of child $1 if it ends within five seconds, else empty (in
# this shell: a subshell cannot wait for it).
await_exit() {
  code=""
  for _ in $(seq 1 50); do
    if ! kill -0 "$1" 2>/dev/null; then wait "$1"; code=$?; return; fi
    sleep 0.1
  done
}

# A desktop with an XEmbed tray: the close button may hide the window there.
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

# A StatusNotifierItem tray and no XEmbed one (GNOME and KDE today): the item, its menu as
# the tray reads it over D-Bus, and what choosing its items does.
kill "$tray"
wait "$tray" 2>/dev/null
"$sni_program" >"$work/sni.log" 2>&1 &
sni=$!
eventually grep -q '^watcher$' "$work/sni.log"
"$work/zeva" >>"$work/client.log" 2>&1 &
first=$!
check "the client registers a StatusNotifierItem" eventually grep -q '^item ' "$work/sni.log"
service="" path=""
read -r _ service path < <(grep -m 1 '^item ' "$work/sni.log")
call() {  # call object method arguments...
  gdbus call --session --dest "$service" --object-path "$1" --method "$2" -- "${@:3}" 2>/dev/null
}
property() { call "$path" org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem "$1"; }
value() { property "$1" | grep -oP "<'\K[^']*"; }
menu=$(property Menu | grep -oP "objectpath '\K[^']+")
layout() { call "$menu" com.canonical.dbusmenu.GetLayout 0 -1 '[]'; }
offers() { layout | grep -q "'label': <'$1'>"; }
choose() {  # clicks the item with this text
  local id
  id=$(layout | grep -oP "\(\K[0-9]+(?=, \{[^}]*'label': <'$1'>)")
  call "$menu" com.canonical.dbusmenu.Event "$id" "'clicked'" '<int32 0>' 0 >/dev/null
}
check "the item's title is the tray tip" test "$(value Title)" = "KIVO泽瓦助手"
icon="$(value IconThemePath)/$(value IconName).png"
check "the item's icon is a picture in the client's runtime folder" \
  test "$(head -c 4 "$icon" | tail -c 3)" = PNG -a "${icon#"$XDG_RUNTIME_DIR"/}" != "$icon"
for text in 隐藏窗口 关于我们 退出; do
  check "the item's menu offers $text" eventually offers "$text"
done
eventually shown
sleep 2
xdotool mousemove 781 14 sleep 0.3 click 1
check "exit=1 with a StatusNotifierItem tray: the close button hides the window" eventually hidden
check "the menu of the hidden window offers 显示窗口" eventually offers 显示窗口
choose 显示窗口
check "choosing 显示窗口 shows the window" eventually shown
check "then the menu offers 隐藏窗口" eventually offers 隐藏窗口
call "$path" org.kde.StatusNotifierItem.SecondaryActivate 0 0 >/dev/null
check "the tray's own activation of the item hides the window" eventually hidden
choose 退出
await_exit "$first"
check "choosing 退出 ends the client with 0" test "$code" = "0"
check "the icon goes with it" test ! -e "$icon"

# No tray on the desktop (a watcher that no tray has registered with draws nothing): hiding
# would lose the window, so it stays reachable.
kill "$sni"
wait "$sni" 2>/dev/null
"$sni_program" --without-host >"$work/sni.log" 2>&1 &
sni=$!
eventually grep -q '^watcher$' "$work/sni.log"
"$work/zeva" >>"$work/client.log" 2>&1 &
first=$!
eventually shown
sleep 2
xdotool mousemove 781 14 sleep 0.3 click 1
sleep 1
check "exit=1 without a tray: the window is not hidden" shown
check "without a tray no item registers" test -z "$(grep '^item ' "$work/sni.log")"
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
await_exit "$first"
check "exit=2: the close button ends the client with 0" test "$code" = "0"

[ $failures -eq 0 ] || { echo "--- client log"; cat "$work/client.log"; }
exit $failures
