#!/usr/bin/env bash
# fuzz/run-all.sh BUILD_DIR SECONDS: runs every fuzz target for SECONDS,
# starting from the seed discs; a crash fails the run and leaves its input
# in BUILD_DIR/fuzz/artifacts.
set -euo pipefail
build=${1:?build directory}
seconds=${2:-60}
fuzzdir="$build/fuzz"
mkdir -p "$fuzzdir/artifacts"
for target in "$fuzzdir"/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$fuzzdir/corpus/$name"
  mkdir -p "$corpus"
  cp -n "$fuzzdir"/seeds/*.img "$corpus"/ 2>/dev/null || true
  echo "== $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -max_len=262144 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$fuzzdir/artifacts/$name-" "$corpus" 2>"$fuzzdir/$name.log" ||
    { tail -50 "$fuzzdir/$name.log"; exit 1; }
  grep -E 'stat::number_of_executed_units|Done [0-9]+ runs' "$fuzzdir/$name.log" | tail -2
done
