#!/usr/bin/env bash
# The rigctl port with hamlib's own client: the native rigctl (hamlib programs
# under Wine reach the port through the host's sockets just so) against
# velkor.exe polling rigsim.exe, which rigctl_host.exe keeps running in the
# build's Wine session. The handshake, the commands reaching the stand-in,
# frequencies out of range, browsers' requests and other protocols refused
# (curl, and RigctlHostile.py with Python's http.client), two clients at once,
# a client sending a megabyte of junk, silent clients in every place, hostile
# clients for a while (RigctlHostile.py; the seed is RIGCTL_HOSTILE_SEED, 1
# unless set), 1,600 commands in one write while the operator types; then the
# port set by the registry, and a port another program holds.
#   RigctlClientTest.sh WINE-SESSION RIGCTL-HOST-EXE
set -u
session=$1
host_exe=$2
hostile=$(dirname "$0")/RigctlHostile.py
command -v rigctl >/dev/null || { echo "rigctl is missing: scripts/deps.sh installs libhamlib-utils"; exit 1; }
command -v python3 >/dev/null || { echo "python3 is missing: the hostile clients are a Python 3 script"; exit 1; }
command -v ss >/dev/null || { echo "ss is missing (iproute2): the sockets' states are read with it"; exit 1; }
command -v curl >/dev/null || { echo "curl is missing: scripts/deps.sh installs it"; exit 1; }

. "$(dirname "$0")/HostScript.sh"

# The rig server's flags, as the stand-in reports them.
DIG_U=134217728
VFOAB=256
VFOBB=1024

# ---- the port on the switch -----------------------------------------------------
start_host switch
# The handshake's replies are checked line by line natively; its time is the
# benchmark's (scripts/bench-rigctl.sh).
check "the handshake and f" "14200000" "$(rig f)"
check "F 7074000 answers nothing" "" "$(rig F 7074000)"
check "F 7074000 reached the stand-in" "7074000 7050000" "$(state | cut -d' ' -f1,2)"
check "f reads it back" "7074000" "$(rig f)"
check "M PKTUSB 0" "" "$(rig M PKTUSB 0)"
check "the stand-in is in upper digital" "$DIG_U" "$(state | cut -d' ' -f3)"
check "m" "PKTUSB 2400" "$(rig m | tr '\n' ' ' | sed 's/ $//')"
check "V VFOB" "" "$(rig V VFOB)"
check "the stand-in is on VFO B" "$VFOBB" "$(state | cut -d' ' -f4)"
check "v" "VFOB" "$(rig v)"
check "S 1 VFOB" "" "$(rig S 1 VFOB)"
check "the stand-in receives on A, transmits on B" "$VFOAB" "$(state | cut -d' ' -f4)"
check "s" "1 VFOB" "$(rig s | tr '\n' ' ' | sed 's/ $//')"
rig '\dump_state' >/dev/null
check "\\dump_state" "0" "$?"
# What dump_state tells is what F and I take; hamlib's client sends what is
# outside it, and the port refuses it.
range=$(timeout 10 bash -c "exec 5<>/dev/tcp/127.0.0.1/$port; printf '\\\\chk_vfo\\n\\\\dump_state\\nq\\n' >&5; cat <&5" | sed -n 5p)
check "\\dump_state's range is what the port takes" "1.000000 999999999.000000 0xcaf -1 -1 0x3 0x0" "$range"
before=$(state)
for freq in 1000000000 0 0.4 3000000000; do
  check "F $freq and I $freq are refused" "2" \
    "$(timeout 10 rigctl -m 2 -r "127.0.0.1:$port" F "$freq" I "$freq" 2>&1 | grep -c '^Invalid parameter')"
done
check "and never reached the stand-in" "$before" "$(state)"

# Another program than a rigctl client: a browser's request (any web page can
# make one), TLS, SSH. Closed at once, and nothing that came with it runs.
curl_ended() { case $1 in 52 | 55 | 56) echo "closed without reply" ;; *) echo "curl exit $1" ;; esac; }
commands=$'F 7000000\nM CW 0\nS 1 VFOB\nI 7001000\nV VFOB\n'
curl -s -o /dev/null --max-time 10 -H 'Content-Type: text/plain' -H 'Origin: http://example.com' \
  --data-binary "$commands" "http://127.0.0.1:$port/"
check "curl's POST with commands in its body" "closed without reply" "$(curl_ended $?)"
curl -s -o /dev/null --max-time 10 "http://127.0.0.1:$port/?F=7000000"
check "curl's GET" "closed without reply" "$(curl_ended $?)"
strangers=$(timeout 120 python3 "$hostile" strangers "$port" 2>&1)
echo "$strangers"
check "http.client, request and header lines, TLS, SSH: each closed" "8 0" \
  "$(grep -c '^closed' <<<"$strangers") $(grep -vc '^closed' <<<"$strangers")"
check "nothing of theirs reached the stand-in" "$before" "$(state)"
check "the port serves rigctl after them" "7074000" "$(rig f)"

