#!/usr/bin/env bash
# run.sh [SECONDS]: builds the bencode fuzz target with clang (libFuzzer, ASan, UBSan) and runs it.
# Not part of make test. Corpus and crashes stay under $QV_FUZZ_DIR (default /tmp/qv-fuzz-bencode).
set -eu
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
work=${QV_FUZZ_DIR:-/tmp/qv-fuzz-bencode}
mkdir -p "$work/corpus" "$work/crashes"
src=$root/download/qvhttp
clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -DBOOST_ALL_NO_LIB -I"$root/download" \
  "$here/bencode_fuzz.cpp" "$src/bencode.cpp" "$src/entry.cpp" "$src/meta.cpp" "$src/error_codes.cpp" \
  -o "$work/bencode_fuzz"
# Seeds: a meta file and the shapes the decoder knows.
printf 'd8:bitfield1:\x80e9:file_sizei1000e9:final_url9:http://h/9:piece_numi1e10:piece_sizei16384ee' >"$work/corpus/meta"
printf 'l4:spami-42ed1:ai1eee' >"$work/corpus/mixed"
"$work/bencode_fuzz" -max_total_time="$seconds" -max_len=4096 -artifact_prefix="$work/crashes/" \
  "$work/corpus" 2>&1 | tail -n 15
