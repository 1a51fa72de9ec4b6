#!/usr/bin/env bash
# The GNU parallel recipe (examples/parallel.sh) run here on two workers
# writes the list form's bytes: the add and the update, on PDFs of several
# makes, under names with blanks, letters outside ASCII and folders.
#   parallel_test.sh TOOL SOURCE-FOLDER     (exit status 77: parallel is not installed)
set -euo pipefail
command -v parallel >/dev/null || { echo "parallel is not installed"; exit 77; }
tool=$(realpath "$1")
examples=$(realpath "$2")/examples
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir sub
cp "$examples/sample.pdf" "$examples/marks.xml" "$examples/update.xml" .
cp sample.pdf "with blanks.pdf"
cp sample.pdf "$(printf 'gr\xc3\xbc\xc3\x9fe')".pdf
if command -v qpdf >/dev/null; then
  qpdf --object-streams=generate sample.pdf sub/objstm.pdf
  qpdf --linearize sample.pdf linearized.pdf
  qpdf --stream-data=uncompress sample.pdf sub/plain.pdf
fi
ls -1 ./*.pdf sub/*.pdf | sed 's#^\./##' | tr '\n' '\r' >list.txt  # CR line ends
for job in add update; do
  xml=marks.xml
  extra=()
  [ "$job" = update ] && xml=update.xml && extra=(-update)
  "$tool" -ilist.txt "-flist-$job" "-x$xml" "${extra[@]}" >/dev/null
  FOLIVANT=$tool bash "$examples/parallel.sh" list.txt "recipe-$job" "$xml" "${extra[@]}" -- -j2 \
    >/dev/null
  diff -r "list-$job" "recipe-$job"
  [ "$(ls "recipe-$job" | wc -l)" -ge 3 ]
done
# The first failure stops the run with status 1, as the list form's does.
printf 'x' >broken.pdf
printf 'broken.pdf\nsample.pdf\n' >list.txt
if FOLIVANT=$tool bash "$examples/parallel.sh" list.txt failed marks.xml -- -j1 >/dev/null 2>&1; then
  echo "a failing entry gave status 0"
  exit 1
fi
[ ! -e failed/sample.pdf ]
echo "the recipe writes the list form's bytes"
