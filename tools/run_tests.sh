#!/usr/bin/env bash
# Builds glossmill with warnings fatal and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset ci
cmake --build --preset ci
ctest --preset ci -j "$(nproc)"
