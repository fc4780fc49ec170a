#!/usr/bin/env bash
# The radio's state broadcast end to end: velkor.exe polling rigsim.exe, which
# rigctl_host.exe keeps running, sends RadioInfo datagrams to a UDP listener
# on 127.0.0.1 (RadioInfoListener.py) beside a closed port and a name that
# does not resolve, and a destination that does not parse. The first packet
# at start, one after each change made through the rigctl port (frequency,
# split, mode), the repeat without change; the two errors reported once each.
# Then with hamlib's rigctld -m 1 (its PTT by the rig) as the rig server,
# transmitting keyed and released through the rigctl port.
#   RadioInfoTest.sh WINE-SESSION RIGCTL-HOST-EXE
set -u
session=$1
host_exe=$2
listener_py=$(dirname "$0")/RadioInfoListener.py
command -v rigctl >/dev/null || { echo "rigctl is missing: scripts/deps.sh installs libhamlib-utils"; exit 1; }
command -v python3 >/dev/null || { echo "python3 is missing: the listener is a Python 3 script"; exit 1; }

. "$(dirname "$0")/HostScript.sh"

python3 -u "$listener_py" "$work/listen-port" >"$work/packets" 2>&1 &
clients+=($!)
for _ in $(seq 100); do [ -s "$work/listen-port" ] && break; sleep 0.1; done
listen=$(cat "$work/listen-port")
# A UDP port with nothing behind it: each datagram to it draws an ICMP reply.
closed=$(python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

# Waits up to $2 tenths of a second for a packet line matching $1 after line $3.
await_packet() {
  local i
  for i in $(seq "$2"); do
    tail -n +"$(($3 + 1))" "$work/packets" | grep -q -- "$1" && return 0
    sleep 0.1
  done
  return 1
}
packets() { wc -l <"$work/packets"; }
last_packet() { tail -1 "$work/packets" | cut -d' ' -f3-; }

start_host "radioinfo:127.0.0.1:$closed,no-such-host.invalid:12060,127.0.0.1:$listen,decoder:99999"

# The two errors, in whichever order they came, then no more.
echo report >&3
echo report >&3
for _ in $(seq 200); do [ "$(tr -d '\r' <"$work/out" | grep -c '^reported')" -ge 2 ] && break; sleep 0.1; done
reports=$(tr -d '\r' <"$work/out" | grep '^reported' | sort)
check "the destination that does not parse is reported" \
  "reported The switch /radioinfo: \"decoder:99999\" names no UDP port (1 to 65535); HOST:PORT, comma separated, is asked for." \
  "$(grep 'decoder' <<<"$reports")"
check "the name that does not resolve is reported" \
  "reported The radio's state is not sent to no-such-host.invalid:12060: the name no-such-host.invalid does not resolve to an IPv4 address." \
  "$(grep 'no-such-host' <<<"$reports")"

check "packets came at start" "yes" "$(await_packet '^packet 1 ' 100 0 && echo yes || echo no)"
check "every packet is a whole RadioInfo packet" "0" "$(grep -c '^bad' "$work/packets")"
check "the polled radio goes out: 14.2 MHz, USB, connected, not split" "yes" \
  "$(await_packet '^packet [0-9]* 1420000 1420000 USB False True False named$' 100 0 && echo yes || echo no)"

# A frequency change through the rigctl port.
seen=$(packets)
check "F 7074000" "" "$(rig F 7074000)"
check "the change goes out" "yes" \
  "$(await_packet '^packet [0-9]* 707400 707400 USB False True False named$' 100 "$seen" && echo yes || echo no)"
# Split: received on A, sent on B, which the stand-in keeps at 7.05 MHz.
seen=$(packets)
check "S 1 VFOB" "" "$(rig S 1 VFOB)"
check "split goes out with the other VFO's frequency" "yes" \
  "$(await_packet '^packet [0-9]* 707400 705000 USB True True False named$' 100 "$seen" && echo yes || echo no)"
check "M CW 0" "" "$(rig M CW 0)"
check "the mode goes out" "yes" \
  "$(await_packet '^packet [0-9]* 707400 705000 CW True True False named$' 100 "$seen" && echo yes || echo no)"

# Without change the state goes again (every 10 s): the same packet once more.
for _ in $(seq 30); do
  sleep 0.5
  last=$(last_packet)
  [ "$last" = "707400 705000 CW True True False named" ] && break
done
seen=$(packets)
check "the repeat without change comes" "yes" \
  "$(await_packet '^packet [0-9]* 707400 705000 CW True True False named$' 250 "$seen" && echo yes || echo no)"
check "every packet is still a whole RadioInfo packet" "0" "$(grep -c '^bad' "$work/packets")"

echo report >&3
for _ in $(seq 200); do [ "$(tr -d '\r' <"$work/out" | grep -c '^reported')" -ge 3 ] && break; sleep 0.1; done
check "each error was reported once" "reported nothing" "$(tr -d '\r' <"$work/out" | grep '^reported' | tail -1)"
[ "$failures" -eq 0 ] || { echo "rigctl_host.exe said:"; tr -d '\r' <"$work/out"; }
end_host

# ---- transmitting: hamlib's rigctld -m 1 as the rig server, which keys ----------
if command -v rigctld >/dev/null; then
  rport=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  rigctld -m 1 -P RIG -T 127.0.0.1 -t "$rport" >/dev/null 2>&1 &
  clients+=($!)
  for _ in $(seq 50); do [[ $(timeout 10 rigctl -m 2 -r "127.0.0.1:$rport" f 2>/dev/null) =~ ^[0-9]+$ ]] && break; sleep 0.1; done
  seen=$(packets)
  start_host "rigctld:$rport+radioinfo:127.0.0.1:$listen"
  check "the dummy radio goes out, not transmitting" "yes" \
    "$(await_packet '^packet [0-9]* 14500000 14500000 FM False True False named$' 150 "$seen" && echo yes || echo no)"
  # The key is the client's while it stays connected: one client keys and releases.
  mkfifo "$work/keyer"
  timeout 60 rigctl -m 2 -r "127.0.0.1:$port" - <"$work/keyer" >"$work/keyer.out" 2>&1 &
  clients+=($!)
  exec 4>"$work/keyer"
  seen=$(packets)
  echo "T 1" >&4
  check "T 1 through the rigctl port: transmitting goes out" "yes" \
    "$(await_packet '^packet [0-9]* 14500000 14500000 FM False True True named$' 100 "$seen" && echo yes || echo no)"
  seen=$(packets)
  echo "T 0" >&4
  check "T 0: receiving again goes out" "yes" \
    "$(await_packet '^packet [0-9]* 14500000 14500000 FM False True False named$' 100 "$seen" && echo yes || echo no)"
  echo q >&4
  exec 4>&-
  [ "$failures" -eq 0 ] || { echo "the keying client said:"; cat "$work/keyer.out"; echo "the last packets:"; tail -n 5 "$work/packets"; }
  check "every packet is a whole RadioInfo packet" "0" "$(grep -c '^bad' "$work/packets")"
  [ "$failures" -eq 0 ] || { echo "rigctl_host.exe said:"; tr -d '\r' <"$work/out"; }
  end_host
else
  echo "skipped: transmitting (rigctld is missing: scripts/deps.sh installs libhamlib-utils)"
fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
