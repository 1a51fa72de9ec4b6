#!/usr/bin/env bash
# Builds the tool and exports the outline of the bundled example PDF.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target folivant -j "$(nproc)" >/dev/null
mkdir -p out
./build/default/folivant -iexamples/sample.pdf -eout/sample.xml
echo
cat out/sample.xml
