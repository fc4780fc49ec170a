# The automation server's part of the benchmark; sourced by scripts/bench.sh
# in its Wine session (its variables and helpers), after rigsim.exe is up and
# the polling soak has ended. velkor.exe is started as the operator starts it,
# switched on, and automationbench.exe plays the loggers:
#   - the GetFreq round trip from a client process against the floor, a
#     trivial cross-process call into rigsim.exe (median, 95th percentile),
#     and a create-call-release cycle against velkor.exe and rigsim.exe;
#   - BENCH_POLL_CLIENTS (20) client processes calling GetFreq and GetMode at
#     10 Hz for BENCH_POLL_SECONDS (60): rounds answered, failures, the
#     slowest round, and velkor.exe's descriptors and resident memory before,
#     at the end of the load, and once the clients have gone;
#   - BENCH_CHURN_CLIENTS (5) client processes that create an object, call it
#     once and release it, 10 times a second each (as fast as activation goes
#     under Wine) for BENCH_CHURN_MINUTES (10): cycles answered, failures, the
#     slowest cycle (a frozen program shows there), memory by minute; then one
#     minute of the same against rigsim.exe's class for comparison;
#   - the object count back at 0: closing velkor.exe brings no warning.
[ -f "$bin/automationbench.exe" ] || { echo "bench: $bin/automationbench.exe is missing" >&2; return 1; }
poll_clients=${BENCH_POLL_CLIENTS:-20}
poll_seconds=${BENCH_POLL_SECONDS:-60}
churn_clients=${BENCH_CHURN_CLIENTS:-5}
churn_minutes=${BENCH_CHURN_MINUTES:-10}

abench() { wine "$bin/automationbench.exe" "$@" 2>>"$work/automationbench.log" </dev/null | tr -d '\r'; }
fds() { ls "/proc/$1/fd" 2>/dev/null | wc -l; }
# Starts n clients of one kind for a while, their ids in $pids; their lines
# go to $work/<kind>.*.
clients() { # kind n seconds
  local i
  pids=
  rm -f "$work/$1".*
  for i in $(seq "$2"); do
    abench "$1" "$3" >"$work/$1.$i" &
    pids="$pids $!"
  done
}
sum() { cat "$work/$1".* | awk -v f="$2" '{ s += $f } END { print s + 0 }'; }
most() { cat "$work/$1".* | awk -v f="$2" '$f > m { m = $f } END { print m + 0 }'; }

for _ in $(seq 100); do pid_of 'velkor\.exe' >/dev/null || break; sleep 0.1; done
wine reg add 'HKCU\Software\Velkor\WindowPos' /v On_Offlbl_Caption /d ON /f >/dev/null 2>&1 </dev/null
setsid wine "$bin/velkor.exe" >/dev/null 2>&1 </dev/null &
for _ in $(seq 100); do [ "$(abench pid)" -gt 0 ] 2>/dev/null && break; sleep 0.2; done
velkor=$(pid_of 'velkor\.exe') || { echo "bench: velkor.exe for the automation server not found" >&2; return 1; }
sleep 2 # a few polls

echo "timing $reads GetFreq calls from a client..." >&2
acalls=$(abench calls "$reads")
echo "$acalls" | grep -q '^create_rigsim ' || { echo "bench: the automation calls failed" >&2; cat "$work/automationbench.log" >&2; }
afield() { echo "$acalls" | awk -v k="$1" -v f="$2" '$1 == k { print $f }'; }

echo "$poll_clients clients polling for ${poll_seconds} s..." >&2
f0=$(fds "$velkor"); r0=$(rss_kb "$velkor")
clients poll "$poll_clients" "$poll_seconds"
sleep $((poll_seconds - 2))
f1=$(fds "$velkor"); r1=$(rss_kb "$velkor")
wait $pids
sleep 5 # the clients' connections are let go
f2=$(fds "$velkor"); r2=$(rss_kb "$velkor")
poll_rounds=$(sum poll 2); poll_failed=$(sum poll 4); poll_slowest=$(most poll 6)
poll_expected=$((poll_clients * poll_seconds * 10))

echo "$churn_clients clients creating and releasing for ${churn_minutes} min..." >&2
clients churn "$churn_clients" $((churn_minutes * 60))
t0=$(now)
churn_samples="0 $(rss_kb "$velkor") $(fds "$velkor")"
for m in $(seq 1 "$churn_minutes"); do
  left=$(calc '%d' "$t0 + $m * 60 - $(now)")
  [ "$left" -gt 0 ] && sleep "$left"
  [ -d "/proc/$velkor" ] || { echo "bench: velkor.exe ended during the churn" >&2; break; }
  churn_samples="$churn_samples
$m $(rss_kb "$velkor") $(fds "$velkor")"
  echo "  minute $m: velkor.exe $(rss_kb "$velkor") kB" >&2
done
wait $pids
sleep 5
churn_after="$(rss_kb "$velkor") kB, $(fds "$velkor") descriptors"
churn_cycles=$(sum churn 2); churn_failed=$(sum churn 4); churn_slowest=$(most churn 6)
echo "the same against rigsim.exe for 1 min..." >&2
clients churn-rigsim "$churn_clients" 60
wait $pids
rig_cycles=$(sum churn-rigsim 2); rig_failed=$(sum churn-rigsim 4)
closed=$(abench close)

row() { # label, key
  printf '%-44s %8.3f ms  p95 %8.3f ms  %6.2f x floor\n' "$1" "$(afield "$2" 2)" "$(afield "$2" 3)" \
    "$(calc '%.4f' "$(afield "$2" 2) / $(afield floor 2)")"
}
echo
echo "== automation server: calls from a client process (median of $reads; cycles: of $(afield create 5)) =="
row "floor: trivial call into rigsim.exe" floor
row "GetFreq on a held Velkor.VelkorCom" getfreq
row "create, GetFreq, release: velkor.exe" create
row "create, trivial call, release: rigsim.exe" create_rigsim
echo
echo "== automation server: $poll_clients clients, GetFreq and GetMode at 10 Hz for ${poll_seconds} s =="
printf 'rounds answered %d of %d expected, failed calls %d, slowest round %s ms\n' "$poll_rounds" \
  "$poll_expected" "$poll_failed" "$poll_slowest"
printf 'velkor.exe: before %s kB, %s descriptors; under load %s kB, %s; clients gone %s kB, %s\n' \
  "$r0" "$f0" "$r1" "$f1" "$r2" "$f2"
echo
echo "== automation server: $churn_clients clients creating, calling once and releasing for ${churn_minutes} min =="
printf 'cycles answered %d (%s per client and second; 10 asked), failed %d, slowest cycle %s ms\n' "$churn_cycles" \
  "$(calc '%.2f' "$churn_cycles / $churn_clients / ($churn_minutes * 60)")" "$churn_failed" "$churn_slowest"
printf 'against rigsim.exe for 1 min: %d cycles (%s per client and second), failed %d\n' "$rig_cycles" \
  "$(calc '%.2f' "$rig_cycles / $churn_clients / 60")" "$rig_failed"
printf '%6s %12s %12s\n' minute 'velkor.exe' descriptors
echo "$churn_samples" | while read -r m a b; do printf '%6s %12s %12s\n' "$m" "$a" "$b"; done
echo "clients gone: $churn_after"
echo "closing velkor.exe afterwards: $closed (ended: no object left, no warning)"
[ "$poll_failed" = 0 ] && [ "$churn_failed" = 0 ] && [ "$closed" = ended ] && echo "every automation call answered" \
  || echo "AUTOMATION CALLS FAILED"
