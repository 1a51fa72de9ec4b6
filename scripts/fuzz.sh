#!/usr/bin/env bash
# Fuzzing with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer.
#   bash scripts/fuzz.sh               the names of the targets, one per line
#   bash scripts/fuzz.sh NAME SECONDS  builds and runs one target; exits non-zero
#                                      on a finding (its input lands in build/fuzz/)
set -euo pipefail
cd "$(dirname "$0")/.."
targets=(export xml jobs)
if [ $# -eq 0 ]; then printf '%s\n' "${targets[@]}"; exit 0; fi
name=$1 seconds=${2:-60}
[[ " ${targets[*]} " == *" $name "* ]] || { echo "unknown target: $name" >&2; exit 2; }
bash scripts/deps.sh clang-14 libclang-rt-14-dev
build=build/fuzz
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
  -DFOLIVANT_SANITIZE=ON -DFOLIVANT_TESTS=OFF -DFOLIVANT_FUZZ=ON >/dev/null
cmake --build "$build" --target "fuzz_$name" fuzz_make_seed -j "$(nproc)" >/dev/null

# Seeds: the test cases' PDFs and bookmark files, and the bundled example.
seeds=$build/seeds/$name corpus=$build/corpus/$name
mkdir -p "$seeds" "$corpus"
if [ "$name" = xml ]; then
  cp tests/data/jobs/*/*.xml examples/*.xml "$seeds"/ 2>/dev/null || true
else
  cp examples/sample.pdf tests/data/encrypted/*.pdf "$seeds"/
  for input in tests/data/jobs/*/input.txt; do
    # A case whose file has a gap of gigabytes makes no seed.
    "$build/fuzz/fuzz_make_seed" "$input" "$seeds/$(basename "$(dirname "$input")").pdf" 2>/dev/null ||
      true
  done
fi
cd "$build"
exec "./fuzz/fuzz_$name" "corpus/$name" "seeds/$name" -max_total_time="$seconds" \
  -rss_limit_mb=1024 -timeout=10 -close_fd_mask=1 -print_final_stats=1
