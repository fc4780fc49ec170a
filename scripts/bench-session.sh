# A Wine session of the benchmarks' own, sourced by scripts/bench.sh,
# scripts/bench-rigctl.sh and scripts/soak-hang.sh with $dir the Windows build
# directory: a copy of its prefix in a scratch folder ($work), its own
# wineserver and Xvfb display, all gone when the script exits; and how they
# look at its processes.
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

# Unix process id of this session's process whose command line matches $1.
pid_of() {
  local p
  for p in /proc/[0-9]*; do
    { tr '\0' '\n' <"$p/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    { tr '\0' ' ' <"$p/cmdline"; } 2>/dev/null | grep -qi -- "$1" && { echo "${p#/proc/}"; return 0; }
  done
  return 1
}
cpu_ticks() { # user + system clock ticks of a process, all its threads
  local s
  s=$(cat "/proc/$1/stat" 2>/dev/null) || { echo 0; return; }
  s=${s##*) }
  set -- $s
  echo $((${12} + ${13}))
}
rss_kb() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0; }
# A loopback port from PORT on that nothing listens on.
free_port() {
  local port=$1
  while (exec 6<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do port=$((port + 1)); done
  echo "$port"
}
