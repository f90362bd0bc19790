#!/usr/bin/env bash
# Builds both targets and runs every test headless under Wine on a private Xvfb.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
: "${TAVRO_BUILD:=$root/build}"
"$root/tools/build.sh" x86_64 "$TAVRO_BUILD"
"$root/tools/build.sh" i686 "$TAVRO_BUILD/i686"
# The text logic natively, under AddressSanitizer and UndefinedBehaviorSanitizer.
native=$TAVRO_BUILD/native
cmake -S "$root/tests/native" -B "$native" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$native" -j "$(nproc)"
(cd "$native" && ctest --output-on-failure --timeout 600)
. "$root/tools/xvfb.sh"
trap tavro_cleanup EXIT
tavro_start_xvfb
tavro_wine_prefix
wineserver -p    # keep one server for the whole run
# Start the prefix's session now, with nothing inherited: Wine's services started by the first
# test program would keep that test's output pipe open and CTest would wait on it for ever.
wineboot </dev/null >/dev/null 2>&1 || true
cd "$TAVRO_BUILD"
ctest --output-on-failure --timeout 600 "$@"
