#!/usr/bin/env bash
# A soak, not a test: velkor.exe polling a rig server that works, hangs, fails
# and answers slowly by turns (30 s good, 10 s hung, 10 s failing, 30 s slow,
# for SOAK_MINUTES, 10 by default; slow: every call to the stand-in waits
# SOAK_SLOW_DELAY ms, 1200 by default, so that one call of velkor.exe, a fetch
# and a read, takes 80 % of its 3 s deadline) while two loggers read and tune
# through its automation server and a hamlib program through its rigctl port.
# In a Wine session of its own (see scripts/bench-session.sh). It prints, phase
# by phase, how long the window took at worst to answer a sent message and to
# carry out the operator's key (the goal: never longer than one deadline, 3 s),
# the most error boxes open at once (the goal: one), what the readers and the
# commands met, and velkor.exe's resident memory by minute (the goal: flat).
# SOAK_BUILD names another Windows build directory; without it build/windows
# is built as far as needed.
set -uo pipefail
cd "$(dirname "$0")/.."

minutes=${SOAK_MINUTES:-10}
port=${SOAK_RIGCTL_PORT:-14532}
phases=${SOAK_PHASES:-30 10 10 30}
delay=${SOAK_SLOW_DELAY:-1200}

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
# shellcheck disable=SC2086 # the phases are four numbers
wine "$bin/hangsoak.exe" $((minutes * 60)) "$port" $phases "$delay" >"$work/figures" 2>"$work/hangsoak.log" </dev/null &
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

figure() { awk -v k="$1" -v p="$2" -v f="$3" '$1 == k && $2 == p { print $f }' "$work/figures"; }
single() { awk -v k="$1" '$1 == k { print $2 }' "$work/figures"; }
row() { # name, phase: worst ms, count, failed
  printf '%-8s worst %8s ms  of %6s  failed %5s\n' "$2" "$(figure "$1" "$2" 3)" "$(figure "$1" "$2" 4)" \
    "$(figure "$1" "$2" 5)"
}
echo
echo "== ${minutes} min of a rig server good, hung, failing and slow (${phases} s; slow: ${delay} ms a call to the stand-in; $(single phases) phases) =="
for what in "window_answer_ms:window answered a sent message" "window_command_ms:window carried out a key (F4: the memory list, shown and hidden)" \
  "logger_call_ms:two loggers read (GetFreq and IsConnected)" "logger_command_ms:a logger tuned (ChangeFreq answered 1)" \
  "rigctl_f_ms:rigctl client read (f)" "rigctl_F_ms:rigctl client tuned (F answered RPRT 0)"; do
  echo "${what#*:}:"
  for phase in good hung failing slow; do row "${what%%:*}" "$phase"; done
done
printf 'error boxes: %s seen, at most %s open at once\n' "$(single boxes_seen)" "$(single boxes_most_at_once)"
printf 'loggers read connected %s times; the rigctl client read an error %s times\n' \
  "$(single logger_connected_reads)" "$(single rigctl_error_replies)"
printf 'velkor.exe still running: %s\n' "$alive"
echo "== velkor.exe resident memory (VmRSS, kB) by minute =="
echo "$samples" | while read -r m a; do printf '%6s %12s\n' "$m" "$a"; done
