#!/usr/bin/env bash
# Runs a Windows test program under Wine against a native fault server: starts the server,
# hands its address over in ZEVA_TEST_SERVER, stops it when the program ends.
# Usage: run_with_server.sh <fault server> <wine runner> <test program> [arguments...]
set -u
server=$1; runner=$2; shift 2
fifo=$(mktemp -u)
mkfifo "$fifo"
# The server serves until its input closes: the held-open fifo end is that input.
exec 3<>"$fifo"
rm -f "$fifo"
out=$(mktemp)
"$server" <&3 >"$out" &
pid=$!
for _ in $(seq 100); do
  [ -s "$out" ] && break
  sleep 0.05
done
port=$(head -n1 "$out")
rm -f "$out"
if [ -z "$port" ]; then
  echo "fault server did not start" >&2
  kill "$pid" 2>/dev/null
  exit 1
fi
export ZEVA_TEST_SERVER="http://127.0.0.1:$port"
export WINEDEBUG=${WINEDEBUG:--all}
"$runner" "$@"
status=$?
exec 3>&-
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
exit $status
