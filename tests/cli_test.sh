#!/usr/bin/env bash
# The real executable, row by row: what it prints last (line ends included),
# its exit status, and what the folder holds afterwards (each file with its
# permissions and size, links with their targets, pipes as such). Then an
# interrupted add: the old file stays and no part file is left.
#   cli_test.sh TOOL SOURCE-FOLDER
set -uo pipefail
tool=$(realpath "$1")
source_folder=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
failures=0
runner=""  # a command the tool runs under
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A PDF of one page whose content stream holds COUNT zero bytes, left as a gap
# on disk: large inputs that cost no room.
make_pdf() {
  local file=$1 count=$2 offsets=()
  printf '%%PDF-1.4\n' >"$file"
  for object in '<< /Type /Catalog /Pages 2 0 R >>' '<< /Type /Pages /Kids [3 0 R] /Count 1 >>' \
    '<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>'; do
    offsets+=("$(stat -c %s "$file")")
    printf '%d 0 obj\n%s\nendobj\n' "${#offsets[@]}" "$object" >>"$file"
  done
  offsets+=("$(stat -c %s "$file")")
  printf '4 0 obj\n<< /Length %d >>\nstream\n' "$count" >>"$file"
  truncate -s "+$count" "$file"
  printf '\nendstream\nendobj\n' >>"$file"
  local table
  table=$(stat -c %s "$file")
  printf 'xref\n0 5\n0000000000 65535 f \n' >>"$file"
  for offset in "${offsets[@]}"; do printf '%010d 00000 n \n' "$offset" >>"$file"; done
  printf 'trailer\n<< /Size 5 /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n' "$table" >>"$file"
}
make_pdf "$work/big.pdf" $((1 << 20))
cp "$source_folder/examples/marks.xml" "$work/marks.xml"

# What a folder holds, but in.pdf: "name:mode:what", "name->target",
# "name:fifo", where "what" is "added" or "exported" for the example's add and
# export (the expected files), else the size.
added=$source_folder/tests/data/examples/added.pdf
exported=$source_folder/tests/data/examples/sample.xml
state() {
  find . -mindepth 1 ! -path ./in.pdf -printf '%P %y %m %s %l\n' | sort |
    while read -r name type mode size target; do
      case $type in
        l) printf ' %s->%s' "$name" "$target" ;;
        p) printf ' %s:fifo' "$name" ;;
        c) printf ' %s:device' "$name" ;;
        d) printf ' %s/:%s' "$name" "$mode" ;;
        *)
          what=$size
          cmp -s "$name" "$added" && what=added
          cmp -s "$name" "$exported" && what=exported
          printf ' %s:%s:%s' "$name" "$mode" "$what"
          ;;
      esac
    done
}

# row NAME SETUP ARGUMENTS TAIL STATUS STATE
# Runs the tool in a new folder holding in.pdf (the example) after SETUP,
# with ARGUMENTS (split as the shell splits words), and compares what it
# printed last (TAIL, as many lines as it has), the status and the folder.
row() {
  local name=$1 setup=$2 arguments=$3 tail=$4 status=$5 expected=$6
  local dir=$work/${name// /-}
  mkdir -p "$dir" && chmod 755 "$dir" && cp "$source_folder/examples/sample.pdf" "$dir/in.pdf"
  local printed got
  printed=$(cd "$dir" && eval "$setup" && eval "$runner \"$tool\" $arguments" </dev/null; echo "[$?]")
  got=$(cd "$dir" && state)
  local lines
  lines=$(printf '%s\n' "$tail" | wc -l)
  local last
  last=$(printf '%s' "$printed" | tail -n $((lines + 1)))
  [ "$last" = "$tail"$'\n'"[$status]" ] || fail "$name: printed '$last', expected '$tail' [$status]"
  [ "$got" = "$expected" ] || fail "$name: left '$got', expected '$expected'"
  case $printed in *$'\r'*) fail "$name: a line ends in CR" ;; esac
}

no_file=$'\nOutput file create error: \'\': No such file or directory'
long=$(printf 'n%.0s' $(seq 251)).pdf
old="printf 'old\n' > out.pdf"

row "empty output name" "" "-iin.pdf -e" \
  "Input file: 'in.pdf', XML output file: ''$no_file" 1 ""
row "output is a folder" "mkdir d" "-iin.pdf -od -x../marks.xml" \
  "Output file create error: 'd': Is a directory" 1 " d/:755"
row "missing folder" "" "-iin.pdf -enone/x.xml" \
  "Output file create error: 'none/x.xml': No such file or directory" 1 ""
row "permissions kept" "$old; chmod 600 out.pdf" "-iin.pdf -oout.pdf -x../marks.xml" \
  "Done." 0 " out.pdf:600:added"
