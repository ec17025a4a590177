#!/usr/bin/env bash
# Runs the Linux build and the Windows build (under wine) on the same content
# tree and fails unless both write the same translations files byte for
# byte: the sample's source and game trees, non-ASCII names added. The
# Windows program runs twice: in an ordinary directory and at the root of a
# drive mapped to the tree, where the progress lines must name each file
# with one backslash after the drive.
#
# Usage: tools/compare_builds.sh <linux-build-dir> <windows-build-dir>
# (for example build/ci build/windows; both built with their presets).
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
linux="$(cd "${1:?linux build directory}" && pwd)"
windows="$(cd "${2:?windows build directory}" && pwd)"
wine="$(command -v wine || echo /usr/lib/wine/wine64)"

# A wine prefix of its own, so the drive letter mapped below touches nothing
# of the user's; made on first use (about ten seconds).
export WINEPREFIX="$windows/wine-prefix"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "$WINEPREFIX/dosdevices" ] || "$wine" cmd /c exit >/dev/null 2>&1

work="$(mktemp -d "${TMPDIR:-/tmp}/glossmill-compare.XXXXXX")"
drive="$WINEPREFIX/dosdevices/m:"
trap 'rm -rf "$work"; rm -f "$drive"' EXIT

failures=0
check() {  # check <what> <expected file> <actual file>
  if cmp -s "$2" "$3"; then
    echo "same: $1"
  else
    echo "DIFFERENT: $1 (< Linux, > Windows)"
    diff <(decoded "$2") <(decoded "$3") | head -20 || true
    failures=$((failures + 1))
  fi
}
decoded() {  # the lines of a translations file as UTF-8, for reading
  python3 -c 'import sys; sys.stdout.write(open(sys.argv[1], "rb").read().decode("utf-16-le", "replace"))' "$1"
}

# The trees: the sample's, with non-ASCII names added. Within U+00FF a name
# is the same text on both systems; beyond it the Windows build cannot open
# the file by its 8-bit form, so such names are left out here.
mkdir -p "$work/tree"
cp -R "$repo/sample/." "$work/tree/"
for flavour in source game; do
  mkdir -p "$work/tree/$flavour/Städte"
  cp "$work/tree/$flavour/Signs/StationSigns.xml" "$work/tree/$flavour/Städte/Café Noël.xml"
done
# The game tree as shipped: ".bin" files only, made by the stand-in
# serializer.
(cd "$work/tree/game" && find . -name '*.xml' -print0 | while IFS= read -r -d '' xml; do
  "$linux/brux.exe" "$xml" && rm -- "$xml"
done)

run_linux() {  # run_linux <flavour switch> <tree>
  (cd "$2" && cp "$linux/brux.exe" . && "$linux/glossmill" "$1" translations.txt >/dev/null && rm brux.exe)
}
run_windows() {  # run_windows <flavour switch> <tree> <windows directory to start in>
  cp "$windows/brux.exe" "$2/"
  (cd "$2" && "$wine" cmd /c "cd /d $3 && $(winepath_of "$windows/glossmill.exe") $1 translations.txt") \
    >"$work/progress.txt"
  rm "$2/brux.exe"
}
winepath_of() { echo "Z:${1//\//\\}"; }

for flavour in source game; do
  switch="-${flavour:0:1}x"
  for place in linux windows drive; do
    cp -R "$work/tree/$flavour" "$work/$place-$flavour"
  done
  run_linux "$switch" "$work/linux-$flavour"
  run_windows "$switch" "$work/windows-$flavour" "$(winepath_of "$work/windows-$flavour")"
  check "$flavour tree, Windows build" "$work/linux-$flavour/translations.txt" \
    "$work/windows-$flavour/translations.txt"
  ln -sfn "$work/drive-$flavour" "$drive"
  run_windows "$switch" "$work/drive-$flavour" 'M:\'
  check "$flavour tree at a drive root, Windows build" "$work/linux-$flavour/translations.txt" \
    "$work/drive-$flavour/translations.txt"
  if grep -q '^File 1 / [0-9]* : M:\\[^\\]' "$work/progress.txt"; then
    echo "same: progress lines at a drive root name M:\\<file>"
  else
    echo "DIFFERENT: progress lines at a drive root:"
    cat "$work/progress.txt"
    failures=$((failures + 1))
  fi
done

[ "$failures" -eq 0 ] || { echo "$failures difference(s)"; exit 1; }
