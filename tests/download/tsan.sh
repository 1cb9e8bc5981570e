#!/usr/bin/env bash
# tsan.sh [BUILD_DIR]: builds the engine and download-job tests with ThreadSanitizer and runs them
# (stop and cancel from other threads included). Not part of make test: a sanitizer build of its own.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build/tsan}
cmake --preset native -B "$build" -DQV_OUT_DIR="$build/out" -DCMAKE_CXX_FLAGS=-fsanitize=thread \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
cmake --build "$build" --target multi_download_test download_job_test -j2
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1}
for test in multi_download_test download_job_test; do
  python3 "$root/tools/servers/run-test.py" --work "$build/tsan-servers" "$here/servers.py" -- \
    "$build/tests/download/$test"
done
