# What the end-to-end scripts that drive velkor.exe through rigctl_host.exe
# share, sourced with $session (the Wine session script) and $host_exe set:
# the checks and their count, waiting for the host's output, starting and
# ending the host, hamlib's rigctl against the port the host printed.
work=$(mktemp -d)
failures=0
host=
clients=()
cleanup() {
  local pid
  for pid in "${clients[@]}"; do kill "$pid" 2>/dev/null; done
  [ -n "$host" ] && end_host >/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

passes=0
check() { # what, expected, actual
  if [ "$2" = "$3" ]; then
    echo "ok   $1"
    passes=$((passes + 1))
  else
    echo "FAIL $1: expected [$2], got [$3]"
    failures=$((failures + 1))
  fi
}

# Waits up to $2 tenths of a second for a line matching $1 in the host's output.
await() {
  local i
  for i in $(seq "$2"); do
    grep -q -- "$1" "$work/out" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

start_host() { # mode
  rm -f "$work/in" "$work/out"
  mkfifo "$work/in"
  "$session" run "$host_exe" "$1" <"$work/in" >"$work/out" 2>"$work/err" &
  host=$!
  exec 3>"$work/in"
  await '^ready' 300 || { echo "FAIL rigctl_host.exe $1 did not get ready:"; tr -d '\r' <"$work/out"; exit 1; }
  port=$(tr -d '\r' <"$work/out" | awk '$1 == "port" { print $2 }')
}

end_host() {
  echo end >&3
  exec 3>&-
  local i code=1
  for i in $(seq 600); do kill -0 "$host" 2>/dev/null || break; sleep 0.1; done
  # A host that hangs (on a hung velkor.exe) fails here and says how far it
  # got, rather than holding the test until its time limit.
  if kill -0 "$host" 2>/dev/null; then
    echo "FAIL rigctl_host.exe did not end within 60 s of \"end\"; it said:"
    tr -d '\r' <"$work/out" | tail -n 5
    failures=$((failures + 1))
    kill "$host" 2>/dev/null
  fi
  wait "$host"
  code=$?
  host=
  check "velkor.exe ended as the operator ends it, rigsim.exe with it" "0 ended" \
    "$code $(tr -d '\r' <"$work/out" | grep -x ended)"
}

state() { # the stand-in's FREQA FREQB MODE VFO
  local serial
  serial=$(($(cat "$work/serial" 2>/dev/null || echo 0) + 1))
  echo "$serial" >"$work/serial"
  echo "state $serial" >&3
  await "^state $serial " 100 && tr -d '\r' <"$work/out" | awk -v k="$serial" '$1 == "state" && $2 == k { print $3, $4, $5, $6 }'
}

rig() { timeout 10 rigctl -m 2 -r "127.0.0.1:$port" "$@" 2>/dev/null; }

