#!/usr/bin/env bash
# Checks that every file the README in FOLDER links to is there: what is
# installed or packed with the README holds what it points to.
#   check_links.sh FOLDER
set -euo pipefail
cd "$1"
missing=0
for link in $(grep -o '](\([^)#:]*\))' README.md | sed 's/^](\(.*\))$/\1/' | sort -u); do
  [ -e "$link" ] || { echo "README.md links $link, which is missing"; missing=1; }
done
exit "$missing"
