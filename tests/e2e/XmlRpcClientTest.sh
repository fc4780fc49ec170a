#!/usr/bin/env bash
# The XML-RPC port with hamlib's own client: the native rigctl with hamlib's
# model 4 (the backend WSJT-X and the like use for the rig program) against
# velkor.exe polling rigsim.exe, which rigctl_host.exe keeps running in the
# build's Wine session. Its open, reads, tuning, mode and split reaching the
# stand-in; browsers' requests (curl with Origin, text/plain, GET) and other
# protocols refused with nothing run; the limits, a slow client, pipelined
# calls, silent clients, hostile clients for a while (XmlRpcHostile.py; the
# seed is XMLRPC_HOSTILE_SEED, 1 unless set); then the port set by the
# registry, and a port another program holds.
#   XmlRpcClientTest.sh WINE-SESSION RIGCTL-HOST-EXE
set -u
session=$1
host_exe=$2
hostile=$(dirname "$0")/XmlRpcHostile.py
command -v rigctl >/dev/null || { echo "rigctl is missing: scripts/deps.sh installs libhamlib-utils"; exit 1; }
command -v python3 >/dev/null || { echo "python3 is missing: the hostile clients are a Python 3 script"; exit 1; }
command -v ss >/dev/null || { echo "ss is missing (iproute2): the sockets' states are read with it"; exit 1; }
command -v curl >/dev/null || { echo "curl is missing: scripts/deps.sh installs it"; exit 1; }

. "$(dirname "$0")/HostScript.sh"

# The rig server's flags, as the stand-in reports them.
DIG_U=134217728
CW_L=16777216
VFOAA=128
VFOAB=256
VFOBB=1024

xr() { timeout 10 rigctl -m 4 -r "127.0.0.1:$port" "$@" 2>/dev/null; }
joined() { tr '\n' ' ' | sed 's/ $//'; }

# ---- the port on the switch -----------------------------------------------------
start_host xmlrpc-switch
check "hamlib's model 4 opens and reads f" "14200000" "$(xr f)"
check "F 7074000 reaches the stand-in" "7074000 7050000" "$(xr F 7074000; state | cut -d' ' -f1,2)"
check "f reads it back" "7074000" "$(xr f)"
xr M PKTUSB 0
check "M PKTUSB: the stand-in is in upper digital" "$DIG_U" "$(state | cut -d' ' -f3)"
check "m" "PKTUSB 2400" "$(xr m | joined)"
xr M CWR 0
check "M CWR: the stand-in is in reversed CW" "$CW_L" "$(state | cut -d' ' -f3)"
check "m answers the mode's usual width" "CWR 500" "$(xr m | joined)"
xr V VFOB
check "V VFOB: the stand-in is on VFO B" "$VFOBB" "$(state | cut -d' ' -f4)"
check "v" "VFOB" "$(xr v)"
xr V VFOA
check "V VFOA" "$VFOAA" "$(state | cut -d' ' -f4)"
xr S 1 VFOB
check "S 1 VFOB: the stand-in receives on A, transmits on B" "$VFOAB" "$(state | cut -d' ' -f4)"
check "s" "1 VFOB" "$(xr s | joined)"
xr I 7075000
check "I 7075000 tunes VFO B" "7075000" "$(state | cut -d' ' -f2)"
check "i" "7075000" "$(xr i)"
xr S 0 VFOA
check "S 0 VFOA" "$VFOAA" "$(state | cut -d' ' -f4)"

# Any client of the protocol: curl's POST of a call.
url="http://127.0.0.1:$port/RPC2"
call='<?xml version="1.0"?><methodCall><methodName>rig.get_vfoA</methodName></methodCall>'
check "curl's call answers the frequency" "<value>7074000</value>" \
  "$(curl -s --max-time 10 -H 'Content-Type: text/xml' --data-binary "$call" "$url" | grep -o '<value>[0-9]*</value>')"
check "an unknown method answers a fault and nothing else" "1" \
  "$(curl -s --max-time 10 -H 'Content-Type: text/xml' \
    --data-binary '<methodCall><methodName>rig.nosuch</methodName></methodCall>' "$url" | grep -c faultString)"

