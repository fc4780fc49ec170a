#!/usr/bin/env bash
# Velkor against the station programs themselves (Debian's WSJT-X and fldigi),
# by hand, not a test of the suite: velkor.exe under Wine polls hamlib's
# `rigctld -m 1 -P RIG` (the dummy radio with PTT) with both sharing ports
# open, and then
#   1. WSJT-X on "Hamlib NET rigctl" at Velkor's rigctl port, PTT by CAT;
#      once more with the mode Data/Pkt and split by the rig;
#   2. WSJT-X on "FLRig" at Velkor's XML-RPC port;
#   3. fldigi as the rig program's client on Velkor's XML-RPC port;
# each reads the frequency, tunes, keys and releases the dummy with its own
# controls, and is killed while keyed (the dummy must be released then).
# Needs a display: without DISPLAY it starts Xvfb. Screenshots of each
# program go to build/station-clients/.
#   scripts/station-clients.sh [WINDOWS-BUILD-DIR]   (default build/windows)
# STATION_CLIENTS_KEEP=1 keeps the programs' homes and logs in /tmp;
# STATION_CLIENTS_DEBUG=1 adds the pointer and the windows to the notes, and a
# screenshot at each click taken again.
# Installs what is missing: wsjtx fldigi libhamlib-utils xvfb imagemagick
# xdotool wine. Exits non-zero on any FAIL.
set -u
cd "$(dirname "$0")/.."
build=${1:-build/windows}
host_exe=$build/bin/rigctl_host.exe
shots=$PWD/build/station-clients

missing=()
for need in wsjtx:wsjtx fldigi:fldigi rigctld:libhamlib-utils Xvfb:xvfb import:imagemagick \
  xdotool:xdotool wine:wine python3:python3 ss:iproute2; do
  command -v "${need%%:*}" >/dev/null || missing+=("${need#*:}")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update >/dev/null && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}" >/dev/null ||
    { echo "FAIL could not install ${missing[*]}"; exit 1; }
fi
[ -f "$host_exe" ] && [ -f "$build/bin/velkor.exe" ] && [ -d "$build/wineprefix" ] ||
  { echo "FAIL $build has no bin/velkor.exe, bin/rigctl_host.exe or wineprefix: build the Windows tree first"; exit 1; }

work=$(mktemp -d /tmp/station-clients.XXXXXX)
mkdir -p "$shots" "$work/tmp"
passes=0
failures=0
xvfb_pid=
rigctld_pid=
host_pid=
program_pids=()

check() { # what, expected, actual
  if [ "$2" = "$3" ]; then
    echo "PASS $1"
    passes=$((passes + 1))
  else
    echo "FAIL $1: expected [$2], got [$3]"
    failures=$((failures + 1))
  fi
}
note() { echo "     $*"; }

