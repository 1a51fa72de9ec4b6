#!/usr/bin/env bash
# Builds everything and runs the whole test suite: the format and tidy checks,
# a release build with warnings as errors, a build with AddressSanitizer and
# UndefinedBehaviorSanitizer, and a minute of fuzzing for each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh qpdf parallel clang-format clang-tidy-14
jobs=$(nproc)

echo "== format"
if command -v clang-format >/dev/null; then
  git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
fi

for preset in ci sanitize; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  if [ "$preset" = ci ] && command -v clang-tidy-14 >/dev/null; then
    echo "== tidy"
    ls app/*.cpp base/*.cpp pdf/*.cpp structure/*.cpp bookmarks/*.cpp writer/*.cpp |
      grep -v platform_windows | xargs -P "$jobs" -n 4 clang-tidy-14 -p build/ci --quiet
  fi
  ctest --preset "$preset" -j "$jobs"
done

echo "== fuzz smoke"
bash scripts/deps.sh clang-14 libclang-rt-14-dev
if ! command -v clang++-14 >/dev/null; then
  echo "clang++-14 is missing: no fuzzing"
  exit 0
fi
for target in $(bash scripts/fuzz.sh); do
  bash scripts/fuzz.sh "$target" 60 >"build/fuzz-$target.log" 2>&1 || {
    tail -40 "build/fuzz-$target.log"
    echo "fuzz target $target found a failure"
    exit 1
  }
  grep -h "stat::number_of_executed_units" "build/fuzz-$target.log" | sed "s/^/$target: /"
done
