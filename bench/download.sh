#!/usr/bin/env bash
# download.sh [QVGET]: qvget against aria2c and curl on a loopback nginx with sendfile, measured in the
# same run: median of 3 runs, MiB/s and peak RSS. Cases: 512 MiB over HTTP and HTTPS with 16
# connections, and 64 MiB from a server that throttles each connection to 2 MiB/s.
# Needs the native build (out/native/qvget, or the path given), nginx, aria2c, curl, /usr/bin/time.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
qvget=${1:-$root/out/native/qvget}
runs=${QV_BENCH_RUNS:-3}
work=${QV_BENCH_DIR:-/dev/shm/qv-bench}
[ -x "$qvget" ] || { echo "no qvget at $qvget (build the native flavour first)" >&2; exit 1; }

mkdir -p "$work/www" "$work/out" "$work/nginx"
servers=$root/tools/servers/qvservers.py
trap '"$servers" nginx-stop --dir "$work/nginx" >/dev/null 2>&1 || true; rm -rf "$work/out"' EXIT

for spec in big:512 small:64; do
  name=${spec%%:*} mib=${spec##*:}
  if [ ! -f "$work/www/$name.bin" ] || [ "$(stat -c %s "$work/www/$name.bin")" != $((mib * 1048576)) ]; then
    head -c $((mib * 1048576)) /dev/urandom >"$work/www/$name.bin"
  fi
done
if [ ! -f "$work/cert.pem" ]; then
  openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 \
    -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1
fi
cat >"$work/server.conf" <<CONF
server {
  listen 127.0.0.1:@PORT_HTTP@;
  listen 127.0.0.1:@PORT_HTTPS@ ssl;
  ssl_certificate $work/cert.pem; ssl_certificate_key $work/key.pem;
  access_log off;
  sendfile on; tcp_nopush on;
  root $work/www;
  location /throttled/ { alias $work/www/; limit_rate 2m; }
}
CONF
eval "$("$servers" nginx-start --dir "$work/nginx" --conf "$work/server.conf")"

# run_tool TOOL URL: one download into $work/out; prints "seconds peak-rss-KiB".
run_tool() {
  local tool=$1 url=$2 out=$work/out/file
  rm -f "$out" "$out.tmp" "$out.cfg" "$out.aria2"
  local cmd
  case $tool in
    qvget) cmd=("$qvget" -n 16 "$url" "$out") ;;
    aria2c) cmd=(aria2c -q -x16 -s16 -k1M --check-certificate=false --allow-overwrite=true
                 --auto-file-renaming=false -d "$work/out" -o file "$url") ;;
    curl) cmd=(curl -sSfk -o "$out" "$url") ;;
  esac
  /usr/bin/time -o "$work/time" -f '%e %M' "${cmd[@]}" >/dev/null 2>&1
  cmp -s "$out" "$work/www/$(basename "$url")" || { echo "$tool: wrong file from $url" >&2; exit 1; }
  cat "$work/time"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

printf '%-34s %-7s %9s %9s %10s\n' case tool "median s" "MiB/s" "peak RSS"
for case in "512 MiB HTTP, 16 connections|http://127.0.0.1:$PORT_HTTP/big.bin|512" \
            "512 MiB HTTPS, 16 connections|https://127.0.0.1:$PORT_HTTPS/big.bin|512" \
            "64 MiB, 2 MiB/s per connection|http://127.0.0.1:$PORT_HTTP/throttled/small.bin|64"; do
  IFS='|' read -r label url mib <<<"$case"
  for tool in qvget aria2c curl; do
    times=() rss=0
    for _ in $(seq "$runs"); do
      read -r t m < <(run_tool "$tool" "$url")
      times+=("$t")
      ((m > rss)) && rss=$m
    done
    t=$(printf '%s\n' "${times[@]}" | median)
    awk -v l="$label" -v tool="$tool" -v t="$t" -v mib="$mib" -v rss="$rss" \
      'BEGIN { printf "%-34s %-7s %9.2f %9.1f %7.1f MiB\n", l, tool, t, mib / t, rss / 1024 }'
  done
done
