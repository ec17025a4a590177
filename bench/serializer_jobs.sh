#!/usr/bin/env bash
# Game runs with and without GLOSSMILL_JOBS, timed on a tree of ".bin" files
# with the stand-in serializer slowed down to a given time per call.
#
#   bench/serializer_jobs.sh [build-dir] [files] [ms-per-call] [jobs]
#
# Defaults: build/release, 1000 files, 50 ms, 8 jobs. Prints one line per
# operation: seconds one call at a time, seconds with the jobs, and their
# ratio. Every run starts from a fresh copy of the tree.
set -euo pipefail

build=$(cd "${1:-build/release}" && pwd)
files=${2:-1000}
delay=${3:-50}
jobs=${4:-8}
glossmill="$build/glossmill"
brux="$build/brux.exe"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The tree: ".bin" files in 10 directories, each with a localised string and
# a plain string in a "Label" tag for the replacement.
mkdir -p "$work/template"
cp "$brux" "$work/template/brux.exe"
for ((i = 0; i < files; i++)); do
  dir="$work/template/d$((i % 10))"
  mkdir -p "$dir"
  printf '<?xml version="1.0" encoding="utf-8"?>\r\n<cContentDocument xmlns:d="urn:bench" d:version="1.0">\r\n<Label d:type="cDeltaString">Label %d</Label>\r\n<Name>\r\n<Localisation-cUserLocalisedString>\r\n<English d:type="cDeltaString">Text %d</English>\r\n<French d:type="cDeltaString">Texte %d</French>\r\n<Other/>\r\n</Localisation-cUserLocalisedString>\r\n</Name>\r\n</cContentDocument>\r\n' \
    "$i" "$i" "$i" >"$dir/f$i.xml"
  "$brux" "$dir/f$i.xml"
  rm "$dir/f$i.xml"
done
# The translations file for the update, made by an extraction.
(cd "$work/template" && "$glossmill" -gx ../translations.txt >/dev/null)
find "$work/template" -name '*.xml' -delete

# Seconds of one run on a fresh tree, with the given environment.
seconds() {
  rm -rf "$work/tree"
  cp -r "$work/template" "$work/tree"
  local start end
  start=$(date +%s.%N)
  (cd "$work/tree" && env "$@" >/dev/null)
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

printf '%s files, %s ms per serializer call, GLOSSMILL_JOBS=%s\n' "$files" "$delay" "$jobs"
printf '%-4s %12s %12s %7s\n' run sequential parallel ratio
for run in "-gx out.txt" "-gu ../translations.txt" "-gr Label"; do
  # shellcheck disable=SC2086
  one=$(seconds BRUX_DELAY_MS="$delay" "$glossmill" $run)
  # shellcheck disable=SC2086
  many=$(seconds BRUX_DELAY_MS="$delay" GLOSSMILL_JOBS="$jobs" "$glossmill" $run)
  printf '%-4s %11.1fs %11.1fs %7.2f\n' "${run%% *}" "$one" "$many" "$(echo "$many / $one" | bc -l)"
done