row "new file under the umask" "umask 027" "-iin.pdf -oout.pdf -x../marks.xml" \
  "Done." 0 " out.pdf:640:added"
row "link keeps pointing" "printf old > v3.pdf; ln -s v3.pdf latest.pdf" \
  "-iin.pdf -olatest.pdf -x../marks.xml" "Done." 0 " latest.pdf->v3.pdf v3.pdf:644:added"
row "link to nothing yet" "mkdir sub; ln -s sub/new.xml link.xml" "-iin.pdf -elink.xml" \
  "Done." 0 " link.xml->sub/new.xml sub/:755 sub/new.xml:644:exported"
row "pipe is written" "mkfifo pipe.xml; (timeout 10 cat pipe.xml > got.xml &)" "-iin.pdf -epipe.xml; sleep 0.2" \
  "Done." 0 " got.xml:644:exported pipe.xml:fifo"
row "name of 255 bytes" "" "-iin.pdf -o$long -x../marks.xml" "Done." 0 " $long:644:added"
row "size limit" "$old; ulimit -f 64" "-i../big.pdf -oout.pdf -x../marks.xml" \
  "Output file write error: 'out.pdf': File too large" 1 " out.pdf:644:4"
# Devices of this folder's own, so that a fault cannot replace the system's.
if mknod "$work/probe" c 1 3 2>/dev/null; then
  row "device written in place" "mknod null c 1 3" "-iin.pdf -enull" "Done." 0 " null:device"
  row "full device" "mknod full c 1 7" "-iin.pdf -efull" \
    "XML file write error: 'full': No space left on device" 1 " full:device"
fi
# A folder the user may not write to (root may write anywhere: run as nobody).
runner=""
[ "$(id -u)" -eq 0 ] && runner="setpriv --reuid=65534 --regid=65534 --clear-groups"
if [ -z "$runner" ] || command -v setpriv >/dev/null; then
  row "folder without write permission" "mkdir ro; chmod 555 ro" "-iin.pdf -oro/out.pdf -x../marks.xml" \
    "Output file create error: 'ro/out.pdf': Permission denied" 1 " ro/:555"
  row "pipe without write permission" "mkfifo -m 444 pipe.xml" "-iin.pdf -epipe.xml" \
    "Output file create error: 'pipe.xml': Permission denied" 1 " pipe.xml:fifo"
fi
runner=""
row "list entry that fails" "printf 'in.pdf\nnot.pdf\n' > list.txt; printf x > not.pdf" \
  "-ilist.txt -fout -x../marks.xml" \
  "Input file: 'not.pdf', XML input file: '../marks.xml'"$'\n'"PDF file was damaged" 1 \
  " list.txt:644:15 not.pdf:644:1 out/:755 out/in.pdf:644:added"
row "empty list" "printf '\n' > list.txt" "-ilist.txt -fout -x../marks.xml" \
  "Warning: the list names no PDF files" 0 " list.txt:644:1"
row "folder that cannot be made" "printf 'in.pdf\n' > list.txt" "-ilist.txt -fin.pdf/out -x../marks.xml" \
  "Output folder create error: 'in.pdf/out': Not a directory" 1 " list.txt:644:7"
row "folder that is a file" "printf 'in.pdf\n' > list.txt; printf x > out" "-ilist.txt -fout -x../marks.xml" \
  "Output folder create error: 'out': Not a directory" 1 " list.txt:644:7 out:644:1"
row "missing bookmark file" "printf 'in.pdf\n' > list.txt" "-ilist.txt -fout -xnone.xml" \
  "XML file open error: 'none.xml': No such file or directory" 1 " list.txt:644:7"

# Interrupted while writing a large output: the old file stays as it was and
# the part file goes; the process ends as the signal ends it.
make_pdf "$work/huge.pdf" $((256 << 20))
for signal in TERM HUP; do
  dir=$work/interrupt-$signal
  mkdir "$dir" && printf 'old\n' >"$dir/out.pdf"
  (cd "$dir" && exec "$tool" -i../huge.pdf -oout.pdf -x../marks.xml >/dev/null) &
  pid=$!
  seen=0
  for _ in $(seq 4000); do
    compgen -G "$dir/.folivant-*.part" >/dev/null && seen=1 && break
    sleep 0.001
  done
  kill -s "$signal" "$pid"
  wait "$pid" 2>/dev/null
  status=$?
  [ "$seen" -eq 1 ] || fail "$signal: no part file while writing"
  expected=$((128 + $(kill -l "$signal")))
  [ "$status" -eq "$expected" ] || fail "$signal: status $status, expected $expected"
  got=$(cd "$dir" && state)
  [ "$got" = " out.pdf:644:4" ] || fail "$signal: left '$got'"
done

[ "$failures" -eq 0 ] && echo "all rows as expected"
[ "$failures" -eq 0 ]
