#!/usr/bin/env bash
# Runs export, add of the exported bookmarks and an update over every PDF of a
# folder with the sanitizer build, and sorts each file into: succeeded, refused
# (with the message), or fault (signal, sanitizer report, time-out, an exit
# status other than 0 or 1, an output left after a failure, a changed input).
#   bash scripts/sweep.sh FOLDER [SECONDS-PER-JOB]
set -uo pipefail
folder=$(cd "${1:?usage: sweep.sh FOLDER [SECONDS]}" && pwd)
limit=${2:-60}
cd "$(dirname "$0")/.."
bash scripts/deps.sh >/dev/null || exit 1
cmake --preset sanitize >/dev/null && cmake --build --preset sanitize --target folivant -j "$(nproc)" >/dev/null || exit 1
tool=$PWD/build/sanitize/folivant
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/update.xml" <<'XML'
<Bookmarks>
<Bookmark>
<Item>1</Item>
<Name>Replaced by the sweep</Name>
</Bookmark>
<Bookmark>
<Item>1</Item>
<Insert>True</Insert>
<Name>Inserted by the sweep</Name>
</Bookmark>
</Bookmarks>
XML
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# One job: prints nothing when it ended cleanly, else the fault.
run() {
  local output=$1; shift
  timeout "$limit" "$tool" "$@" >"$work/out" 2>"$work/err"
  local status=$?
  if [ $status -eq 124 ]; then echo "time-out"; return; fi
  if [ $status -gt 1 ]; then echo "exit status $status"; return; fi
  if [ -s "$work/err" ]; then echo "report: $(head -c 200 "$work/err" | tr '\n' ' ')"; return; fi
  if [ $status -ne 0 ] && [ -n "$output" ] && [ -e "$output" ]; then echo "output left after a failure"; return; fi
  if ls -A "$work" | grep -q '^\.'; then echo "temporary file left"; return; fi
  [ $status -eq 0 ] || tail -c 300 "$work/out" | tr -d '\r' | tail -n 1 > "$work/refusal"
}

ok=0 refused=0 faults=0
for pdf in "$folder"/*.pdf; do
  before=$(sha256sum < "$pdf")
  rm -f "$work"/{marks.xml,added.pdf,updated.pdf,refusal}
  fault=$(run "$work/marks.xml" -i"$pdf" -e"$work/marks.xml")
  [ -z "$fault" ] && [ -e "$work/marks.xml" ] && fault=$(run "$work/added.pdf" -i"$pdf" -o"$work/added.pdf" -x"$work/marks.xml")
  [ -z "$fault" ] && fault=$(run "$work/updated.pdf" -i"$pdf" -o"$work/updated.pdf" -x"$work/update.xml" -update)
  [ -z "$fault" ] && [ "$before" != "$(sha256sum < "$pdf")" ] && fault="input changed"
  if [ -n "$fault" ]; then
    echo "fault     $(basename "$pdf"): $fault"; faults=$((faults + 1))
  elif [ -s "$work/refusal" ]; then
    echo "refused   $(basename "$pdf"): $(cat "$work/refusal")"; refused=$((refused + 1))
  else
    echo "succeeded $(basename "$pdf")"; ok=$((ok + 1))
  fi
done
echo "summary: $ok succeeded, $refused refused, $faults faults"
[ $faults -eq 0 ]
