#!/usr/bin/env bash
# Builds everything and runs the whole test suite twice: a release build with
# warnings as errors, then a build with AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh qpdf parallel
jobs=$(nproc)
for preset in ci sanitize; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
