#!/usr/bin/env bash
# session.sh start|stop SESSION_DIR
# The end-to-end scenarios' wine session: the usual test session plus drive Q:, a 2 MiB tmpfs for the
# low-space scenario. Wine learns its drives when the session's wineserver starts, so the session is started
# again once Q: is mapped. Without the right to mount, Q: is left out and that scenario skips.
set -eu
action=$1
session=$2
small=$session/small-drive
here=$(cd "$(dirname "$0")" && pwd)

case $action in
  start)
    "$here/../../tools/test-session.sh" start "$session"
    mkdir -p "$small"
    if mountpoint -q "$small" || mount -t tmpfs -o size=2m tmpfs "$small" 2>/dev/null; then
      mkdir -p "$small/Apps"
      ln -sfn "$small" "$session/wineprefix/dosdevices/q:"
      "$here/../../tools/test-session.sh" start "$session"
    fi
    ;;
  stop)
    "$here/../../tools/test-session.sh" stop "$session"
    rm -f "$session/wineprefix/dosdevices/q:"
    if mountpoint -q "$small"; then umount "$small"; fi
    ;;
  *) echo "usage: $0 start|stop SESSION_DIR" >&2; exit 2 ;;
esac
