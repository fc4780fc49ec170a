#!/usr/bin/env bash
# A benchmark, not a test: what polling the rig server costs under Wine, each
# figure against a floor measured in the same run (a trivial cross-process COM
# call on a held pointer). Runs velkor.exe and rigsim.exe in a Wine session of
# its own (a copy of the build's prefix, its own wineserver and display):
#   - the rig's fetch-read-release pattern per read, and a whole poll tick as
#     velkor.exe polls (read on the rig server's thread, its reading handed
#     back) and through the client alone (median, 95th percentile, and the
#     tick against eight reads), timed by tools/bench (rigbench.exe) in rounds
#     that take turns with the floor, so that other work on the machine weighs
#     on all of them alike;
#   - the CPU share of velkor.exe, rigsim.exe and wineserver over 30 s of
#     velkor.exe polling;
#   - the resident memory of rigsim.exe and velkor.exe at the start and after
#     BENCH_MINUTES (default 10) of polling, sampled every minute;
#   - the soak: ticks answered by rigsim.exe against ticks expected, and
#     whether any tick failed;
#   - the main window switched on: its paints per second while the frequency
#     stands still (the LED fields repaint only when their text changes), and
#     the time from a change of the radio's frequency to the window's paint of
#     it, median and worst of 20 changes (one poll interval plus the tick's
#     own reads is the goal: the digits follow a reading at once); rigbench.exe runs the window in its own process, as
#     velkor.exe makes it, once velkor.exe has ended, and counts the paints
#     its window procedure gets;
#   - hamlib's rigctld as the rig server, scripts/bench-rigctld.sh
#     (BENCH_RIGCTLD=0 leaves it out);
#   - the automation server, scripts/bench-automation.sh (BENCH_AUTOMATION=0
#     leaves it out).
# BENCH_BUILD names another Windows build directory to measure (it must hold
# velkor.exe, rigsim.exe and rigbench.exe); without it build/windows is built
# as far as needed. BENCH_READS and BENCH_TICKS set the timed counts.
set -uo pipefail
cd "$(dirname "$0")/.."

minutes=${BENCH_MINUTES:-10}
reads=${BENCH_READS:-2000}
ticks=${BENCH_TICKS:-200}
interval_ms=200 # velkor.exe's poll interval
cpu_seconds=30

. scripts/bench-build.sh
bench_build "${BENCH_BUILD:-}" velkor rigsim rigbench automationbench

. scripts/bench-session.sh

bench() { wine "$bin/rigbench.exe" "$@" 2>>"$work/rigbench.log" </dev/null | tr -d '\r'; }

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"$1\", $2 }"; }

echo "Velkor benchmark: $dir, $(wine --version 2>/dev/null), ${minutes} min soak" >&2

# ---- the calls ------------------------------------------------------------------
setsid wine "$bin/rigsim.exe" >/dev/null 2>&1 </dev/null &
bench wait >/dev/null || { echo "bench: rigsim.exe did not start" >&2; cat "$work/rigbench.log" >&2; exit 1; }
echo "timing $reads reads of each kind and $ticks ticks..." >&2
calls=$(bench calls "$reads" "$ticks")
echo "$calls" | grep -q '^tick ' || { echo "bench: the timed calls failed" >&2; cat "$work/rigbench.log" >&2; exit 1; }
field() { echo "$calls" | awk -v k="$1" -v f="$2" '$1 == k { print $f }'; }
floor=$(field floor 2)

# ---- velkor.exe polling -----------------------------------------------------------
# Switched on at its start, as after a run closed switched on; the bands file
# is the one at the top of the repository, the current folder.
wine reg add 'HKCU\Software\Velkor\WindowPos' /v On_Offlbl_Caption /d ON /f >/dev/null 2>&1 </dev/null
setsid wine "$bin/velkor.exe" >/dev/null 2>&1 </dev/null &
sleep 5
rigsim=$(pid_of 'rigsim\.exe') || { echo "bench: rigsim.exe not found" >&2; exit 1; }
velkor=$(pid_of 'velkor\.exe') || { echo "bench: velkor.exe not found" >&2; exit 1; }
server=$(pid_of 'wineserver') || { echo "bench: wineserver not found" >&2; exit 1; }
hz=$(getconf CLK_TCK)

read -r _ fetches0 _ freq0 _ vfo0 _ < <(bench counts)
t0=$(now)
rss_rigsim0=$(rss_kb "$rigsim")
rss_velkor0=$(rss_kb "$velkor")
c_velkor=$(cpu_ticks "$velkor"); c_rigsim=$(cpu_ticks "$rigsim"); c_server=$(cpu_ticks "$server")
tc=$(now)
echo "measuring CPU over ${cpu_seconds} s..." >&2
sleep "$cpu_seconds"
tc=$(calc '%.3f' "$(now) - $tc")
share() { calc '%.1f' "($(cpu_ticks "$1") - $2) * 100 / $hz / $tc"; }
cpu_velkor=$(share "$velkor" "$c_velkor")
cpu_rigsim=$(share "$rigsim" "$c_rigsim")
cpu_server=$(share "$server" "$c_server")

