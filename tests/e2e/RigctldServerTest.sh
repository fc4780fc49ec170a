#!/usr/bin/env bash
# hamlib's rigctld as velkor.exe's rig server: the real rigctld -m 1 (its
# dummy radio) runs natively on a loopback port, velkor.exe under Wine polls
# it (rigctl_host.exe keeps it running with its rigctl port open), and the
# native rigctl talks to both. Velkor's rigctl port reads what rigctld has,
# commands through it reach rigctld, changes at rigctld reach Velkor; rigctld
# killed is reported once and read again once it is back; a server that
# takes the connection and never answers is reported, and the window goes on.
# PTT through Velkor's port keys the dummy (started with -P RIG) and is
# released by T 0, by the client that keyed going away, and by the transmit
# watchdog; hamlib's model 4 keys and releases it through Velkor's XML-RPC
# port; a PTT keyed at rigctld shows at Velkor's port.
#   RigctldServerTest.sh WINE-SESSION RIGCTL-HOST-EXE
set -u
session=$1
host_exe=$2
command -v rigctld >/dev/null || { echo "rigctld is missing: scripts/deps.sh installs libhamlib-utils"; exit 1; }
command -v python3 >/dev/null || { echo "python3 is missing: the silent server is a Python 3 line"; exit 1; }

. "$(dirname "$0")/HostScript.sh"

rigctld_pid=
silent_pid=
trap 'kill $rigctld_pid $silent_pid 2>/dev/null; cleanup' EXIT
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
start_rigctld() {
  rigctld -m 1 -P RIG -T 127.0.0.1 -t "$rport" >/dev/null 2>&1 &
  rigctld_pid=$!
  for _ in $(seq 50); do [[ $(dummy f) =~ ^[0-9]+$ ]] && return 0; sleep 0.1; done
  echo "FAIL rigctld did not start on $rport"; exit 1
}
dummy() { timeout 10 rigctl -m 2 -r "127.0.0.1:$rport" "$@" 2>/dev/null; }
# Waits up to 15 s until Velkor's port answers $1 to the rigctl command that follows.
until_velkor() {
  local want=$1 patience=$((SECONDS + 15))
  shift
  until [ "$(rig "$@" | tr '\n' ' ' | sed 's/ $//')" = "$want" ] || [ $SECONDS -ge $patience ]; do sleep 0.2; done
  rig "$@" | tr '\n' ' ' | sed 's/ $//'
}
joined() { tr '\n' ' ' | sed 's/ $//'; }
# Waits up to 15 s until rigctld answers $1 to the rigctl command that follows.
until_dummy() {
  local want=$1 patience=$((SECONDS + 15))
  shift
  until [ "$(dummy "$@")" = "$want" ] || [ $SECONDS -ge $patience ]; do sleep 0.2; done
  dummy "$@"
}
# A client of Velkor's port that stays connected until keyer_gone: its
# commands are the lines written with keyer. hamlib's model 2 on the rigctl
# port, or the model and port given (4 on the XML-RPC port).
keyer_start() {
  local model=${1:-2} at=${2:-$port}
  rm -f "$work/keyer"
  mkfifo "$work/keyer"
  timeout 120 rigctl -m "$model" -r "127.0.0.1:$at" - <"$work/keyer" >/dev/null 2>&1 &
  clients+=($!)
  exec 5>"$work/keyer"
}
keyer() { echo "$1" >&5; }
keyer_gone() { exec 5>&-; }

rport=$(free_port)
start_rigctld
xport=$(free_port)
RIGCTL_HOST_SWITCHES="/xmlrpc:$xport" start_host "rigctld:$rport"

