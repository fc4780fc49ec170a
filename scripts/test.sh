#!/usr/bin/env bash
# Builds what is missing and runs every test: the native build, the native
# build again under AddressSanitizer and UndefinedBehaviorSanitizer, and the
# Windows build under Wine. Exits non-zero when any test fails.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh || exit 1

jobs=$(nproc)
status=0

suite() {
  local name=$1 dir=$2
  shift 2
  echo "=== $name ($dir)"
  if { [ -f "$dir/CMakeCache.txt" ] || cmake -S . -B "$dir" "$@"; } &&
     cmake --build "$dir" -j"$jobs" &&
     ctest --test-dir "$dir" --output-on-failure -j"$jobs"; then
    echo "=== $name: passed"
  else
    echo "=== $name: FAILED"
    status=1
  fi
}

suite "native" build/native
suite "native with sanitizers" build/native-san -DVELKOR_SANITIZE=ON
suite "windows under wine" build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake

exit $status
