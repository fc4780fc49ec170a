#!/usr/bin/env bash
# Builds what is missing and runs velkor.exe under Wine with a rig server: on
# the current display, or, without one, on a virtual display for a few
# seconds, saving a screenshot under build/.
#   scripts/run.sh                       the stand-in rig server (rigsim.exe)
#   scripts/run.sh --rigctld [HOST:PORT] hamlib's rigctld at HOST:PORT; without
#                                        it, rigctld -m 1 (its dummy radio),
#                                        started here on 127.0.0.1:4532
set -euo pipefail
cd "$(dirname "$0")/.."

rigctld_at=
case "${1:-}" in
  "") ;;
  --rigctld) rigctld_at=${2:-start} ;;
  *) echo "usage: scripts/run.sh [--rigctld [HOST:PORT]]" >&2; exit 2 ;;
esac

scripts/deps.sh

dir=build/windows
[ -f "$dir/CMakeCache.txt" ] || cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
cmake --build "$dir" -j"$(nproc)" --target velkor rigsim wine_ready

session="$dir/wine-session"
bin="$dir/bin"

# The rig server: rigsim.exe started below, or the rigctld named or started here.
switches=()
rigctld_pid=
if [ "$rigctld_at" = start ]; then
  rigctld -m 1 -T 127.0.0.1 -t 4532 >/dev/null 2>&1 &
  rigctld_pid=$!
  rigctld_at=127.0.0.1:4532
  sleep 1
  kill -0 "$rigctld_pid" 2>/dev/null || { echo "rigctld -m 1 did not start: is port 4532 taken?" >&2; exit 1; }
fi
[ -n "$rigctld_at" ] && switches=("/rigserver:rigctld:$rigctld_at")
stop_rigctld() { [ -z "$rigctld_pid" ] || kill "$rigctld_pid" 2>/dev/null || true; }

if [ -n "${DISPLAY:-}" ]; then
  export WINEPREFIX="$PWD/$dir/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ -z "$rigctld_at" ]; then
    wine "$bin/rigsim.exe" &
    sleep 2 # let the stand-in register itself, so that the program attaches to it
  fi
  wine "$bin/velkor.exe" "${switches[@]}" || true
  wineserver -k
  stop_rigctld
else
  "$session" start >/dev/null
  trap '"$session" stop; stop_rigctld' EXIT
  if [ -z "$rigctld_at" ]; then
    "$session" run "$bin/rigsim.exe" &
    sleep 2
  fi
  # The picture shows the program switched on, as it starts when it was
  # closed switched on.
  "$session" run reg add 'HKCU\Software\Velkor\WindowPos' /v On_Offlbl_Caption /d ON /f >/dev/null 2>&1
  "$session" run "$bin/velkor.exe" "${switches[@]}" &
  sleep 5
  shot="$PWD/build/screenshot.png"
  DISPLAY="$(cat "$dir/wine-session.d/display")" import -window root "$shot"
  echo "Screenshot: $shot"
fi
