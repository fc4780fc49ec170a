#!/usr/bin/env bash
# A soak, not a test: velkor.exe polling a rig server that works, hangs and
# fails by turns (30 s good, 10 s hung, 10 s failing, for SOAK_MINUTES, 10 by
# default) while two loggers read through its automation server and a hamlib
# program through its rigctl port. In a Wine session of its own (see
# scripts/bench-session.sh). It prints how long the window took at worst to
# answer a message (the goal: never longer than a rig call's deadline, 3 s),
# the most error boxes open at once (the goal: one), what the readers met, and
# velkor.exe's resident memory by minute (the goal: flat).
# SOAK_BUILD names another Windows build directory; without it build/windows
# is built as far as needed.
set -uo pipefail
cd "$(dirname "$0")/.."

minutes=${SOAK_MINUTES:-10}
port=${SOAK_RIGCTL_PORT:-14532}

. scripts/bench-build.sh
bench_build "${SOAK_BUILD:-}" velkor rigsim hangsoak

. scripts/bench-session.sh

echo "Velkor hang soak: $dir, $(wine --version 2>/dev/null), ${minutes} min" >&2
setsid wine "$bin/rigsim.exe" >/dev/null 2>&1 </dev/null &
wine reg add 'HKCU\Software\Velkor\WindowPos' /v On_Offlbl_Caption /d ON /f >/dev/null 2>&1 </dev/null
setsid wine "$bin/velkor.exe" "/rigctl:$port" >/dev/null 2>&1 </dev/null &
sleep 5
velkor=$(pid_of 'velkor\.exe') || { echo "soak: velkor.exe not found" >&2; exit 1; }

samples="0 $(rss_kb "$velkor")"
wine "$bin/hangsoak.exe" $((minutes * 60)) "$port" >"$work/figures" 2>"$work/hangsoak.log" </dev/null &
soak=$!
t0=$(date +%s)
for m in $(seq 1 "$minutes"); do
  left=$((t0 + m * 60 - $(date +%s)))
  [ "$left" -gt 0 ] && sleep "$left"
  [ -d "/proc/$velkor" ] || { echo "soak: velkor.exe ended during the soak" >&2; break; }
  samples="$samples
$m $(rss_kb "$velkor")"
  echo "  minute $m: velkor.exe $(rss_kb "$velkor") kB" >&2
done
wait "$soak"
alive=yes
[ -d "/proc/$velkor" ] || alive=no

figure() { awk -v k="$1" -v f="$2" '$1 == k { print $f }' "$work/figures"; }
echo
echo "== ${minutes} min of a rig server good 30 s, hung 10 s, failing 10 s ($(figure phases 2) phases) =="
printf 'window answered a message: worst %s ms over %s messages, %s unanswered (deadline 3000 ms)\n' \
  "$(figure window_answer_ms 2)" "$(figure window_answer_ms 3)" "$(figure window_answer_ms 4)"
printf 'error boxes: %s seen, at most %s open at once\n' "$(figure boxes_seen 2)" "$(figure boxes_most_at_once 2)"
printf 'two loggers: %s reads (GetFreq and IsConnected), %s failed, slowest %s ms, %s read connected\n' \
  "$(figure logger_call_ms 3)" "$(figure logger_call_ms 4)" "$(figure logger_call_ms 2)" \
  "$(figure logger_connected_reads 2)"
printf 'rigctl client: %s reads of f, %s without a reply, slowest %s ms, %s answered with an error\n' \
  "$(figure rigctl_f_ms 3)" "$(figure rigctl_f_ms 4)" "$(figure rigctl_f_ms 2)" "$(figure rigctl_error_replies 2)"
printf 'velkor.exe still running: %s\n' "$alive"
echo "== velkor.exe resident memory (VmRSS, kB) by minute =="
echo "$samples" | while read -r m a; do printf '%6s %12s\n' "$m" "$a"; done
