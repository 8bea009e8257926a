#!/usr/bin/env bash
# Installs the Debian packages a target needs, when they are missing.
# As root (or with password-less sudo) it runs apt-get; otherwise it prints
# the one command to run.
set -euo pipefail
set_native="locales cmake ninja-build ccache g++ clang libgtest-dev libgmock-dev libbenchmark-dev libclang-rt-14-dev nlohmann-json3-dev libasio-dev"
set_windows="g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth imagemagick googletest"
case "${1:-native}" in
  native) pkgs="$set_native" ;;
  windows|all) pkgs="$set_native $set_windows" ;;
  *) echo "usage: $0 native|windows|all" >&2; exit 2 ;;
esac
missing=()
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# A comma-decimal locale, so the tests can show that numbers in the exchange
# files keep their "." whatever the user's locale.
locale_missing=0
locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' || locale_missing=1
[ ${#missing[@]} -eq 0 ] && [ $locale_missing -eq 0 ] && exit 0
as_root=()
if [ "$(id -u)" != 0 ] && command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
  as_root=(sudo -n)
fi
if [ "$(id -u)" != 0 ] && [ ${#as_root[@]} -eq 0 ]; then
  [ ${#missing[@]} -gt 0 ] && echo "Missing packages. Run: sudo apt-get install -y ${missing[*]}" >&2
  [ $locale_missing -eq 1 ] && echo "Missing locale. Run: sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8" >&2
  exit 1
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
if [ $locale_missing -eq 1 ]; then
  echo "Generating the locale de_DE.UTF-8"
  "${as_root[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
