#!/usr/bin/env bash
# test-session.sh start|stop SESSION_DIR
# One session per test run: a private wine prefix, a persistent wineserver and an Xvfb display
# (unless DISPLAY is already set). Stop ends only the processes that start began.
set -eu
action=$1
session=$2
export WINEPREFIX=$session/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES=mscoree,mshtml=

start() {
  mkdir -p "$session"
  stop_owned
  if [ -z "${DISPLAY:-}" ]; then
    rm -f "$session/display"
    # -displayfd picks a free display number and writes it once the server accepts connections.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$session/display" >"$session/xvfb.log" 2>&1 </dev/null &
    echo $! >"$session/xvfb.pid"
    for _ in $(seq 100); do [ -s "$session/display" ] && break; sleep 0.1; done
    [ -s "$session/display" ] || { echo "Xvfb did not start" >&2; cat "$session/xvfb.log" >&2; exit 1; }
    export DISPLAY=:$(cat "$session/display")
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "creating wine prefix $WINEPREFIX"
    # Without 32-bit wine, wineboot reports the missing syswow64 programs; the 64-bit prefix is still made.
    wineboot -i >"$session/wineboot.log" 2>&1 || true
    wineserver -w >/dev/null 2>&1
    [ -f "$WINEPREFIX/system.reg" ] || { echo "wineboot made no prefix" >&2; cat "$session/wineboot.log" >&2; exit 1; }
  fi
  wineserver -p >/dev/null 2>&1 </dev/null
  # Warm the prefix so the first test does not pay for wine's start-up.
  wine cmd /c exit >/dev/null 2>&1 || true
  echo "session ready: prefix $WINEPREFIX, display ${DISPLAY}"
}

stop_owned() {
  if [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; fi
  if [ -f "$session/xvfb.pid" ]; then
    kill "$(cat "$session/xvfb.pid")" 2>/dev/null || true
    rm -f "$session/xvfb.pid" "$session/display"
  fi
}

case $action in
  start) start ;;
  stop) stop_owned ;;
  *) echo "usage: $0 start|stop SESSION_DIR" >&2; exit 2 ;;
esac