samples="0 $rss_rigsim0 $rss_velkor0"
for m in $(seq 1 "$minutes"); do
  left=$(calc '%d' "$t0 + $m * 60 - $(now)")
  [ "$left" -gt 0 ] && sleep "$left"
  [ -d "/proc/$rigsim" ] && [ -d "/proc/$velkor" ] || { echo "bench: a process ended during the soak" >&2; break; }
  samples="$samples
$m $(rss_kb "$rigsim") $(rss_kb "$velkor")"
  echo "  minute $m: rigsim.exe $(rss_kb "$rigsim") kB, velkor.exe $(rss_kb "$velkor") kB" >&2
done
read -r _ fetches1 _ freq1 _ vfo1 _ < <(bench counts)
elapsed=$(calc '%.3f' "$(now) - $t0")
reports=$(bench reports)
rss_rigsim1=$(rss_kb "$rigsim")
rss_velkor1=$(rss_kb "$velkor")
bench close >/dev/null
for _ in $(seq 100); do [ -d "/proc/$velkor" ] || break; sleep 0.1; done

# ---- the main window, in rigbench.exe's process -----------------------------------
echo "counting the window's paints over ${cpu_seconds} s, timing 20 frequency changes to its paint..." >&2
window=$(bench window "$cpu_seconds" 20)
echo "$window" | grep -q '^latency ' || { echo "bench: the window's figures failed" >&2; cat "$work/rigbench.log" >&2; }

# ---- report ----------------------------------------------------------------------------
answered=$((freq1 - freq0))
fetches=$((fetches1 - fetches0))
expected=$(calc '%d' "$elapsed * 1000 / $interval_ms")
# Every tick fetches the rig eight times and reads the arrangement four times;
# a tick that failed part-way leaves fewer behind (one tick may be in flight).
whole=yes
[ $((fetches - 8 * answered)) -ge -8 ] && [ $((fetches - 8 * answered)) -le 8 ] || whole=no
[ $((vfo1 - vfo0 - 4 * answered)) -ge -4 ] && [ $((vfo1 - vfo0 - 4 * answered)) -le 4 ] || whole=no

row() { # label, key
  printf '%-44s %8.3f ms  p95 %8.3f ms  %6.1f x floor  %5.1f x a read\n' "$1" "$(field "$2" 2)" "$(field "$2" 3)" \
    "$(calc '%.4f' "$(field "$2" 2) / $floor")" "$(calc '%.4f' "$(field "$2" 2) / $(field fetch_read 2)")"
}
echo
echo "== calls (median of $reads; tick: of $ticks) =="
row "floor: trivial call on a held pointer" floor
row "read on a held rig pointer" held_read
row "fetch-read-release, per read" fetch_read
row "poll tick (8 fetched reads), as velkor.exe" tick
row "poll tick, the client alone" tick_direct
echo
echo "== CPU over ${tc} s of polling every ${interval_ms} ms (share of one core) =="
printf 'velkor.exe %s %%   rigsim.exe %s %%   wineserver %s %%\n' "$cpu_velkor" "$cpu_rigsim" "$cpu_server"
echo
echo "== the main window =="
echo "$window" | awk '$1 == "paints" {
  printf "paints per second at a steady frequency: %.2f (%s paints in %s s)\n", $2 / $3, $2, $3 }'
echo "$window" | awk '$1 == "latency" {
  printf "frequency change to the new digits painted: median %s ms, worst %s ms (20 changes)\n", $2, $3
  printf "  of which up to the poll that read it:     median %s ms, worst %s ms\n", $4, $5 }'
echo
echo "== resident memory (VmRSS, kB) by minute =="
printf '%6s %12s %12s\n' minute rigsim.exe velkor.exe
echo "$samples" | while read -r m a b; do printf '%6s %12s %12s\n' "$m" "$a" "$b"; done
grow=$((rss_rigsim1 - rss_rigsim0))
printf 'rigsim.exe %s kB -> %s kB (%+d kB, %s bytes per fetch over %d fetches)\n' "$rss_rigsim0" "$rss_rigsim1" \
  "$grow" "$(calc '%.1f' "$grow * 1024 / ($fetches > 0 ? $fetches : 1)")" "$fetches"
printf 'velkor.exe %s kB -> %s kB (%+d kB)\n' "$rss_velkor0" "$rss_velkor1" $((rss_velkor1 - rss_velkor0))
echo
echo "== soak: velkor.exe polling rigsim.exe for ${elapsed} s =="
printf 'ticks answered %d of %d expected (%s %%), whole ticks: %s, error reports: %s\n' "$answered" "$expected" \
  "$(calc '%.1f' "$answered * 100 / ($expected > 0 ? $expected : 1)")" "$whole" "$reports"
[ "$whole" = yes ] && [ "${reports:-1}" = 0 ] && [ "$answered" -gt 0 ] && echo "no tick failed" || echo "TICKS FAILED"

# ---- hamlib's rigctld --------------------------------------------------------------
[ "${BENCH_RIGCTLD:-1}" = 0 ] || . scripts/bench-rigctld.sh

# ---- the automation server ---------------------------------------------------------
[ "${BENCH_AUTOMATION:-1}" = 0 ] || . scripts/bench-automation.sh