cleanup() {
  local pid
  for pid in "${program_pids[@]}"; do kill -9 "$pid" 2>/dev/null; done
  if [ -n "$host_pid" ]; then
    { echo end >&3; } 2>/dev/null
    for _ in $(seq 100); do kill -0 "$host_pid" 2>/dev/null || break; sleep 0.1; done
    kill "$host_pid" 2>/dev/null
  fi
  # Only this script's prefix: other sessions' Wine goes on.
  [ -n "${WINEPREFIX:-}" ] && { wineserver -k >/dev/null 2>&1; wineserver -w >/dev/null 2>&1; }
  [ -n "$rigctld_pid" ] && kill "$rigctld_pid" 2>/dev/null
  # WSJT-X killed leaves its shared memory behind: the segments its processes made.
  for pid in "${program_pids[@]}"; do
    ipcs -m -p 2>/dev/null | awk -v p="$pid" '$3 == p { print $1 }' | xargs -r -n1 ipcrm -m 2>/dev/null
  done
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  if [ -n "${STATION_CLIENTS_KEEP:-}" ]; then echo "     kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
dummy() { timeout 10 rigctl -m 2 -r "127.0.0.1:$rport" "$@" 2>/dev/null; }
velkor() { timeout 10 rigctl -m 2 -r "127.0.0.1:$port" "$@" 2>/dev/null; }
# Waits up to $2 seconds until the command after it prints $1; prints what it printed last.
until_is() {
  local want=$1 patience=$((SECONDS + $2)) got
  shift 2
  until got=$("$@") && [ "$got" = "$want" ] || [ $SECONDS -ge $patience ]; do sleep 0.3; done
  echo "$got"
}
act_state= # a command printing the program's own view, for the notes
# Does ACTION, and again (3 times at most) while the command after it does not
# print WANT within SECONDS: a program just started may not take a click yet.
# Prints what the command printed last.
act_until() { # WANT SECONDS ACTION COMMAND...
  local want=$1 wait=$2 action=$3 got try state
  shift 3
  for try in 1 2 3; do
    eval "$action"
    got=$(until_is "$want" "$wait" "$@")
    [ "$got" = "$want" ] && break
    [ -n "${STATION_CLIENTS_DEBUG:-}" ] && shot "retry-$(date +%H%M%S)" >&2
    state=
    [ -n "$act_state" ] && state="; the program's own state: $(eval "$act_state")"
    note "($action: not yet after $wait s$state)" >&2
  done
  echo "$got"
}
since() { awk -v from="$1" -v now="$(date +%s.%N)" 'BEGIN { printf "%.1f", now - from }'; }
shot() { # name
  import -window root "$shots/$1.png" 2>/dev/null && note "screenshot $shots/$1.png"
}

# ---- the display, Wine, rigctld, velkor.exe -------------------------------------
if [ -z "${DISPLAY:-}" ]; then
  n=150
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 </dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  [ -e "/tmp/.X11-unix/X$n" ] || { echo "FAIL Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
  export DISPLAY=":$n"
fi

# A copy of the build's prefix (rigsim.exe registered in it) with a Wine
# session of its own.
cp -a "$build/wineprefix" "$work/prefix"
for folder in "$work"/prefix/drive_c/users/*/*; do
  if [ -L "$folder" ]; then rm -f "$folder" && mkdir "$folder"; fi
done
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
setsid wineserver -p >/dev/null 2>&1 </dev/null
setsid wineboot >/dev/null 2>&1 </dev/null
# Xvfb has no window manager; Wine would wait for one at every hide.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null

rport=$(free_port)
rigctld -m 1 -P RIG -T 127.0.0.1 -t "$rport" >"$work/rigctld.log" 2>&1 &
rigctld_pid=$!
[[ $(until_is 145000000 10 dummy f) = 145000000 ]] || { echo "FAIL rigctld did not start on $rport"; exit 1; }

xport=$(free_port)
mkfifo "$work/in"
RIGCTL_HOST_SWITCHES="/xmlrpc:$xport" wine "$host_exe" "rigctld:$rport" <"$work/in" >"$work/out" 2>"$work/err" &
host_pid=$!
exec 3>"$work/in"
for _ in $(seq 300); do grep -q '^ready' "$work/out" 2>/dev/null && break; sleep 0.1; done
grep -q '^ready' "$work/out" || { echo "FAIL rigctl_host.exe did not get ready:"; tr -d '\r' <"$work/out"; exit 1; }
port=$(tr -d '\r' <"$work/out" | awk '$1 == "port" { print $2 }')
note "rigctld -m 1 -P RIG on 127.0.0.1:$rport; velkor.exe: rigctl port $port, XML-RPC port $xport"
check "velkor.exe reads the dummy through rigctld" 145000000 "$(until_is 145000000 20 velkor f)"
check "velkor.exe's XML-RPC port answers" 145000000 \
  "$(until_is 145000000 10 timeout 10 rigctl -m 4 -r "127.0.0.1:$xport" f 2>/dev/null)"

# Every check below first sets the dummy where the program has not been.
radio_note() { # what rigctld and Velkor's port say of the VFOs
  local at
  for at in dummy velkor; do
    note "$at: VFO $($at v), split $($at s | tr '\n' ' ')TX $($at i), frequency $($at f), mode $($at m | head -1)"
  done
}
fresh() { # FREQ: the dummy tuned there on VFO A without split, receiving, and Velkor's port reading it
  radio_note
  dummy T 0 >/dev/null
  dummy V VFOA >/dev/null
  dummy S 0 VFOA >/dev/null
  dummy F "$1" >/dev/null
  until_is "$1" 15 velkor f >/dev/null
}

# ---- WSJT-X -----------------------------------------------------------------------
# WSJT-X tells its state in UDP datagrams (its "Status" message: the dial
# frequency and whether it transmits); this listener keeps the latest.
cat >"$work/wsjtx_status.py" <<'PY'
import os, socket, struct, sys
sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
sock.bind(("127.0.0.1", int(sys.argv[1])))
def utf8(data, at):
    (n,) = struct.unpack_from(">I", data, at)
    return (b"", at + 4) if n == 0xFFFFFFFF else (data[at + 4:at + 4 + n], at + 4 + n)
while True:
    data = sock.recv(65536)
    try:
        magic, schema, kind = struct.unpack_from(">III", data, 0)
        if magic != 0xADBCCBDA or kind != 1:
            continue
        _, at = utf8(data, 12)
        (dial,) = struct.unpack_from(">Q", data, at)
        at += 8
        for _ in range(4):  # mode, DX call, report, TX mode
            _, at = utf8(data, at)
        enabled, transmitting = struct.unpack_from(">??", data, at)
    except struct.error:
        continue
    with open(sys.argv[2] + ".new", "w") as out:
        out.write("%d %d\n" % (dial, transmitting))
    os.replace(sys.argv[2] + ".new", sys.argv[2])
PY

wsjtx_pid=
wsjtx_window=
# The latest status: "DIAL TRANSMITTING".
wsjtx_status() { cat "$work/wsjtx-$wsjtx_name.status" 2>/dev/null; }
wsjtx_dial() { wsjtx_status | cut -d' ' -f1; }
wsjtx_start() { # NAME RIG HOST:PORT [MORE-INI-LINES]
  wsjtx_name=$1
  local home=$work/home-$1 udp
  udp=$(free_port)
  mkdir -p "$home/.config" "$work/tmp/$1" "$work/run-$1"
  chmod 700 "$work/run-$1"
  # A sound card of nothing: WSJT-X wants one to transmit into.
  cat >"$home/.asoundrc" <<'ALSA'
pcm.station_null {
  type null
  hint { show on description "discards everything" }
}
ALSA
  # The keys as WSJT-X's own Settings dialog writes them.
  cat >"$home/.config/WSJT-X - $1.ini" <<INI
[Configuration]
MyCall=K1ABC
MyGrid=FN42
Rig=$2
CATNetworkPort=$3
PTTMethod=@Variant(\0\0\0\x7f\0\0\0\x1eTransceiverFactory::PTTMethod\0\0\0\0\xfPTT_method_CAT\0)
Polling=1
SoundInName=station_null
SoundOutName=station_null
MonitorOFF=true
UDPServer=127.0.0.1
UDPServerPort=$udp
AcceptUDPRequests=false
${4:-}
[MultiSettings]
CurrentName=Default
INI
  python3 "$work/wsjtx_status.py" "$udp" "$work/wsjtx-$1.status" &
  program_pids+=($!)
  disown $! # killed at the end, without a word from the shell
  HOME=$home TMPDIR=$work/tmp/$1 XDG_RUNTIME_DIR=$work/run-$1 wsjtx --rig-name="$1" \
    >"$work/wsjtx-$1.log" 2>&1 </dev/null &
  wsjtx_pid=$!
  program_pids+=($wsjtx_pid)
  wsjtx_window=
  local patience=$((SECONDS + 60))
  until [ -n "$wsjtx_window" ] || [ $SECONDS -ge $patience ]; do
    sleep 1
    wsjtx_window=$(xdotool search --all --onlyvisible --pid "$wsjtx_pid" --name 'by K1JT' 2>/dev/null | head -1)
  done
  [ -n "$wsjtx_window" ] || return 1
  # Below Velkor's window, which stays in sight (its title bar turns red while
  # the radio transmits); the waterfall to the right of it.
  xdotool windowmove --sync "$wsjtx_window" 0 330 2>/dev/null
  xdotool search --all --onlyvisible --pid "$wsjtx_pid" --name 'Wide Graph' 2>/dev/null |
    xargs -r -I{} xdotool windowmove {} 620 20 2>/dev/null
  return 0
}
wsjtx_tune_button() { xdotool mousemove --window "$wsjtx_window" 752 395 click 1; }
# The band box left of the dial: a frequency in MHz typed into it tunes.
wsjtx_tune() { # MHZ
  # The keyboard to WSJT-X: without a window manager it may still be Velkor's.
  xdotool windowfocus --sync "$wsjtx_window" 2>/dev/null
  xdotool mousemove --window "$wsjtx_window" 30 432 click --repeat 3 1
  if [ -n "${STATION_CLIENTS_DEBUG:-}" ]; then
    note "pointer: $(xdotool getmouselocation) main window $wsjtx_window" >&2
    xdotool search --onlyvisible --name '.' 2>/dev/null | while read -r w; do
      note "window $w [$(xdotool getwindowname "$w")] $(xdotool getwindowgeometry "$w" | tr '\n' ' ')" >&2
    done
  fi
  xdotool key ctrl+a
  xdotool type --delay 50 "$1"
  xdotool key Return
  # Away from the box: the next click is then taken by what it is on.
  xdotool mousemove --window "$wsjtx_window" 215 38 click 1
}
wsjtx_kill() { # the program and its decoder, as a crash would end them
  local children
  children=$(pgrep -P "$wsjtx_pid" 2>/dev/null)
  program_pids+=($children)
  kill -9 "$wsjtx_pid" $children 2>/dev/null
  wait "$wsjtx_pid" 2>/dev/null
}

# As most operators set it: the mode Data/Pkt and split by the rig, so that
# WSJT-X transmits on the other VFO with its audio in the passband's middle.
wsjtx_split_case() {
  local what="WSJT-X on \"Hamlib NET rigctl\" with Data/Pkt and split by the rig"
  echo "---- $what"
  fresh 14074000
  dummy M USB 0 >/dev/null
  # VFO B elsewhere, where WSJT-X must move it to transmit. Velkor's port reads
  # VFO B from rigctld at every poll while split is on.
  velkor I 7076000 >/dev/null
  until_is 7076000 10 velkor i >/dev/null
  act_state="echo dial and transmitting \$(wsjtx_status)"
  if ! wsjtx_start velkor-split "Hamlib NET rigctl" "127.0.0.1:$port" \
    'DataMode=@Variant(\0\0\0\x7f\0\0\0\x18\x43onfiguration::DataMode\0\0\0\0\xf\x64\x61ta_mode_data\0)
SplitMode=@Variant(\0\0\0\x7f\0\0\0\x1eTransceiverFactory::SplitMode\0\0\0\0\xfsplit_mode_rig\0)'; then
    check "$what: its window" "up" "none within 60 s"
    shot wsjtx-velkor-split
    return
  fi
  check "$what reads Velkor's frequency" 14074000 "$(until_is 14074000 30 wsjtx_dial)"
  check "$what tunes 7.074 MHz" 7074000 "$(act_until 7074000 10 'wsjtx_tune 7.074' dummy f)"
  check "and sets the upper digital mode" PKTUSB "$(until_is PKTUSB 10 eval 'dummy m | head -1')"
  check "$what Tune keys the dummy" 1 "$(act_until 1 10 wsjtx_tune_button dummy t)"
  check "and transmits split on VFO B" "1 VFOB" "$(until_is '1 VFOB' 10 eval 'dummy s | tr "\n" " " | sed "s/ \$//"')"
  # WSJT-X's hamlib reads VFO B as "V VFOB", "f", "V VFOA" and moves it only
  # when it is not there yet; its audio at 1500 Hz transmits on the dial.
  check "and VFO B, transmitting, is on WSJT-X's 7.074 MHz" 7074000 "$(until_is 7074000 10 velkor i)"
  # hamlib's read of the other VFO, on one connection, against Velkor's own i.
  check "VFO B read as hamlib reads it (V VFOB, f, V VFOA) is Velkor's i" "$(velkor i)" \
    "$(velkor V VFOB f V VFOA | grep -x '[0-9]*' | head -1)"
  shot wsjtx-velkor-split-tune
  check "$what Tune again releases it" 0 "$(act_until 0 10 wsjtx_tune_button dummy t)"
  wsjtx_kill
  check "$what killed: the dummy receives" 0 "$(until_is 0 15 dummy t)"
}

wsjtx_case() { # NAME RIG HOST:PORT
  local what="WSJT-X on \"$2\" at $3"
  echo "---- $what"
  fresh 14074000
  act_state="echo dial and transmitting \$(wsjtx_status)"
  if ! wsjtx_start "$1" "$2" "$3"; then
    check "$what: its window" "up" "none within 60 s"
    shot "wsjtx-$1"
    return
  fi
  check "$what reads Velkor's frequency" 14074000 "$(until_is 14074000 30 wsjtx_dial)"
  dummy F 14076000 >/dev/null
  check "$what reads a change at the radio" 14076000 "$(until_is 14076000 20 wsjtx_dial)"
  check "$what tunes: its 7.074 MHz reaches rigctld" 7074000 "$(act_until 7074000 10 'wsjtx_tune 7.074' dummy f)"
  check "and Velkor reads it back" 7074000 "$(until_is 7074000 10 velkor f)"
  check "$what tunes again: 10.136 MHz" 10136000 "$(act_until 10136000 10 'wsjtx_tune 10.136' dummy f)"
  check "$what Tune keys the dummy" 1 "$(act_until 1 10 wsjtx_tune_button dummy t)"
  check "and WSJT-X says it transmits" "10136000 1" "$(until_is '10136000 1' 10 wsjtx_status)"
  shot "wsjtx-$1-tune"
  check "$what Tune again releases it" 0 "$(act_until 0 10 wsjtx_tune_button dummy t)"
  check "and WSJT-X says it receives" "10136000 0" "$(until_is '10136000 0' 10 wsjtx_status)"
  shot "wsjtx-$1"
  check "$what keyed once more" 1 "$(act_until 1 10 wsjtx_tune_button dummy t)"
  local killed
  killed=$(date +%s.%N)
  wsjtx_kill
  check "$what killed while keyed: Velkor releases the dummy" 0 "$(until_is 0 15 dummy t)"
  note "$(since "$killed") s after the kill"
  check "and Velkor's port goes on" 10136000 "$(until_is 10136000 10 velkor f)"
}

wsjtx_case velkor-rigctl "Hamlib NET rigctl" "127.0.0.1:$port"
wsjtx_split_case
wsjtx_case velkor-xmlrpc "FLRig FLRig" "127.0.0.1:$xport"

# ---- fldigi -----------------------------------------------------------------------
# fldigi is driven and read through its own XML-RPC control server.
fldigi_pid=
fl() { # METHOD [NUMBER]
  timeout 10 python3 -c 'import sys, xmlrpc.client
proxy = xmlrpc.client.ServerProxy("http://127.0.0.1:%s/RPC2" % sys.argv[1])
answer = getattr(proxy, sys.argv[2])(*[float(a) for a in sys.argv[3:]])
print(int(answer) if isinstance(answer, float) else answer)' "$flport" "$@" 2>/dev/null
}
fldigi_case() {
  local what="fldigi on its rig program interface at 127.0.0.1:$xport" home=$work/home-fldigi
  echo "---- $what"
  fresh 14070000
  flport=$(free_port)
  mkdir -p "$home/.fldigi"
  # The keys as fldigi's Configure, Save Config writes them; the rest keep
  # their defaults. File I/O as the sound card: no sound card is needed.
  cat >"$home/.fldigi/fldigi_def.xml" <<XML
<FLDIGI_DEFS>
<CONFIRMEXIT>0</CONFIRMEXIT>
<CHECK_FOR_UPDATES>0</CHECK_FOR_UPDATES>
<MYCALL>K1ABC</MYCALL>
<AUDIOIO>3</AUDIOIO>
<XMLRPC_ADDRESS>127.0.0.1</XMLRPC_ADDRESS>
<XMLRPC_PORT>$flport</XMLRPC_PORT>
<CLIENT_TO_FLRIG>1</CLIENT_TO_FLRIG>
<FLRIG_IP_ADDRESS>127.0.0.1</FLRIG_IP_ADDRESS>
<FLRIG_IP_PORT>$xport</FLRIG_IP_PORT>
</FLDIGI_DEFS>
XML
  HOME=$home TMPDIR=$work/tmp fldigi >"$work/fldigi.log" 2>&1 </dev/null &
  fldigi_pid=$!
  program_pids+=($fldigi_pid)
  if [ "$(until_is fldigi 30 fl fldigi.name)" != fldigi ]; then
    check "$what: its control server" "up" "none within 30 s"
    shot fldigi
    return
  fi
  xdotool search --all --onlyvisible --pid "$fldigi_pid" --name '^fldigi' 2>/dev/null |
    xargs -r -I{} xdotool windowmove {} 0 330 2>/dev/null
  check "$what reads Velkor's frequency" 14070000 "$(until_is 14070000 20 fl rig.get_frequency)"
  dummy F 14071000 >/dev/null
  check "$what reads a change at the radio" 14071000 "$(until_is 14071000 20 fl rig.get_frequency)"
  fl main.set_frequency 7070000 >/dev/null
  check "$what tunes: its 7.070 MHz reaches rigctld" 7070000 "$(until_is 7070000 20 dummy f)"
  check "and Velkor reads it back" 7070000 "$(until_is 7070000 10 velkor f)"
  fl main.tx >/dev/null
  check "$what TX keys the dummy" 1 "$(until_is 1 15 dummy t)"
  check "and fldigi says it transmits" TX "$(until_is TX 10 fl main.get_trx_state)"
  shot fldigi-tx
  fl main.rx >/dev/null
  check "$what RX releases it" 0 "$(until_is 0 15 dummy t)"
  check "and fldigi says it receives" RX "$(until_is RX 10 fl main.get_trx_state)"
  shot fldigi
  fl main.tx >/dev/null
  check "$what keyed once more" 1 "$(until_is 1 15 dummy t)"
  local killed
  killed=$(date +%s.%N)
  kill -9 "$fldigi_pid" 2>/dev/null
  wait "$fldigi_pid" 2>/dev/null
  check "$what killed while keyed: Velkor releases the dummy" 0 "$(until_is 0 15 dummy t)"
  note "$(since "$killed") s after the kill"
  check "and Velkor's port goes on" 7070000 "$(until_is 7070000 10 velkor f)"
}

fldigi_case

# ---- Velkor all along -------------------------------------------------------------
echo "---- velkor.exe"
radio_note
echo report >&3
for _ in $(seq 200); do grep -q '^reported' "$work/out" && break; sleep 0.1; done
check "velkor.exe showed no message box all along" "reported nothing" \
  "$(tr -d '\r' <"$work/out" | grep '^reported' | tail -1)"
shot velkor
echo end >&3
exec 3>&-
for _ in $(seq 300); do kill -0 "$host_pid" 2>/dev/null || break; sleep 0.1; done
check "velkor.exe ended as the operator ends it" ended "$(tr -d '\r' <"$work/out" | grep -x ended)"
check "and the dummy receives" 0 "$(dummy t)"
wait "$host_pid" 2>/dev/null
host_pid=

# ---- the summary ------------------------------------------------------------------
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
