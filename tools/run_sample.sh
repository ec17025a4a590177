#!/usr/bin/env bash
# Builds the release preset and runs the operations over a copy of the
# sample content tree, showing the progress output, the translations files
# (UTF-16LE on disk, shown as UTF-8) and what each run changed:
#   source/  extract, fill in one language of one line, update;
#   game/    extract, then replace the plain "Livery" string by a localised
#            string and extract again.
#
# sample/source/ is a source-flavour tree of ".xml" data files. sample/game/
# holds the game-shape XML from which its ".bin" files are made: the copy
# is turned into a shipped-looking game tree first (every ".xml" converted
# to ".bin" with the stand-in serializer, then removed), so the game run has
# to convert each ".bin" back before it can read it.
#
# Usage: tools/run_sample.sh [build-directory]   (default: build/release)
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$repo/build/release}"
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac

cmake --preset release -B "$build" -S "$repo" >/dev/null
cmake --build "$build" --target glossmill brux >/dev/null

work="$(mktemp -d "${TMPDIR:-/tmp}/glossmill-sample.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cp -R "$repo/sample/." "$work/"

# The serializer is found along the search path.
export PATH="$build:$PATH"

(cd "$work/game" && find . -name '*.xml' -print0 | while IFS= read -r -d '' xml; do
  brux.exe "$xml" && rm -- "$xml"
done)

show_translations() {
  python3 -c 'import sys; sys.stdout.write(open(sys.argv[1], "rb").read().decode("utf-16-le").lstrip("\ufeff").replace("\t", " | "))' "$1"
}

echo "== glossmill -sx translations.txt   (in source/)"
(cd "$work/source" && "$build/glossmill" -sx translations.txt)
echo "-- translations.txt (columns shown separated by ' | '):"
show_translations "$work/source/translations.txt"

# A translator fills in the Italian column (text column 2) of one line and
# hands back a file holding just that line.
python3 - "$work/source/translations.txt" "$work/source/italian.txt" <<'PY'
import sys
lines = open(sys.argv[1], "rb").read().decode("utf-16-le").lstrip("\ufeff").split("\n")
line = next(l for l in lines if "Münster" in l.split("\t")[0]).split("\t")
line[8] = '"Solo andata per Münster: 4,50 €"'
open(sys.argv[2], "wb").write(("\ufeff" + "\t".join(line) + "\n").encode("utf-16-le"))
PY
cp "$work/source/Signs/Warnings.xml" "$work/Warnings.before.xml"
echo
echo "== glossmill -su italian.txt   (in source/)"
(cd "$work/source" && "$build/glossmill" -su italian.txt)
echo "-- what the update changed in Signs/Warnings.xml:"
diff -u --label before --label after "$work/Warnings.before.xml" "$work/source/Signs/Warnings.xml" || true
echo

echo "== game tree before the run:"
(cd "$work/game" && find . -type f | sort)
echo "== glossmill -gx translations.txt   (in game/)"
(cd "$work/game" && "$build/glossmill" -gx translations.txt)
echo "-- translations.txt (columns shown separated by ' | '):"
show_translations "$work/game/translations.txt"
echo "== game tree after the run (the XML forms stay beside their .bin files):"
(cd "$work/game" && find . -type f | sort)

cp "$work/game/Trains/Locomotive.xml" "$work/Locomotive.before.xml"
echo
echo "== glossmill -gr Livery   (in game/)"
(cd "$work/game" && "$build/glossmill" -gr Livery)
echo "-- what the replacement changed in the XML form of Trains/Locomotive.bin:"
diff -u --label before --label after "$work/Locomotive.before.xml" "$work/game/Trains/Locomotive.xml" || true
echo "== glossmill -gx translations.txt   (in game/): the new string has its line"
(cd "$work/game" && "$build/glossmill" -gx translations.txt >/dev/null)
show_translations "$work/game/translations.txt" | grep "Brunswick green"
