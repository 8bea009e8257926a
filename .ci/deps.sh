#!/usr/bin/env bash
# Installs the Debian packages a target needs, when they are missing.
# As root it runs apt-get; otherwise it prints the one command to run.
set -euo pipefail
set_native="cmake ninja-build g++ clang libgtest-dev libgmock-dev libbenchmark-dev libclang-rt-14-dev nlohmann-json3-dev"
set_windows="g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth imagemagick googletest"
case "${1:-native}" in
  native) pkgs="$set_native" ;;
  windows) pkgs="$set_native $set_windows" ;;
  *) echo "usage: $0 native|windows" >&2; exit 2 ;;
esac
missing=()
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" = 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
else
  echo "Missing packages. Run: sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
