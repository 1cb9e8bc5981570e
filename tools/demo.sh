#!/usr/bin/env bash
# make demo: build the demo installer, start the local vendor site, run the installer under wine (on the
# user's display when DISPLAY is set, else under Xvfb driven by clicks), keep screenshots and the log under
# out/demo/, stop the site. Exit 0 only when the test product got installed and started.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/win64
out=$root/out/demo
cmake --preset win64 >/dev/null
cmake --build "$build" --target demo_setup test_product_setup ui_driver
rm -rf "$out" && mkdir -p "$out"
session=$out/session
export QV_SESSION_DIR=$session
interactive=${DISPLAY:+yes}
"$root/tools/test-session.sh" start "$session" >/dev/null
export DISPLAY=${DISPLAY:-:$(cat "$session/display")}
prefix=$session/wineprefix/drive_c
site_pid=""
cleanup() {
  [ -n "$site_pid" ] && kill "$site_pid" 2>/dev/null && wait "$site_pid" 2>/dev/null || true
  "$root/tools/test-session.sh" stop "$session" >/dev/null 2>&1 || true
}
trap cleanup EXIT
python3 "$root/tools/vendor_site/vendor_site.py" serve --dir "$out/site" --product "$root/res/products/demo" \
  --installer "$root/out/win64/test_product_setup.exe" >"$out/site.log" 2>&1 &
site_pid=$!
for _ in $(seq 150); do [ -f "$out/site/ready" ] && break; sleep 0.1; done
[ -f "$out/site/ready" ] || { echo "demo: the vendor site did not start" >&2; cat "$out/site.log" >&2; exit 1; }

title="Quorvane Setup"
driver() { "$root/tools/wine-run.sh" "$build/tools/ui_driver/ui_driver.exe" "$@"; }
shot() { import -window "$(xdotool search --name "^$title\$" | head -n1)" "$out/$1.png" && echo "screenshot: $out/$1.png"; }
"$root/tools/wine-run.sh" "$root/out/win64/demo_setup.exe" &
driver wait "$title" 60000 >/dev/null
sleep 1; shot 1-home
if [ -n "$interactive" ]; then
  echo "demo: the installer is on your display; click Install, then Start Now"
else
  driver click "$title" btn_install
  sleep 6; shot 2-banner
  for _ in $(seq 120); do [ -f "$prefix/Program Files/Quorvane/Quorvane/Quorvane.exe" ] && break; sleep 0.5; done
  sleep 3; shot 3-installing || true
  for _ in $(seq 120); do driver wait "$title" 500 >/dev/null && [ ! -f "$prefix/Program Files/quorvane_down/demo_setup/temp.progress" ] && break; sleep 0.5; done
  sleep 2; shot 4-finish
  driver click "$title" btn_start
fi
product="$prefix/Program Files/Quorvane/Quorvane"
for _ in $(seq 1200); do [ -f "$product/started.txt" ] && break; sleep 0.5; done
cp "$prefix/Program Files/quorvane_down/demo_setup/Log/quorvane_down.log" "$out/" 2>/dev/null && echo "log: $out/quorvane_down.log"
[ -f "$product/started.txt" ] || { echo "demo: the product was not started" >&2; exit 1; }
echo "demo: the product was installed and started ($(head -n1 "$product/started.txt"))"
