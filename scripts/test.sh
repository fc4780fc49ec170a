#!/usr/bin/env bash
# Builds what is missing and runs every test: the native build under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows build under
# Wine. Exits non-zero when any test fails. The native tests run once, in the
# sanitizer build: a plain native build would run the same tests with less
# checking, and its compile is the run's longest wait on two cores.
#
# The Windows tests spend most of their time waiting for Wine, so they run
# while the native build compiles; that compiles at the lowest priority
# meanwhile, so that the Windows tests' timing stays as when they run alone.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh || exit 1

jobs=$(nproc)
status=0

# Seconds since the script started, for the phases' lines.
at() { echo "[$SECONDS s]"; }

# build <name> <dir> [configure options...]
build() {
  local name=$1 dir=$2
  shift 2
  echo "=== $name ($dir) $(at)"
  # Ninja keeps both cores busy across targets, links included.
  { [ -f "$dir/CMakeCache.txt" ] || cmake -S . -B "$dir" -G Ninja "$@"; } && $low cmake --build "$dir" -j"$jobs"
}

# run_tests <name> <dir>
run_tests() {
  if $low ctest --test-dir "$2" --output-on-failure -j"$jobs"; then
    echo "=== $1: passed $(at)"
  else
    echo "=== $1: FAILED $(at)"
    return 1
  fi
}

low=""
windows_log=build/windows-tests.log
windows_tests=""
if build "windows under wine" build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake; then
  echo "=== windows under wine: built $(at); its tests run beside the native build, their output follows at the end"
  run_tests "windows under wine" build/windows >"$windows_log" 2>&1 &
  windows_tests=$!
  low="nice -n 19"
else
  echo "=== windows under wine: FAILED"
  status=1
fi

if build "native with sanitizers" build/native-san -DVELKOR_SANITIZE=ON; then
  echo "=== native with sanitizers: built $(at)"
  run_tests "native with sanitizers" build/native-san || status=1
else
  echo "=== native with sanitizers: FAILED"
  status=1
fi

if [ -n "$windows_tests" ]; then
  wait "$windows_tests" || status=1
  echo "=== windows under wine (build/windows): tests"
  cat "$windows_log"
fi

exit $status
