#!/usr/bin/env bash
# make_locales.sh DIR LOCALE...: compiles glibc locales (ar_SA.UTF-8, ...) into DIR for LOCPATH, so wine
# reports those UI languages without the machine having them installed.
set -eu
dir=$1
shift
mkdir -p "$dir"
for locale in "$@"; do
  # localedef answers 1 for mere warnings; the compiled LC_CTYPE is what counts.
  localedef -c -i "${locale%%.*}" -f "${locale#*.}" "$dir/$locale" >/dev/null 2>&1 || true
  [ -f "$dir/$locale/LC_CTYPE" ] || { echo "make_locales: could not compile $locale" >&2; exit 1; }
done
touch "$dir/stamp"
