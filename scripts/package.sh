#!/usr/bin/env bash
# Packages velkor.exe for Windows operators, from the Windows build:
#   OUT_DIR/velkor-<version>.zip        velkor.exe, velkor.ini, README.txt
#   OUT_DIR/velkor-<version>-setup.exe  the installer (NSIS, installer/Velkor.nsi)
# The version is the project's (CMakeLists.txt, project(VERSION)).
#
#   scripts/package.sh [--no-build] [BUILD_DIR [OUT_DIR]]
#
# BUILD_DIR defaults to build/release, a Release configuration of the Windows
# build, configured when missing; velkor.exe is built there first unless
# --no-build is given (the test suite packages the build it has just made).
# OUT_DIR defaults to dist.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

build=1
if [ "${1:-}" = "--no-build" ]; then
  build=0
  shift
fi
dir=${1:-build/release}
out=${2:-dist}

if [ $build = 1 ]; then
  scripts/deps.sh
  [ -f "$dir/CMakeCache.txt" ] ||
    cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release
  cmake --build "$dir" -j2 --target velkor
fi

version=$(cat "$dir/version.txt" 2>/dev/null || true)
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] ||
  { echo "$0: no version in $dir/version.txt: is $dir a configured Windows build?" >&2; exit 1; }
exe="$dir/bin/velkor.exe"
[ -f "$exe" ] || { echo "$0: $exe is missing: build it first" >&2; exit 1; }

# The packages' files, the program without its debugging symbols (its header
# stamped with the build's time, not the packaging's).
stage="$dir/package/velkor-$version"
rm -rf "$stage"
mkdir -p "$stage" "$out"
SOURCE_DATE_EPOCH=$(stat -c %Y "$exe") x86_64-w64-mingw32-strip -o "$stage/velkor.exe" "$exe"
cp velkor.ini "$stage/velkor.ini"
scripts/operator-readme.sh README.md "# Velkor $version" >"$stage/README.txt"

stage=$(cd "$stage" && pwd)
out=$(cd "$out" && pwd)
zip="$out/velkor-$version.zip"
setup="$out/velkor-$version-setup.exe"
rm -f "$zip" "$setup"

(cd "$stage" && zip -q -X "$zip" velkor.exe velkor.ini README.txt)
makensis -V2 -WX -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$setup" \
  "$top/installer/Velkor.nsi"

for file in "$zip" "$setup"; do
  printf '%s  %s bytes\n' "$file" "$(stat -c %s "$file")"
done