# Browsers: any web page can make one send these to 127.0.0.1. Answered with
# an error and closed; nothing of them runs.
before=$(state)
tune='<?xml version="1.0"?><methodCall><methodName>rig.set_vfoA</methodName><params><param><value><double>7000000</double></value></param></params></methodCall>'
status() { curl -s -o /dev/null -w '%{http_code}' --max-time 10 "$@"; }
check "a page's POST with Origin" "403" \
  "$(status -H 'Content-Type: text/xml' -H 'Origin: http://example.com' --data-binary "$tune" "$url")"
check "a text/plain POST" "403" "$(status -H 'Content-Type: text/plain' --data-binary "$tune" "$url")"
check "a form POST" "403" "$(status --data "$tune" "$url")"
check "a GET" "405" "$(status "$url?rig.set_vfoA=7000000")"
check "a preflight" "405" "$(status -X OPTIONS -H 'Origin: http://example.com' "$url")"
limits=$(timeout 120 python3 "$hostile" limits "$port" 2>&1)
echo "$limits"
check "the limits and other protocols" \
  "head-over-limit 431|body-over-limit 413|chunked 501|no-length 411|get 405|preflight 405|origin 403|text-plain 403|tls closed|ssh closed|rigctl closed|junk closed" \
  "$(paste -sd'|' <<<"$limits")"
check "nothing of theirs reached the stand-in" "$before" "$(state)"
check "the port serves hamlib after them" "7074000" "$(xr f)"

# A client sending its head a byte at a time does not hold the others up.
slow=$(timeout 60 python3 "$hostile" slow "$port" 2>&1)
check "served while a slow client sends" "served 7074000" "$(grep '^served' <<<"$slow")"
check "the slow client's head past the limit" "slow 431" "$(grep '^slow' <<<"$slow")"

# Pipelined calls on one connection, answered in order, each tune one command.
check "200 calls in one write, answered in order" "answered 200 in order" \
  "$(timeout 120 python3 "$hostile" pipeline "$port" 200 2>&1)"
check "the last of them stands" "7000199" "$(state | cut -d' ' -f1)"

# Silent clients with half a request: one more takes the place of the one
# silent longest.
check "a 17th client is served while 16 wait silent" "served 7000199" \
  "$(timeout 60 python3 "$hostile" crowd "$port" 16 2>&1)"

# Hostile clients for a while; then a well-behaved client is served and the
# port holds no socket whose peer has gone.
timeout 90 python3 "$hostile" fuzz "$port" 20 "${XMLRPC_HOSTILE_SEED:-1}" 6
patience=$((SECONDS + 15))
until after=$(xr f) && [[ $after =~ ^[0-9]+$ ]] || [ $SECONDS -ge $patience ]; do sleep 0.1; done
check "after the hostile clients f answers a frequency" "yes" "$([[ $after =~ ^[0-9]+$ ]] && echo yes || echo "no: $after")"
half_closed() { ss -tanH state close-wait "( sport = :$port )" | wc -l; }
patience=$((SECONDS + 10))
until [ "$(half_closed)" -eq 0 ] || [ $SECONDS -ge $patience ]; do sleep 0.1; done
check "no socket of the port is left half-closed" "0" "$(half_closed)"

# A rig server that hangs: once velkor.exe has given its poll's call up, hamlib
# cannot open (its open reads the mode); once it answers, it can.
echo hang >&3
await '^hung' 100
patience=$((SECONDS + 30))
until [ -z "$(xr f)" ] || [ $SECONDS -ge $patience ]; do sleep 0.5; done
check "while the rig server hangs f answers no frequency" "" "$(xr f)"
echo answer >&3
await '^answered' 150
patience=$((SECONDS + 30))
until [[ $(xr f) =~ ^[0-9]+$ ]] || [ $SECONDS -ge $patience ]; do sleep 0.5; done
check "once it answers f reads the radio again" "yes" "$([[ $(xr f) =~ ^[0-9]+$ ]] && echo yes || echo no)"
end_host

# ---- the port in the registry ---------------------------------------------------
start_host xmlrpc-registry
check "XmlRpcPort in the registry opens the port" "14200000" "$(xr f)"
end_host

# ---- the port taken by another program ------------------------------------------
start_host xmlrpc-busy
check "a port that cannot be opened is reported" "reported Cannot open the XML-RPC port 127.0.0.1:$port" \
  "$(tr -d '\r' <"$work/out" | grep '^reported' | cut -d: -f1,2)"
end_host

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
