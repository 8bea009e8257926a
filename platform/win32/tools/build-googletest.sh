#!/usr/bin/env bash
# Builds GoogleTest from Debian's source package with the mingw-w64
# toolchain and installs it under <dir>/install (once; later runs are no-ops).
set -euo pipefail
dir=${1:?usage: $0 <dir> [jobs]}
jobs=${2:-2}
root=$(cd "$(dirname "$0")/../../.." && pwd)
[ -f "$dir/install/lib/cmake/GTest/GTestConfig.cmake" ] && exit 0
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
cmake -S /usr/src/googletest -B "$dir/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DCMAKE_INSTALL_PREFIX="$dir/install" \
  -Dgtest_disable_pthreads=ON -DBUILD_GMOCK=ON >/dev/null
cmake --build "$dir/build" -j "$jobs"
cmake --install "$dir/build" >/dev/null
