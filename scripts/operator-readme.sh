#!/usr/bin/env bash
# Prints the operator's part of a README for README.txt in the packages: the
# parts between a line "<!-- operator -->" and a line "<!-- /operator -->", in
# order, with CR LF line ends, under a title line when one is given.
#   scripts/operator-readme.sh README.md ["Velkor 1.0.0"]
# Fails, printing nothing, when the markers do not pair up or the part is empty.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 README.md [TITLE]" >&2; exit 2; }
[ -r "$1" ] || { echo "$0: cannot read $1" >&2; exit 1; }

awk -v title="${2:-}" '
  function fail(message) { print FILENAME ":" FNR ": " message > "/dev/stderr"; failed = 1; exit 1 }
  { sub(/\r$/, "") }
  /^<!-- *operator *-->$/ {
    if (inside) fail("an operator part opens inside another")
    inside = 1; parts++
    if (n) text[++n] = ""
    next
  }
  /^<!-- *\/operator *-->$/ {
    if (!inside) fail("an operator part closes that was not opened")
    inside = 0
    next
  }
  /^[ \t]*<!-- *\/?operator/ { fail("an operator marker must stand alone on its line, as it is") }
  inside { text[++n] = $0; if ($0 ~ /[^ \t]/) words = 1 }
  END {
    if (failed) exit 1
    if (inside) { print FILENAME ": the last operator part is not closed" > "/dev/stderr"; exit 1 }
    if (!parts || !words) { print FILENAME ": no operator part" > "/dev/stderr"; exit 1 }
    if (title != "") printf "%s\r\n\r\n", title
    for (i = 1; i <= n; i++) printf "%s\r\n", text[i]
  }
' "$1"
