# A Wine session of the benchmarks' own, sourced by scripts/bench.sh and
# scripts/bench-rigctl.sh with $dir the Windows build directory: a copy of its
# prefix in a scratch folder ($work), its own wineserver and Xvfb display,
# all gone when the script exits.
work=$(mktemp -d "${TMPDIR:-/tmp}/velkor-bench.XXXXXX")
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb_pid=
cleanup() {
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
cp -a "$dir/wineprefix/." "$WINEPREFIX/"
n=150
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 </dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
export DISPLAY=:$n
setsid wineserver -p >/dev/null 2>&1 </dev/null
setsid wineboot >/dev/null 2>&1 </dev/null
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null

