#!/usr/bin/env bash
# Runs a Windows program under the private wine prefix and X display of a test session
# (see test-session.sh). QV_SESSION_DIR names the session; the program's exit code is returned.
set -eu
session=${QV_SESSION_DIR:?QV_SESSION_DIR must name a test session folder}
export WINEPREFIX=$session/wineprefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ -z "${DISPLAY:-}" ] && [ -s "$session/display" ]; then
  export DISPLAY=:$(cat "$session/display")
fi
exec wine "$@"
