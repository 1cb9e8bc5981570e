#!/usr/bin/env bash
# smoke_test.sh WINDOW_EXE SCREENSHOT_PNG
# Shows the smoke window under wine, captures the screen and checks that the window's pixels are there.
set -eu
exe=$1
shot=$2
here=$(cd "$(dirname "$0")" && pwd)
export DISPLAY=:$(cat "${QV_SESSION_DIR:?}/display")
mkdir -p "$(dirname "$shot")"

"$here/../../tools/wine-run.sh" "$exe" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

window=""
for _ in $(seq 200); do
  window=$(xdotool search --name '^QV GUI smoke$' 2>/dev/null | head -n1) && [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "the smoke window never appeared" >&2; exit 1; }
sleep 1 # let the first WM_PAINT reach the X server
import -window "$window" "$shot"

size=$(identify -format '%wx%h' "$shot")
[ "$size" = "650x360" ] || { echo "window size is $size, expected 650x360" >&2; exit 1; }
centre=$(convert "$shot" -format '%[hex:p{325,180}]' info:)
corner=$(convert "$shot" -format '%[hex:p{10,300}]' info:)
[ "${centre:0:6}" = "05D4BE" ] || { echo "centre pixel is $centre, expected teal 05D4BE" >&2; exit 1; }
[ "${corner:0:6}" = "FFFFFF" ] || { echo "corner pixel is $corner, expected white" >&2; exit 1; }
echo "screenshot: $shot"
