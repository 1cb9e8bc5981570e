#!/usr/bin/env bash
# log_layout_test.sh WRITER [wine]
# Runs the writer and compares the log it leaves, byte for byte (od -c), with the expected layout;
# time stamps are checked for their form and then replaced by a marker.
set -eu
writer=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${QV_BINARY_DIR:-/tmp}/log_layout.XXXXXX")
trap 'rm -rf "$work"' EXIT

if [ "${2:-}" = wine ]; then
  "$here/../../tools/wine-run.sh" "$writer" "Z:$work"
else
  "$writer" "$work"
fi

stamp='[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2},[0-9]{3}'
LC_ALL=C sed -E "s/$stamp/STAMP/g" "$work/layout.log" >"$work/actual"
printf 'STAMP start 1\r\n STAMP GBK\243\2725\303\353\r\n\r\n STAMP wide text\r\n STAMP debug\r\n ' >"$work/expected"

od -c "$work/actual" >"$work/actual.od"
od -c "$work/expected" >"$work/expected.od"
if ! diff "$work/expected.od" "$work/actual.od"; then
  echo "layout differs (< expected, > actual); the raw log:" >&2
  od -c "$work/layout.log" >&2
  exit 1
fi
od -c "$work/layout.log"
echo "layout matches"
