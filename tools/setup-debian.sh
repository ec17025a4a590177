#!/usr/bin/env bash
# Installs what a fresh Debian machine needs to build and test glossmill.
set -euo pipefail
# glossmill-bridge reads XLIFF through pugixml and PO through libgettextpo;
# its tests check PO files with gettext's msgfmt.
packages=(cmake ninja-build g++ libgtest-dev python3 libpugixml-dev libgettextpo-dev gettext)
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
