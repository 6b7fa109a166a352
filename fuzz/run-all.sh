#!/usr/bin/env bash
# fuzz/run-all.sh BUILD_DIR SECONDS: runs every fuzz target for SECONDS,
# starting from seeds the build made (discs from the test-disc builder, WAV
# pairs imported from them, cue sheets); a crash fails the run and leaves its
# input in BUILD_DIR/fuzz/artifacts.
set -euo pipefail
build=${1:?build directory}
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
fuzzdir="$build/fuzz"
mkdir -p "$fuzzdir/artifacts"

# Seeds of the merge target: a 2-byte split (in 4-byte units) and two WAV
# files, as imported from a seed disc without merging.
merge_seeds() {
  local corpus=$1 wavs="$fuzzdir/seed-wavs"
  rm -rf "$wavs"
  "$build/corvix" import "$fuzzdir/seeds/two-partitions.img" 'A/SEED A/P' --no-merge --to "$wavs" >/dev/null
  local left right size
  left=$(find "$wavs" -name 'S L*.wav' | head -1)
  right=$(find "$wavs" -name 'S R*.wav' | head -1)
  size=$(( $(stat -c %s "$left") / 4 ))
  { printf "\\x$(printf %02x $((size & 255)))\\x$(printf %02x $((size >> 8)))"; cat "$left" "$right"; } >"$corpus/pair"
}

for target in "$fuzzdir"/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$fuzzdir/corpus/$name"
  mkdir -p "$corpus"
  case $name in
    fuzz_stereo_merge) merge_seeds "$corpus" ;;
    fuzz_cue_sheet) cp "$here"/seeds/cue/*.cue "$corpus"/ ;;
    *) cp "$fuzzdir"/seeds/*.img "$corpus"/ ;;
  esac
  echo "== $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -max_len=262144 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$fuzzdir/artifacts/$name-" "$corpus" 2>"$fuzzdir/$name.log" ||
    { tail -50 "$fuzzdir/$name.log"; exit 1; }
  grep -E 'stat::number_of_executed_units|Done [0-9]+ runs' "$fuzzdir/$name.log" | tail -2
done
