#!/usr/bin/env bash
# A benchmark, not a test: the f round trip of hamlib's rigctl against
# velkor.exe's rigctl port (velkor.exe polling rigsim.exe under Wine, in a Wine
# session of its own) beside the same against a local rigctld -m 1 (hamlib's
# dummy rig) in the same run, taking turns so that other work on the machine
# weighs on both alike:
#   - a whole rigctl -m 2 run (start, handshake, f, quit), BENCH_RIGCTL_RUNS
#     (default 40) of each, median and 95th percentile;
#   - f on an open connection, BENCH_RIGCTL_TRIPS (default 2000) of each, in
#     rounds of 100;
#   - then velkor.exe alone under hostile clients (tests/e2e/RigctlHostile.py)
#     for BENCH_RIGCTL_HOSTILE seconds (default 120): how many came, how long
#     the next rigctl run took to be served, the port's half-closed sockets
#     and velkor.exe's resident memory before and after.
# BENCH_BUILD names another Windows build directory to measure; without it
# build/windows is built as far as needed.
set -uo pipefail
cd "$(dirname "$0")/.."

runs=${BENCH_RIGCTL_RUNS:-40}
trips=${BENCH_RIGCTL_TRIPS:-2000}
hostile=${BENCH_RIGCTL_HOSTILE:-120}
scripts/deps.sh || exit 1
. scripts/bench-build.sh
bench_build "${BENCH_BUILD:-}" velkor rigsim
. scripts/bench-session.sh
rigctld_pid=
trap '[ -n "$rigctld_pid" ] && kill "$rigctld_pid" 2>/dev/null; cleanup' EXIT

now_ns() { date +%s%N; }
# Median and 95th percentile in ms of the numbers (ns) in a file.
stats() { sort -n "$1" | awk '{ v[NR] = $1 } END { printf "%.3f %.3f", v[int((NR + 1) / 2)] / 1e6, v[int(NR * 0.95 + 0.5)] / 1e6 }'; }

velkor_port=$(free_port 14532)
dummy_port=$(free_port $((velkor_port + 1)))
echo "rigctl benchmark: $dir, $(wine --version 2>/dev/null), $(rigctl --version)" >&2
setsid wine "$bin/rigsim.exe" >/dev/null 2>&1 </dev/null &
wine reg add 'HKCU\Software\Velkor\WindowPos' /v On_Offlbl_Caption /d ON /f >/dev/null 2>&1 </dev/null
setsid wine "$bin/velkor.exe" "/rigctl:$velkor_port" >/dev/null 2>&1 </dev/null &
rigctld -m 1 -T 127.0.0.1 -t "$dummy_port" >/dev/null 2>&1 </dev/null &
rigctld_pid=$!
for port in "$velkor_port" "$dummy_port"; do
  for _ in $(seq 300); do timeout 5 rigctl -m 2 -r "127.0.0.1:$port" f >/dev/null 2>&1 && break; sleep 0.1; done
  timeout 5 rigctl -m 2 -r "127.0.0.1:$port" f >/dev/null 2>&1 || { echo "bench: nothing answers on $port" >&2; exit 1; }
done
sleep 2 # velkor.exe polls a few times

echo "timing $runs rigctl runs against each..." >&2
for i in $(seq "$runs"); do
  for which in velkor dummy; do
    port=${which}_port
    t0=$(now_ns)
    rigctl -m 2 -r "127.0.0.1:${!port}" f >/dev/null 2>&1
    echo $(($(now_ns) - t0)) >>"$work/run.$which"
  done
done

echo "timing $trips f round trips on an open connection to each..." >&2
exec 5<>"/dev/tcp/127.0.0.1/$velkor_port" 7<>"/dev/tcp/127.0.0.1/$dummy_port"
for round in $(seq $((trips / 100))); do
  for fd in 5 7; do
    t0=$(now_ns)
    for i in $(seq 100); do
      printf 'f\n' >&$fd
      read -r line <&$fd
    done
    echo $((($(now_ns) - t0) / 100)) >>"$work/trip.$fd"
  done
done
printf 'q\n' >&5
printf 'q\n' >&7

echo "hostile clients against velkor.exe for $hostile s..." >&2
velkor_pid=$(pgrep -f -- "velkor\.exe.*/rigctl:$velkor_port" | head -1)
rss0=$(rss_kb "$velkor_pid")
clients=$(python3 tests/e2e/RigctlHostile.py fuzz "$velkor_port" "$hostile" "${BENCH_RIGCTL_SEED:-1}" 8)
t0=$(now_ns)
until timeout 5 rigctl -m 2 -r "127.0.0.1:$velkor_port" f 2>/dev/null | grep -qx '[0-9][0-9]*' ||
  [ $(($(now_ns) - t0)) -gt 30000000000 ]; do sleep 0.1; done
served_ms=$(awk "BEGIN { printf \"%.0f\", ($(now_ns) - $t0) / 1e6 }")
half_closed=$(ss -tanH state close-wait "( sport = :$velkor_port )" | wc -l)
rss1=$(rss_kb "$velkor_pid")

read -r run_v run_v95 <<<"$(stats "$work/run.velkor")"
read -r run_d run_d95 <<<"$(stats "$work/run.dummy")"
read -r trip_v trip_v95 <<<"$(stats "$work/trip.5")"
read -r trip_d trip_d95 <<<"$(stats "$work/trip.7")"
row() { printf '%-52s %8.3f ms  p95 %8.3f ms  %6.2f x rigctld\n' "$1" "$2" "$3" "$(awk "BEGIN { print $2 / $4 }")"; }
echo
echo "== rigctl port: f round trip, against rigctld -m 1 in the same run =="
row "rigctl run (start, handshake, f, quit): velkor.exe" "$run_v" "$run_v95" "$run_d"
row "rigctl run: rigctld -m 1" "$run_d" "$run_d95" "$run_d"
row "f on an open connection (mean of 100): velkor.exe" "$trip_v" "$trip_v95" "$trip_d"
row "f on an open connection: rigctld -m 1" "$trip_d" "$trip_d95" "$trip_d"
echo
echo "== rigctl port: velkor.exe after $hostile s of hostile clients =="
echo "$clients"
printf '%-52s %8s ms  (a run before them: median %s ms)\n' "next rigctl run served after" "$served_ms" "$run_v"
printf '%-52s %8s\n' "half-closed sockets of the port" "$half_closed"
printf '%-52s %8s kB -> %s kB\n' "velkor.exe resident memory" "$rss0" "$rss1"
