#!/usr/bin/env bash
# A benchmark, not a test: the memory list with 10,000 memories. The load, the
# save and the sorts (random order, already sorted, reversed; by name, by mode
# with only eight different keys, by frequency) and the window painted with
# the 10,000 rows (at the top and in the middle), each the median of several
# runs and against a floor measured in the same run: reading the memory file's
# bytes through the same file store. Twice: natively, the window painted on the
# headless host (the program's own painting), and under Wine in a Wine session
# of its own, with the system's files and the window painted through GDI.
# Release builds in build/bench-native and build/bench-windows.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh || exit 1

native=build/bench-native
windows=build/bench-windows
log=$(mktemp)
quiet() { "$@" >"$log" 2>&1 || { cat "$log" >&2; rm -f "$log"; exit 1; }; }
[ -f "$native/CMakeCache.txt" ] || quiet cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=Release
quiet cmake --build "$native" -j2 --target memories_bench
[ -f "$windows/CMakeCache.txt" ] ||
  quiet cmake -S . -B "$windows" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release
quiet cmake --build "$windows" -j2 --target memories_bench_win32 wineprefix
rm -f "$log"

"$native/bin/memories_bench" || exit 1
echo
session="$windows/wine-session"
"$session" start >/dev/null || exit 1
trap '"$session" stop >/dev/null' EXIT
"$session" run "$windows/bin/memories_bench_win32.exe" </dev/null | tr -d '\r'
