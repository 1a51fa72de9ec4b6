#!/usr/bin/env bash
# Runs examples/test.sh (or the copy in EXAMPLES-FOLDER) with the tool into a
# folder of its own and compares what it writes with the expected files: the
# export, the add, the update, and the list form's two outputs (the same as
# the add and update).
#   examples_test.sh TOOL OUTPUT-FOLDER [EXAMPLES-FOLDER]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export FOLIVANT=$1 FOLIVANT_OUT=$2
rm -rf "$FOLIVANT_OUT"
bash "${3:-$here/../examples}/test.sh" >/dev/null
expected=$here/data/examples
cd "$FOLIVANT_OUT"
cmp sample.xml "$expected/sample.xml"
cmp added.pdf "$expected/added.pdf"
cmp updated.pdf "$expected/updated.pdf"
cmp batch/sample.pdf "$expected/added.pdf"
cmp batch-updated/sample.pdf "$expected/updated.pdf"
