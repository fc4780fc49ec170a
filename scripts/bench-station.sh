#!/usr/bin/env bash
# A benchmark, not a test: the station hub's costs, velkor.exe polling
# rigsim.exe under Wine in a session of its own.
#   - a frequency read on an open connection: XML-RPC rig.get_vfo on the
#     XML-RPC port against f on the rigctl port, taking turns in rounds of 100
#     (BENCH_STATION_TRIPS, default 2000, of each), median and 95th percentile;
#   - the state broadcast while the frequency changes 20 times a second
#     through the rigctl port for BENCH_STATION_SECONDS (default 30): the
#     packets a listener on 127.0.0.1 received per second, and velkor.exe's
#     CPU share with the broadcast on against the same run with it off.
# BENCH_BUILD names another Windows build directory to measure; without it
# build/windows is built as far as needed.
set -uo pipefail
cd "$(dirname "$0")/.."

trips=${BENCH_STATION_TRIPS:-2000}
seconds=${BENCH_STATION_SECONDS:-30}
scripts/deps.sh || exit 1
. scripts/bench-build.sh
bench_build "${BENCH_BUILD:-}" velkor rigsim
. scripts/bench-session.sh

hz=$(getconf CLK_TCK)
calc() { awk "BEGIN { printf \"$1\", $2 }"; }

rigctl_port=$(free_port 14632)
xmlrpc_port=$(free_port $((rigctl_port + 1)))
udp_port=$(free_port $((xmlrpc_port + 1)))
echo "station benchmark: $dir, $(wine --version 2>/dev/null)" >&2
setsid wine "$bin/rigsim.exe" >/dev/null 2>&1 </dev/null &
wine reg add 'HKCU\Software\Velkor\WindowPos' /v On_Offlbl_Caption /d ON /f >/dev/null 2>&1 </dev/null

# velkor.exe with the switches given, until the rigctl port reads the radio.
start_velkor() {
  setsid wine "$bin/velkor.exe" "/rigctl:$rigctl_port" "$@" >/dev/null 2>&1 </dev/null &
  for _ in $(seq 300); do
    [[ $(timeout 5 rigctl -m 2 -r "127.0.0.1:$rigctl_port" f 2>/dev/null) =~ ^[0-9]+$ ]] && break
    sleep 0.1
  done
  velkor=$(pid_of 'velkor.exe') || { echo "bench: velkor.exe did not start" >&2; exit 1; }
  sleep 2
}
stop_velkor() {
  kill "$velkor" 2>/dev/null
  for _ in $(seq 100); do [ -d "/proc/$velkor" ] || break; sleep 0.1; done
}

start_velkor "/xmlrpc:$xmlrpc_port"
echo "timing $trips reads on an open connection to each port..." >&2
python3 - "$rigctl_port" "$xmlrpc_port" "$trips" >"$work/trips" <<'EOF'
import socket, sys, time
rigctl_port, xmlrpc_port, trips = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
body = b"<?xml version=\"1.0\"?><methodCall><methodName>rig.get_vfo</methodName></methodCall>"
request = (b"POST /RPC2 HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/xml\r\nContent-Length: "
           + str(len(body)).encode() + b"\r\n\r\n" + body)
rigctl = socket.create_connection(("127.0.0.1", rigctl_port))
xmlrpc = socket.create_connection(("127.0.0.1", xmlrpc_port))
for s in (rigctl, xmlrpc):
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
def rigctl_f():
    rigctl.sendall(b"f\n")
    got = b""
    while not got.endswith(b"\n"):
        got += rigctl.recv(4096)
def xmlrpc_get():
    xmlrpc.sendall(request)
    got = b""
    while b"</methodResponse>" not in got:
        chunk = xmlrpc.recv(65536)
        if not chunk:
            raise SystemExit("the XML-RPC port closed the connection")
        got += chunk
times = {"rigctl": [], "xmlrpc": []}
for _ in range(trips // 100):
    for name, call in (("rigctl", rigctl_f), ("xmlrpc", xmlrpc_get)):
        for _ in range(100):
            t0 = time.perf_counter_ns()
            call()
            times[name].append(time.perf_counter_ns() - t0)
for name, values in times.items():
    values.sort()
    print(name, values[len(values) // 2] / 1e6, values[int(len(values) * 0.95)] / 1e6)
EOF
stop_velkor

# The frequency changes 20 times a second through the rigctl port while a
# listener counts the packets; velkor.exe's CPU over the same time.
measure() { # label, switches...
  local label=$1
  shift
  start_velkor "$@"
  python3 - "$udp_port" "$seconds" >"$work/udp.$label" <<'EOF' &
import socket, sys, time
sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
sock.bind(("127.0.0.1", int(sys.argv[1])))
sock.settimeout(0.5)
end = time.monotonic() + float(sys.argv[2])
count = 0
while time.monotonic() < end:
    try:
        data = sock.recv(65536)
        count += b"<RadioInfo>" in data
    except socket.timeout:
        pass
print(count)
EOF
  local listener=$!
  local c0 t0
  c0=$(cpu_ticks "$velkor")
  t0=$(date +%s%N)
  python3 - "$rigctl_port" "$seconds" >"$work/changes.$label" <<'EOF'
import socket, sys, time
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])))
end = time.monotonic() + float(sys.argv[2])
freq, step = 14000000, 0
while time.monotonic() < end:
    step += 1
    s.sendall(b"F %d\n" % (freq + 10 * (step % 500)))
    got = b""
    while not got.endswith(b"\n"):
        got += s.recv(4096)
    time.sleep(max(0.0, 0.05 - 0.001))
print(step)
EOF
  local elapsed
  elapsed=$(calc '%.3f' "($(date +%s%N) - $t0) / 1e9")
  cpu[$label]=$(calc '%.1f' "($(cpu_ticks "$velkor") - $c0) * 100 / $hz / $elapsed")
  wait "$listener"
  packets[$label]=$(calc '%.1f' "$(cat "$work/udp.$label") / $elapsed")
  changes[$label]=$(calc '%.1f' "$(cat "$work/changes.$label") / $elapsed")
  stop_velkor
}
declare -A cpu packets changes
echo "changing the frequency 20 times a second for ${seconds} s, broadcast off then on..." >&2
measure off
measure on "/radioinfo:127.0.0.1:$udp_port"

echo "== a frequency read on an open connection (ms: median, 95th percentile) =="
awk '{ printf "%-7s %.3f %.3f\n", $1, $2, $3 }' "$work/trips"
awk 'NR == 1 { r = $2 } NR == 2 { x = $2 } END { if (r > 0) printf "XML-RPC / rigctl median: %.2f x\n", x / r }' "$work/trips"
echo "== the broadcast while the frequency changes 20 times a second =="
printf 'frequency changes asked per second: %s (off: %s)\n' "${changes[on]}" "${changes[off]}"
printf 'packets received per second: %s (off: %s)\n' "${packets[on]}" "${packets[off]}"
printf 'velkor.exe CPU: %s %% with the broadcast, %s %% without\n' "${cpu[on]}" "${cpu[off]}"
