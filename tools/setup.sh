#!/usr/bin/env bash
# Makes a fresh Debian 12 machine (run as root) ready to build, test and demo the project.
# Idempotent: when every package is present it only checks and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64
  libz-mingw-w64-dev
  wine wine64 xvfb xauth x11-utils xdotool imagemagick
  libboost-dev libssl-dev libspdlog-dev libfmt-dev rapidjson-dev libstb-dev zlib1g-dev
  googletest libgtest-dev clang libclang-rt-14-dev
  nginx dante-server tinyproxy aria2 curl python3 python3-libtorrent openssl
  iproute2 procps psmisc
  time
  locales
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The packaged services must not hold the ports the tests use.
for svc in nginx danted tinyproxy; do
  if command -v systemctl >/dev/null && systemctl is-active --quiet "$svc" 2>/dev/null; then
    systemctl stop "$svc" || true
    systemctl disable "$svc" 2>/dev/null || true
  fi
  if [ -f "/run/$svc.pid" ] && kill -0 "$(cat "/run/$svc.pid")" 2>/dev/null; then
    kill "$(cat "/run/$svc.pid")" || true
  fi
done
