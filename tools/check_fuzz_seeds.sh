#!/usr/bin/env bash
# Whether every fuzz target still sees its seeds: runs each target once over
# its seed corpus (fuzz/corpus/<name>) and once over an empty input, without
# fuzzing (-runs=0), and fails when the seeds reach no more coverage than
# the empty input. A target that rejects every input at its first step
# (a stream call its files in memory cannot answer, say) covers the same
# few edges whatever it is given; fuzzing it for hours finds nothing.
#
#   tools/check_fuzz_seeds.sh [BUILD_DIR]    (default build/fuzz)
#
# Build the targets first: cmake --preset fuzz && cmake --build --preset fuzz
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/fuzz}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The coverage ("cov:") of the last status line a run printed; empty when
# there is none.
coverage() {
  sed -n 's/.*\(INITED\|DONE\) *cov: \([0-9][0-9]*\).*/\2/p' "$1" | tail -n 1
}

failed=0
checked=0
for source in fuzz/fuzz_*.cpp; do
  target=$(basename "$source" .cpp)
  name=${target#fuzz_}
  program=$build/fuzz/$target
  corpus=fuzz/corpus/$name
  if [ ! -x "$program" ]; then
    echo "FAIL $target: no program at $program (build the fuzz preset first)" >&2
    failed=1
    continue
  fi
  if [ -z "$(ls -A "$corpus" 2>/dev/null)" ]; then
    echo "FAIL $target: no seeds in $corpus" >&2
    failed=1
    continue
  fi
  seeds=$(find "$corpus" -type f | wc -l)
  # New inputs would go to the first directory: an empty one of our own,
  # so the corpus is only read.
  mkdir "$scratch/$name-new" "$scratch/$name-empty"
  if ! "$program" -runs=0 "$scratch/$name-new" "$corpus" >"$scratch/$name-seeds.log" 2>&1; then
    echo "FAIL $target: a seed in $corpus makes it fail:" >&2
    tail -n 30 "$scratch/$name-seeds.log" >&2
    failed=1
    continue
  fi
  if ! "$program" -runs=0 "$scratch/$name-empty" >"$scratch/$name-empty.log" 2>&1; then
    echo "FAIL $target: the empty input makes it fail:" >&2
    tail -n 30 "$scratch/$name-empty.log" >&2
    failed=1
    continue
  fi
  seeded=$(coverage "$scratch/$name-seeds.log")
  empty=$(coverage "$scratch/$name-empty.log")
  if [ -z "$seeded" ] || [ -z "$empty" ]; then
    echo "FAIL $target: no coverage figure in libFuzzer's output" >&2
    failed=1
  elif [ "$seeded" -le "$empty" ]; then
    echo "FAIL $target: its $seeds seeds reach cov $seeded, no more than an empty input's $empty:" \
      "the target rejects its inputs before the code it fuzzes" >&2
    failed=1
  else
    echo "ok   $target: $seeds seeds reach cov $seeded, an empty input $empty"
  fi
  checked=$((checked + 1))
done

if [ "$checked" -eq 0 ] && [ "$failed" -eq 0 ]; then
  echo "FAIL no fuzz targets found in fuzz/" >&2
  exit 1
fi
exit "$failed"
