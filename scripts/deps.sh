#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running need,
# when any of them is missing.
set -euo pipefail

packages=(
  cmake make ninja-build g++ googletest libgtest-dev libgmock-dev # native build and tests
  g++-mingw-w64-x86-64 mingw-w64-tools libwine-dev         # Windows build, widl and its IDL imports
  wine wine64 xvfb imagemagick                             # running it: Wine, a display, screenshots
  nsis zip unzip                                           # packages: the installer and the zip
  libhamlib-utils                                          # hamlib's rigctl and rigctld: the rigctl port and the rigctld rig server
  python3 iproute2                                         # the rigctl port's hostile clients, and ss to see its sockets
  curl                                                     # the rigctl port refusing an HTTP client
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
