#!/usr/bin/env bash
# Installs what a fresh Debian machine needs to build and test glossmill.
set -euo pipefail
# glossmill-bridge reads XLIFF through pugixml and PO through libgettextpo.
# Its tests check every export with gettext's msgfmt and Translate Toolkit
# (pofilter, pocount, its readers, writers and converters), and read the
# coverage page with html5lib.
packages=(cmake ninja-build g++ libgtest-dev python3 libpugixml-dev libgettextpo-dev gettext
          translate-toolkit python3-html5lib)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
fi
