#!/usr/bin/env bash
# The packages scripts/package.sh made from a build: both named after the
# version, the zip holding exactly velkor.exe, velkor.ini and README.txt as
# staged for the installer, README.txt the README's operator part with CR LF
# line ends; and README.txt's maker refusing markers that do not pair up.
#   PackageTest.sh SOURCE_DIR BUILD_DIR DIST_DIR VERSION
set -uo pipefail
source=$1 build=$2 dist=$3 version=$4
zip="$dist/velkor-$version.zip"
stage="$build/package/velkor-$version"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

passed=0 failed=0
check() {
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
  fi
}
same() { [ "$1" = "$2" ] || { printf '  expected: %q\n  actual:   %q\n' "$2" "$1"; false; }; }

check "the zip is named after the version" test -f "$zip"
check "the installer is named after the version" test -f "$dist/velkor-$version-setup.exe"
check "the zip holds exactly velkor.exe, velkor.ini and README.txt" \
  same "$(unzip -Z1 "$zip" | LC_ALL=C sort | tr '\n' ' ')" "README.txt velkor.exe velkor.ini "

unzip -q "$zip" -d "$scratch/zip"
for name in velkor.exe velkor.ini README.txt; do
  check "the zip's $name is the installer's" cmp -s "$scratch/zip/$name" "$stage/$name"
done
SOURCE_DATE_EPOCH=$(stat -c %Y "$build/bin/velkor.exe") \
  x86_64-w64-mingw32-strip -o "$scratch/stripped.exe" "$build/bin/velkor.exe"
check "velkor.exe is the build's, without its debugging symbols" cmp -s "$scratch/zip/velkor.exe" "$scratch/stripped.exe"
check "velkor.ini is the shipped bands file" cmp -s "$scratch/zip/velkor.ini" "$source/velkor.ini"

readme="$scratch/zip/README.txt"
check "every line of README.txt ends in CR LF" \
  same "$(grep -c $'\r$' "$readme")" "$(grep -c '' "$readme")"
check "README.txt ends with a line end" same "$(tail -c 2 "$readme" | od -An -c | tr -d ' ')" '\r\n'
check "README.txt opens with the version" same "$(head -n 1 "$readme")" $'# Velkor '"$version"$'\r'
for heading in "## What it is" "### The bands file" "## Installing on Windows" "## For loggers" "## Sharing the radio" \
  "## The memory list"; do
  check "README.txt has \"$heading\"" grep -q "^$heading" "$readme"
done
for text in "## Builds" "## Benchmark" "## The stand-in rig server" "scripts/package.sh" "<!--"; do
  check "README.txt leaves out \"$text\"" bash -c '! grep -qF -- "$0" "$1"' "$text" "$readme"
done

# README.txt's maker: each case a README, and what it gives ("fails" when it must refuse).
maker="$source/scripts/operator-readme.sh"
n=0
while IFS='|' read -r readme_text expected; do
  n=$((n + 1))
  printf '%b' "$readme_text" >"$scratch/case.md"
  "$maker" "$scratch/case.md" "T" >"$scratch/out" 2>/dev/null
  code=$?
  if [ "$expected" = fails ]; then
    check "case $n is refused" same "$code:$(wc -c <"$scratch/out")" "1:0"
  else
    printf '%b' "$expected" >"$scratch/want"
    check "case $n" same "$code" 0
    check "case $n gives its operator part" cmp "$scratch/out" "$scratch/want"
  fi
done <<'CASES'
dev\n<!-- operator -->\nA\r\nB\n<!-- /operator -->\ndev\n<!-- operator -->\nC\n<!-- /operator -->\n|T\r\n\r\nA\r\nB\r\n\r\nC\r\n
no markers at all\n|fails
<!-- operator -->\nA\n|fails
A\n<!-- /operator -->\n|fails
<!-- operator -->\n<!-- operator -->\nA\n<!-- /operator -->\n|fails
<!-- operator -->\nA\n<!-- operator --> B\n<!-- /operator -->\n|fails
<!-- operator -->\n  \n<!-- /operator -->\n|fails
CASES

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
