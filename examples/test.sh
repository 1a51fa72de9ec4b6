#!/usr/bin/env bash
# Every form of the command line on the sample document. Run from anywhere;
# results go to the out folder beside this file, or where that cannot be
# written (an installed copy) to folivant-examples in the current folder, or
# to FOLIVANT_OUT. FOLIVANT names the executable to use; by default the
# build's, else folivant on the PATH.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ -n "${FOLIVANT_OUT:-}" ]; then
  out=$(realpath -m "$FOLIVANT_OUT")
elif [ -w "$here" ]; then
  out=$here/out
else
  out=$PWD/folivant-examples
fi
folivant=${FOLIVANT:-folivant}
[ -z "${FOLIVANT:-}" ] && [ -x "$here/../build/default/folivant" ] && folivant=$here/../build/default/folivant
case $folivant in */*) folivant=$(realpath -m "$folivant") ;; esac
cd "$here"
mkdir -p "$out"
echo "Results in $out"

# Export the outline into a bookmark XML file.
"$folivant" -isample.pdf "-e$out/sample.xml"

# Add: a new PDF whose outline is built from the XML file alone.
"$folivant" -isample.pdf "-o$out/added.pdf" -xmarks.xml

# Update: change items by number (replace, or insert with <Insert>True</Insert>).
"$folivant" -isample.pdf "-o$out/updated.pdf" -xupdate.xml -update

# List form: every PDF named in list.txt (one per line; blank lines, blanks
# around names and a byte-order mark are passed over), written under its base
# name into the folder, which is created with every missing level. Each entry
# numbers its items from 1, so one bookmark file edits every PDF alike; -j2
# runs two entries at a time.
"$folivant" -ilist.txt "-f$out/batch" -xmarks.xml
"$folivant" -ilist.txt "-f$out/batch-updated" -xupdate.xml -update -j2
