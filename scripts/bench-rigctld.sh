# What polling hamlib's rigctld costs, sourced by scripts/bench.sh after the
# rig server's figures ($bin, bench, calc, cpu_ticks, pid_of and $ticks are
# its): one poll tick as velkor.exe polls rigctld (its client on the rig
# server's thread), and the client alone, against one "f" round trip to the
# same rigctld (the floor; the goal is a tick within 5),
# and the CPU share of velkor.exe polling rigctld -m 1 beside its share
# polling rigsim.exe, each over BENCH_RIGCTLD_SECONDS (default 120) in turn.
rigctld_seconds=${BENCH_RIGCTLD_SECONDS:-120}
if ! command -v rigctld >/dev/null; then
  echo "bench: rigctld is missing (scripts/deps.sh installs libhamlib-utils); its figures are left out" >&2
  return 0
fi
rport=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
setsid rigctld -m 1 -T 127.0.0.1 -t "$rport" >/dev/null 2>&1 </dev/null &
rigctld_pid=$!
for _ in $(seq 50); do python3 -c "import socket; socket.create_connection(('127.0.0.1', $rport), 1)" 2>/dev/null && break; sleep 0.1; done

echo "timing $ticks rigctld ticks against its round trip..." >&2
rcalls=$(bench rigctld "$rport" "$ticks")
echo "$rcalls" | grep -q '^rigctld_tick ' || { echo "bench: the rigctld calls failed" >&2; cat "$work/rigbench.log" >&2; }
rfield() { echo "$rcalls" | awk -v k="$1" -v f="$2" '$1 == k { print $f }'; }

# velkor.exe switched on, polling the rig server its switches name, for the
# seconds: its CPU share and the server's, both of one core.
polling_cpu() { # server pid, switches...
  local server_pid=$1 velkor_pid c_v c_s t
  shift
  setsid wine "$bin/velkor.exe" "$@" >/dev/null 2>&1 </dev/null &
  sleep 5
  velkor_pid=$(pid_of 'velkor\.exe') || { echo "- -"; return; }
  c_v=$(cpu_ticks "$velkor_pid"); c_s=$(cpu_ticks "$server_pid"); t=$(now)
  sleep "$rigctld_seconds"
  t=$(calc '%.3f' "$(now) - $t")
  echo "$(calc '%.1f' "($(cpu_ticks "$velkor_pid") - $c_v) * 100 / $hz / $t")" \
    "$(calc '%.1f' "($(cpu_ticks "$server_pid") - $c_s) * 100 / $hz / $t")"
  bench close >/dev/null
  for _ in $(seq 100); do [ -d "/proc/$velkor_pid" ] || break; sleep 0.1; done
}
echo "velkor.exe polling rigsim.exe, then rigctld, ${rigctld_seconds} s each..." >&2
wine reg add 'HKCU\Software\Velkor\WindowPos' /v On_Offlbl_Caption /d ON /f >/dev/null 2>&1 </dev/null
read -r cpu_on_rigsim cpu_rigsim_self < <(polling_cpu "$(pid_of 'rigsim\.exe')")
wine reg add 'HKCU\Software\Velkor\WindowPos' /v On_Offlbl_Caption /d ON /f >/dev/null 2>&1 </dev/null
read -r cpu_on_rigctld cpu_rigctld_self < <(polling_cpu "$rigctld_pid" "/rigserver:rigctld:127.0.0.1:$rport")
rreports=$(bench reports)
kill "$rigctld_pid" 2>/dev/null

echo
echo "== hamlib rigctld -m 1 (median of $ticks) =="
printf '%-44s %8.3f ms  p95 %8.3f ms\n' 'floor: one "f" round trip' "$(rfield rigctld_floor 2)" "$(rfield rigctld_floor 3)"
rrow() { # label, key
  printf '%-44s %8.3f ms  p95 %8.3f ms  %6.2f x floor\n' "$1" "$(rfield "$2" 2)" "$(rfield "$2" 3)" \
    "$(calc '%.2f' "$(rfield "$2" 2) / $(rfield rigctld_floor 2)")"
}
rrow 'the client alone, on this thread' rigctld_direct
rrow 'poll tick as velkor.exe polls (goal: 5)' rigctld_tick
printf 'CPU over %s s, velkor.exe polling rigsim.exe: %s %% (rigsim.exe %s %%)\n' "$rigctld_seconds" \
  "$cpu_on_rigsim" "$cpu_rigsim_self"
printf 'CPU over %s s, velkor.exe polling rigctld:    %s %% (rigctld %s %%)\n' "$rigctld_seconds" \
  "$cpu_on_rigctld" "$cpu_rigctld_self"
echo "error reports while polling rigctld: $rreports"
