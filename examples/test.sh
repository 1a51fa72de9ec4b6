#!/usr/bin/env bash
# Every form of the command line on the sample document. Run from anywhere;
# results go to examples/out/ (or FOLIVANT_OUT). FOLIVANT names the executable
# to use.
set -euo pipefail
cd "$(dirname "$0")"
folivant=${FOLIVANT:-../build/default/folivant}
out=${FOLIVANT_OUT:-out}
mkdir -p "$out"

# Export the outline into a bookmark XML file.
"$folivant" -isample.pdf "-e$out/sample.xml"

# Add: a new PDF whose outline is built from the XML file alone.
"$folivant" -isample.pdf "-o$out/added.pdf" -xmarks.xml

# Update: change items by number (replace, or insert with <Insert>True</Insert>).
"$folivant" -isample.pdf "-o$out/updated.pdf" -xupdate.xml -update

# List form: every PDF named in list.txt (one per line; blank lines, blanks
# around names and a byte-order mark are passed over), written under its base
# name into the folder, which is created with every missing level.
"$folivant" -ilist.txt "-f$out/batch" -xmarks.xml
"$folivant" -ilist.txt "-f$out/batch-updated" -xupdate.xml -update
