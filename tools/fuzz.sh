#!/usr/bin/env bash
# Builds the text logic natively with libFuzzer and the sanitizers and runs every fuzz target for
# FUZZ_SECONDS (default 15) each. Prints the executions per target; fails on any finding. A finding
# is kept in the target's corpus in the tree (tests/fuzz/corpus/<target>), which the unit tests
# replay: commit it with its fix.
#   tools/fuzz.sh [target ...]      e.g. tools/fuzz.sh settings pane
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
: "${TAVRO_BUILD:=$root/build}"
: "${FUZZ_SECONDS:=15}"
dir=$TAVRO_BUILD/native
cmake -S "$root/tests/native" -B "$dir" -DCMAKE_CXX_COMPILER=clang++ -DTAVRO_FUZZ=ON >/dev/null
cmake --build "$dir" -j "$(nproc)" >"$dir/build.log" 2>&1 || { cat "$dir/build.log"; exit 1; }
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for exe in "$dir"/fuzz/fuzz_*; do targets+=("$(basename "$exe" | sed 's/^fuzz_//')"); done
fi
failed=0
total=0
for t in "${targets[@]}"; do
  work=$dir/fuzz-work/$t          # the corpus grows here; the seeds in the tree stay as they are
  mkdir -p "$work/corpus" "$work/findings"
  rm -f "$work/findings"/*
  log=$work/last.log
  # Input sizes: the history replays one operation per few bytes, so long inputs only slow it
  # down; the file readers need room for lines of their full length.
  case $t in
    history) size=(-max_len=512) ;;
    settings|macros) size=(-max_len=12000) ;;
    *) size=() ;;
  esac
  rc=0
  "$dir/fuzz/fuzz_$t" "$work/corpus" "$root/tests/fuzz/corpus/$t" -max_total_time="$FUZZ_SECONDS" \
    "${size[@]}" -print_final_stats=1 -artifact_prefix="$work/findings/" >"$log" 2>&1 || rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  runs=${runs:-0}
  total=$((total + runs))
  if [ $rc -ne 0 ]; then
    failed=1
    echo "fuzz: $t FAILED after $runs executions (log: $log, input in $work/findings/)"
    grep -E 'ERROR|SUMMARY|runtime error' "$log" | head -5 || true
    for finding in "$work/findings"/*; do
      [ -f "$finding" ] || continue
      kept=tests/fuzz/corpus/$t/finding-$(sha1sum "$finding" | cut -c1-16)
      cp "$finding" "$root/$kept"
      echo "fuzz: the input is kept as $kept"
    done
  else
    echo "fuzz: $t $runs executions, no finding"
  fi
done
echo "fuzz: $total executions in all"
exit $failed
