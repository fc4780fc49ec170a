# The Windows build a benchmark measures, sourced by scripts/bench.sh,
# scripts/bench-rigctl.sh and scripts/soak-hang.sh: bench_build BUILD TARGET...
# sets $dir and $bin to BUILD as it stands when it is not empty, else to
# build/windows built as far as the targets need, and exits when a target's
# program is missing.
bench_build() {
  local build=$1
  shift
  if [ -n "$build" ]; then
    dir=$build
  else
    dir=build/windows
    scripts/deps.sh || exit 1
    [ -f "$dir/CMakeCache.txt" ] || cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake || exit 1
    cmake --build "$dir" -j2 --target "$@" wine_ready || exit 1
  fi
  dir=$(realpath "$dir")
  bin=$dir/bin
  local exe
  for exe in "$@"; do
    [ -f "$bin/$exe.exe" ] || { echo "$0: $bin/$exe.exe is missing" >&2; exit 1; }
  done
  [ -d "$dir/wineprefix" ] || { echo "$0: $dir/wineprefix is missing" >&2; exit 1; }
}
