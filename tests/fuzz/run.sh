#!/usr/bin/env bash
# run.sh TARGET SECONDS [BUILD_DIR]: builds one libFuzzer target (url, cookie, response_head, skin_xml,
# image_descriptor) with clang, ASan and UBSan, and runs it for SECONDS. Its corpus grows under BUILD_DIR
# (default build/fuzz); a crash leaves its input there and ends with a non-zero exit code.
set -euo pipefail
target=${1:?usage: run.sh url|cookie|response_head|skin_xml|image_descriptor SECONDS [BUILD_DIR]}
seconds=${2:?usage: run.sh TARGET SECONDS [BUILD_DIR]}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${3:-$root/build/fuzz}
engine=$root/download/qvhttp
skin=$root/SkinUI
case $target in
  url) sources=("$engine/url.cpp") ;;
  cookie) sources=("$engine/cookie.cpp") ;;
  response_head) sources=("$engine/response_head.cpp" "$engine/url.cpp" "$engine/http_options.cpp" "$engine/error_codes.cpp") ;;
  skin_xml) sources=("$skin/SkinXml.cpp") ;;
  image_descriptor) sources=("$skin/ImageDescriptorParse.cpp" "$skin/SkinValue.cpp") ;;
  *) echo "run.sh: unknown target $target (url, cookie, response_head, skin_xml, image_descriptor)" >&2; exit 2 ;;
esac
mkdir -p "$build/corpus-$target" "$build/artifacts-$target"
program=$build/fuzz_$target
clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -DBOOST_ALL_NO_LIB -I"$root/download" -I"$skin" "$here/fuzz_$target.cpp" "${sources[@]}" -o "$program"
cd "$build"
"$program" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 \
  -artifact_prefix="$build/artifacts-$target/" "$build/corpus-$target" "$here/seeds/$target"
