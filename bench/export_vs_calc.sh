#!/usr/bin/env bash
# The journal export of a 100,000-entry journal against LibreOffice Calc
# converting the same journal file to .xlsx, in one run: wall time and peak
# memory of each, and the ratio against the goal (at least 3 times faster).
#   bench/export_vs_calc.sh [ENTRIES]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${ZORVA_BUILD_DIR:-$ROOT/build}"

if ! command -v soffice >/dev/null; then
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends libreoffice-calc >/dev/null
fi
cmake -S "$ROOT" -B "$BUILD" -DZORVA_BENCH=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" --target export_bench -j2 >/dev/null
exec "$BUILD/bench/export_bench" compare "${1:-100000}"