check "Velkor reads the dummy radio through rigctld" "145000000" "$(until_velkor 145000000 f)"
echo probe >&3
await '^probe ' 100
check "the dialog's Test finds the dummy" "probe Dummy, 145.000.000 Hz" "$(tr -d '\r' <"$work/out" | grep '^probe' | tail -1)"
check "and its mode" "FM 15000" "$(rig m | joined)"
check "and its VFO" "VFOA" "$(rig v)"
check "F 7074000 through Velkor" "" "$(rig F 7074000)"
check "reaches rigctld" "7074000" "$(dummy f)"
check "M USB 0 through Velkor" "" "$(rig M USB 0)"
check "reaches rigctld as USB" "USB" "$(dummy m | head -1)"
check "S 1 VFOB through Velkor" "" "$(rig S 1 VFOB)"
check "reaches rigctld as split, TX on VFO B" "1 VFOB" "$(dummy s | joined)"
check "Velkor shows the split" "1 VFOB" "$(until_velkor '1 VFOB' s)"
dummy S 0 VFOA >/dev/null
dummy F 14074000 >/dev/null
check "a change at rigctld reaches Velkor" "14074000" "$(until_velkor 14074000 f)"

keyer_start
keyer "T 1"
check "T 1 through Velkor keys rigctld" "1" "$(until_dummy 1 t)"
check "Velkor's port reads it" "1" "$(rig t)"
check "a client that read PTT and went leaves the key alone" "1" "$(dummy t)"
keyer "T 0"
check "T 0 releases it" "0" "$(until_dummy 0 t)"
keyer "T 1"
until_dummy 1 t >/dev/null
keyer_gone
check "the client that keyed gone releases it" "0" "$(until_dummy 0 t)"
# hamlib's model 4 on the XML-RPC port keys and releases rigctld the same way.
keyer_start 4 "$xport"
keyer "T 1"
check "T 1 of hamlib's model 4 through the XML-RPC port keys rigctld" "1" "$(until_dummy 1 t)"
keyer "T 0"
check "and its T 0 releases it" "0" "$(until_dummy 0 t)"
keyer "T 1"
until_dummy 1 t >/dev/null
keyer_gone
check "and the model 4 client gone releases it" "0" "$(until_dummy 0 t)"
dummy T 1 >/dev/null
check "a PTT keyed at rigctld shows at Velkor" "1" "$(until_velkor 1 t)"
dummy T 0 >/dev/null
check "and its release" "0" "$(until_velkor 0 t)"

# rigctld killed: one report; back: read again.
kill "$rigctld_pid"; wait "$rigctld_pid" 2>/dev/null
echo answer >&3
await '^answered' 150
check "rigctld gone is reported" "answered rigctld at 127.0.0.1:$rport" \
  "$(tr -d '\r' <"$work/out" | grep '^answered' | tail -1 | cut -d: -f1,2)"
echo probe >&3
await '^probe rigctld' 100
check "the dialog's Test says why not" "probe rigctld at 127.0.0.1:$rport: cannot connect" \
  "$(tr -d '\r' <"$work/out" | grep '^probe' | tail -1 | cut -d: -f1-3)"
start_rigctld
check "rigctld back is read again" "145000000" "$(until_velkor 145000000 f)"
end_host

# The transmit watchdog, short: a key held longer is released and reported.
RIGCTL_HOST_SWITCHES=/ptttimeout:2 start_host "rigctld:$rport"
until_velkor 145000000 f >/dev/null
keyer_start
keyer "T 1"
check "keyed for the watchdog" "1" "$(until_dummy 1 t)"
check "the watchdog released it" "0" "$(until_dummy 0 t)"
echo answer >&3
await '^answered' 150
check "and told the operator" "answered Velkor released PTT: the radio had transmitted for 2 seconds" \
  "$(tr -d '\r' <"$work/out" | grep '^answered' | tail -1 | cut -d, -f1)"
keyer_gone
end_host

# A server that takes connections and never answers: reported, and Velkor's
# own port goes on answering meanwhile.
rport=$(free_port)
python3 -c "import socket, time
s = socket.socket(); s.bind(('127.0.0.1', $rport)); s.listen(8)
time.sleep(600)" &
silent_pid=$!
sleep 0.5
start_host "rigctld:$rport"
echo answer >&3
await '^answered' 200
check "a silent rigctld is reported" "answered rigctld at 127.0.0.1:$rport: it does not answer." \
  "$(tr -d '\r' <"$work/out" | grep '^answered' | tail -1)"
check "Velkor's rigctl port answers meanwhile" "yes" "$(rig '\dump_state' >/dev/null && echo yes)"
end_host

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
