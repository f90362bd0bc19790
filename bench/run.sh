#!/usr/bin/env bash
# Builds the program and the benchmarks, runs them headless under Wine on a private Xvfb, and
# prints one table; the table, the machine and every sample go to bench/results/.
#   bench/run.sh [tavro_bench options: --runs N --idle-seconds S --only FIGURES]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
: "${TAVRO_BUILD:=$root/build}"
export TAVRO_BUILD
bench_build="$TAVRO_BUILD/bench"
toolchain="$root/cmake/toolchain-x86_64-w64-mingw32.cmake"

"$root/tools/setup.sh"
# The program as 'make build' makes it; only what the benchmarks run and link.
if [ ! -f "$TAVRO_BUILD/Makefile" ]; then
  cmake -S "$root" -B "$TAVRO_BUILD" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DTAVRO_TESTS=ON >/dev/null
fi
cmake --build "$TAVRO_BUILD" -j "$(nproc)" --target tavro pipecmd tavro_lib
if [ ! -f "$bench_build/Makefile" ]; then
  cmake -S "$root/bench" -B "$bench_build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DTAVRO_MAIN_BUILD="$TAVRO_BUILD" >/dev/null
fi
cmake --build "$bench_build" -j "$(nproc)"

host=$(hostname -s 2>/dev/null || hostname)
stamp=$(date -u +%Y%m%d-%H%M%S)
mkdir -p "$root/bench/results"
result="$root/bench/results/$host-$stamp.md"
previous=$(ls -t "$root/bench/results/$host-"*.md 2>/dev/null | head -n 1 || true)
raw_file="$bench_build/raw-$stamp.txt"
: > "$raw_file"

cpu=$(grep -m1 'model name' /proc/cpuinfo 2>/dev/null | sed 's/.*: //' || true)
memory=$(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo 2>/dev/null || true)
revision=$(git -C "$root" describe --always --dirty 2>/dev/null || echo unknown)
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

. "$root/tools/xvfb.sh"
trap tavro_cleanup EXIT
tavro_start_xvfb
tavro_wine_prefix
wineserver -p    # one server for the whole run
wine_version=$(wine --version 2>/dev/null)

# The driver finds tavro.exe and pipecmd.exe in the program's bin folder.
export TAVRO_E2E_BIN
TAVRO_E2E_BIN=$(winepath -w "$TAVRO_BUILD/bin" 2>/dev/null)
table_file="$bench_build/table-$stamp.md"
: > "$table_file"
# The harness's own diagnostics (standard output) go to the terminal, not into the table.
"$root/tools/wine-exec.sh" "$bench_build/tavro_bench.exe" --raw "$(winepath -w "$raw_file")" \
  --table "$(winepath -w "$table_file")" "$@" >&2 && status=0 || status=$?
table=$(tr -d '\r' < "$table_file")
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

{
  echo "# Tavro benchmarks $stamp"
  echo
  echo "- machine: $host, $cpu, $(nproc) cores, $memory, $(uname -sr)"
  echo "- Wine: $wine_version; Xvfb on display $DISPLAY"
  echo "- program: $revision; arguments: ${*:-(defaults)}"
  echo "- load average: $load_before before, $load_after after"
  echo
  echo "$table"
  echo
  cat "$root/bench/notes.md"
  echo
  echo "## Samples"
  echo
  echo '```'
  tr -d '\r' < "$raw_file"
  echo '```'
} > "$result"
rm -f "$raw_file" "$table_file"

echo
sed -n '1,/^## Samples/p' "$result" | sed '$d'
if [ -n "$previous" ]; then
  echo "## Against the previous run on this machine ($(basename "$previous"))"
  echo
  echo "| figure | then | now |"
  echo "|---|---|---|"
  awk -F'|' 'FNR == NR && /^figure\|/ { then[$2] = $4; next }
             /^figure\|/ { printf "| %s | %s | %s |\n", $2, ($2 in then) ? then[$2] : "-", $4 }' \
    "$previous" "$result"
fi
echo
echo "results: $result"
exit $status
