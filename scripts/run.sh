#!/usr/bin/env bash
# Builds what is missing and runs velkor.exe under Wine with the stand-in rig
# server: on the current display, or, without one, on a virtual display for a
# few seconds, saving a screenshot under build/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

dir=build/windows
[ -f "$dir/CMakeCache.txt" ] || cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
cmake --build "$dir" -j"$(nproc)" --target velkor rigsim wine_ready

session="$dir/wine-session"
bin="$dir/bin"

if [ -n "${DISPLAY:-}" ]; then
  export WINEPREFIX="$PWD/$dir/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wine "$bin/rigsim.exe" &
  sleep 2 # let the stand-in register itself, so that the program attaches to it
  wine "$bin/velkor.exe" || true
  wineserver -k
else
  "$session" start >/dev/null
  trap '"$session" stop' EXIT
  "$session" run "$bin/rigsim.exe" &
  sleep 2
  # The picture shows the program switched on, as it starts when it was
  # closed switched on.
  "$session" run reg add 'HKCU\Software\Velkor\WindowPos' /v On_Offlbl_Caption /d ON /f >/dev/null 2>&1
  "$session" run "$bin/velkor.exe" &
  sleep 5
  shot="$PWD/build/screenshot.png"
  DISPLAY="$(cat "$dir/wine-session.d/display")" import -window root "$shot"
  echo "Screenshot: $shot"
fi
