#!/usr/bin/env bash
# Configures and builds one target: tools/build.sh x86_64|i686 [build folder]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:-x86_64}
dir=${2:-$root/build}
tests=ON
[ "$arch" = i686 ] && tests=OFF   # 32-bit programs cannot run here; build the program alone
if [ ! -f "$dir/Makefile" ]; then
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-w64-mingw32.cmake" \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DTAVRO_TESTS=$tests >/dev/null
fi
cmake --build "$dir" -j "$(nproc)"
