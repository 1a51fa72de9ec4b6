#!/usr/bin/env bash
# Installs the build into a folder of its own and uses it as a user would:
# the README's links hold, the manual page is there, and the installed
# examples run with the installed tool found on the PATH and write the
# expected files.
#   install_test.sh BUILD-FOLDER SOURCE-FOLDER
set -euo pipefail
source=$(realpath "$2")
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
bash "$source/scripts/check_links.sh" "$prefix/share/doc/folivant"
test -s "$prefix/share/man/man1/folivant.1.gz"
PATH=$prefix/bin:$PATH bash "$source/tests/examples_test.sh" folivant "$prefix/out" \
  "$prefix/share/doc/folivant/examples"
echo "the installed tool, documents and examples hold"