# Two clients at once: the first stays connected while the second tunes.
mkfifo "$work/first"
timeout 60 rigctl -m 2 -r "127.0.0.1:$port" - <"$work/first" >"$work/first.out" 2>/dev/null &
clients+=($!)
exec 4>"$work/first"
echo f >&4
for _ in $(seq 100); do grep -q '^f ' "$work/first.out" && break; sleep 0.1; done
check "the first client reads" "f 7074000" "$(grep '^f ' "$work/first.out" | tail -1)"
check "a second client tunes meanwhile" "" "$(rig F 7075000)"
# The client keeps what it read for a while: it asks again until it sees it.
for _ in $(seq 20); do
  echo f >&4
  sleep 0.5
  [ "$(grep '^f ' "$work/first.out" | tail -1)" = "f 7075000" ] && break
done
check "the first client sees it within 10 s" "f 7075000" "$(grep '^f ' "$work/first.out" | tail -1)"
echo q >&4
exec 4>&-
wait "${clients[0]}"
check "the first client ends without error" "0" "$?"
clients=()

# A megabyte of junk (every byte value, long and short lines) after a
# client's first line, from a client that reads nothing: the port goes on
# serving.
printf '\\chk_vfo\n' >"$work/junk"
awk 'BEGIN { srand(7); for (i = 0; i < 1048576; i++) printf "%c", 1 + int(rand() * 255) }' >>"$work/junk"
timeout 30 bash -c "cat '$work/junk' >/dev/tcp/127.0.0.1/$port" 2>/dev/null
check "after the junk the port serves" "7075000" "$(rig f)"

# Silent clients in every place: one more takes the place of the one silent
# longest instead of being turned away.
crowd=$(timeout 60 python3 "$hostile" crowd "$port" 16 2>&1)
check "a 17th client is served while 16 stay silent" "served 7075000" "$(grep '^served' <<<"$crowd")"
check "the client silent longest made room" "closed 0" "$(grep '^closed' <<<"$crowd")"

# Hostile clients: junk, mutated commands, long lines, floods never read,
# clients gone at once or mid-reply. Then a well-behaved client is served and
# the port holds no socket whose peer has gone.
timeout 90 python3 "$hostile" fuzz "$port" 25 "${RIGCTL_HOSTILE_SEED:-1}" 6
t0=$(date +%s%N)
patience=$((SECONDS + 15))
until after=$(rig f) && [[ $after =~ ^[0-9]+$ ]] || [ $SECONDS -ge $patience ]; do sleep 0.1; done
echo "after the hostile clients rigctl was served in $((($(date +%s%N) - t0) / 1000000)) ms"
check "after the hostile clients f answers a frequency" "yes" "$([[ $after =~ ^[0-9]+$ ]] && echo yes || echo "no: $after")"
half_closed() { ss -tanH state close-wait "( sport = :$port )" | wc -l; }
patience=$((SECONDS + 10))
until [ "$(half_closed)" -eq 0 ] || [ $SECONDS -ge $patience ]; do sleep 0.1; done
check "no socket of the port is left half-closed" "0" "$(half_closed)"

# 1,600 commands in one write: all answered in order, while the window
# serves the operator's typing in between (the typed frequency reaches the
# stand-in before the last of them).
t0=$(date +%s%N)
python3 "$hostile" flood "$port" 1600 >"$work/flood" 2>&1 &
flood=$!
for _ in $(seq 300); do grep -q '^begun' "$work/flood" && break; sleep 0.1; done
echo "type 1420000 14200000 7015990" >&3
await '^typed' 200
check "typed during the flood, served before its end" "typed before" "$(tr -d '\r' <"$work/out" | grep '^typed')"
wait "$flood"
echo "the flood was answered in $((($(date +%s%N) - t0) / 1000000)) ms"
check "1,600 F in one write, answered in order" "answered 1600 in order" "$(grep '^answered' "$work/flood")"
check "the last of them stands" "7015990" "$(rig f)"

# A rig server that hangs: once velkor.exe has given its poll's call up, reads
# answer an error instead of the last values; once it answers, values again.
echo hang >&3
await '^hung' 100
patience=$((SECONDS + 30))
until [ -z "$(rig f)" ] || [ $SECONDS -ge $patience ]; do sleep 0.5; done
check "while the rig server hangs f answers no frequency" "" "$(rig f)"
echo answer >&3
await '^answered' 150
check "the hang was reported" "answered The rig server does not answer." \
  "$(tr -d '\r' <"$work/out" | grep '^answered')"
patience=$((SECONDS + 30))
until [[ $(rig f) =~ ^[0-9]+$ ]] || [ $SECONDS -ge $patience ]; do sleep 0.5; done
check "once it answers f reads the radio again" "yes" "$([[ $(rig f) =~ ^[0-9]+$ ]] && echo yes || echo no)"
end_host

# ---- the port in the registry ---------------------------------------------------
start_host registry
check "RigctlPort in the registry opens the port" "14200000" "$(rig f)"
end_host

# ---- the port taken by another program ------------------------------------------
start_host busy
check "a port that cannot be opened is reported" "reported Cannot open the rigctl port 127.0.0.1:$port" \
  "$(tr -d '\r' <"$work/out" | grep '^reported' | cut -d: -f1,2)"
end_host

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
