#!/usr/bin/env bash
# Measures export, add and update on large generated PDFs, beside the general
# PDF tools that are installed (qpdf, pdftk-java, mutool, PyMuPDF), and the
# list form on many small files (one worker, two, and the GNU parallel recipe),
# and writes bench/RESULTS.md. Not part of the test suite.
#   bash scripts/bench.sh [--quick | --batch] [--runs N] [--dir FOLDER]
#     --quick   only the two reference files and the named destinations
#     --batch   only the list form on many small files: its section of RESULTS.md is rewritten
#     --runs N  runs of each command on the smaller files (median; default 3)
#     --dir     where the files go (default build/bench; the large one takes 4.5 GB)
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=3
quick=0
batch_only=0
dir=$root/build/bench
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) quick=1 ;;
    --batch) batch_only=1 ;;
    --runs) runs=$2; shift ;;
    --dir) dir=$2; shift ;;
    *) echo "usage: bench.sh [--quick | --batch] [--runs N] [--dir FOLDER]" >&2; exit 2 ;;
  esac
  shift
done

bash scripts/deps.sh time >/dev/null || exit 1
cmake --preset default >/dev/null &&
  cmake --build --preset default --target folivant make_bench_pdf -j "$(nproc)" >/dev/null || exit 1
tool=$root/build/default/folivant
make=$root/build/default/make_bench_pdf
mkdir -p "$dir"
cd "$dir" || exit 1
python=/usr/bin/python3
has() { command -v "$1" >/dev/null 2>&1; }
has_fitz() { [ -x "$python" ] && "$python" -c 'import fitz' 2>/dev/null; }

# The files: name and generator options.
files=(
  "ref-objstm|--pages 24150 --items 14270 --objstm"
  "ref-classic|--pages 24150 --items 14270"
  "named-10k|--pages 1000 --items 10000 --named --levels 2 --objstm"
  "flat-60k|--pages 1000 --items 60000 --flat --objstm"
)
if [ "$quick" -eq 0 ]; then
  files+=(
    "pages-1k|--pages 1000 --items 100 --objstm"
    "pages-10k|--pages 10000 --items 1000 --objstm"
    "pages-100k|--pages 100000 --items 10000 --objstm"
    "items-100k|--pages 10000 --items 100000 --objstm"
    "named-2500|--pages 1000 --items 2500 --named --levels 2 --objstm"
    "named-40k|--pages 1000 --items 40000 --named --levels 3 --objstm"
    "large-4g|--pages 1000 --items 1000 --filler-mb 4300"
  )
fi

cat > update.xml <<'XML'
<Bookmarks>
<Bookmark>
<Item>1</Item>
<Name>Replaced by the benchmark</Name>
</Bookmark>
<Bookmark>
<Item>2</Item>
<Insert>True</Insert>
<Name>Inserted by the benchmark</Name>
</Bookmark>
</Bookmarks>
XML

# measure COUNT COMMAND... : median seconds and largest peak memory (MB)
# of COUNT runs, or "fail" / "timeout"; prints "seconds megabytes".
measure() {
  local count=$1
  shift
  local times=() peak=0 status
  for _ in $(seq "$count"); do
    timeout 900 /usr/bin/time -f "%e %M" -o time.txt "$@" >/dev/null 2>run.err
    status=$?
    if [ $status -eq 124 ]; then echo "timeout -"; return; fi
    if [ $status -ne 0 ]; then echo "fail -"; return; fi
    read -r seconds kilobytes < <(tail -1 time.txt)
    times+=("$seconds")
    [ "$kilobytes" -gt "$peak" ] && peak=$kilobytes
  done
  local median
  median=$(printf '%s\n' "${times[@]}" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}')
  echo "$median $((peak / 1024))"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a+0 > 0 && b+0 > 0) printf "%.3f", a / b; else print "-" }'; }
goal() { awk -v r="$1" -v g="$2" 'BEGIN { if (r == "-") print "not measured"; else if (r + 0 <= g + 0) print "met"; else print "not met" }'; }

rows=()  # file|tool|seconds|MB
record() { rows+=("$1|$2|$3|$4"); printf '%-12s %-34s %9s s %6s MB\n' "$1" "$2" "$3" "$4"; }

# The list form on 2,000 copies of the example, into a new folder each run:
# one worker, two, four, and the GNU parallel recipe on two; prints the
# section of RESULTS.md.
batch_section() {
  local batch=$dir/batch count=2000
  rm -rf "$batch"
  mkdir -p "$batch/in"
  for i in $(seq "$count"); do cp "$root/examples/sample.pdf" "$batch/in/$i.pdf"; done
  (cd "$batch" && ls in/*.pdf >list.txt)
  cp "$root/examples/marks.xml" "$batch/"
  # seconds COMMAND...: the median of the runs, or "fail".
  seconds() {
    local times=() start end
    for _ in $(seq "$runs"); do
      # The removal's writes go to disk before the clock starts.
      rm -rf "$batch/out"
      sync
      start=$(date +%s.%N)
      (cd "$batch" && "$@" >/dev/null 2>&1) || { echo fail; return; }
      end=$(date +%s.%N)
      times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }')")
    done
    printf '%s\n' "${times[@]}" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'
  }
  local one two four recipe=-
  one=$(seconds "$tool" -ilist.txt -fout -xmarks.xml -j1)
  two=$(seconds "$tool" -ilist.txt -fout -xmarks.xml -j2)
  four=$(seconds "$tool" -ilist.txt -fout -xmarks.xml -j4)
  export FOLIVANT=$tool
  has parallel && recipe=$(seconds bash "$root/examples/parallel.sh" list.txt out marks.xml -- -j2)
  local r
  r=$(ratio "$two" "$one")
  echo "## Batches"
  echo
  echo "The list form on $count copies of \`examples/sample.pdf\` (3 KB each), with \`examples/marks.xml\`, into a new folder; median of $runs runs."
  echo
  echo "| command | seconds | per file |"
  echo "|---|---|---|"
  for row in "folivant -j1|$one" "folivant -j2|$two" "folivant -j4|$four" "examples/parallel.sh -- -j2 (GNU parallel, one process per file)|$recipe"; do
    IFS='|' read -r t v <<<"$row"
    echo "| $t | $v | $(awk -v v="$v" -v n="$count" 'BEGIN { if (v + 0 > 0) printf "%.1f ms", 1000 * v / n; else print "-" }') |"
  done
  echo
  echo "| goal | measured | ratio | |"
  echo "|---|---|---|---|"
  echo "| $count small files: -j2 ≤ 0.6 of -j1 | $two s against $one s | $r | $(goal "$r" 0.6) |"
  rm -rf "$batch"
}

results=$root/bench/RESULTS.md
if [ "$batch_only" -eq 1 ]; then
  # The batch section replaces the one in RESULTS.md (or goes before the files).
  section=$(batch_section)
  awk -v section="$section" '
    /^## / { if (skip) skip = 0; if ($0 == "## Batches") { print section; print ""; skip = 1; done = 1; next }
             if ($0 == "## The files" && !done) { print section; print ""; done = 1 } }
    !skip { print }' "$results" >"$results.new" && mv "$results.new" "$results"
  echo "Batch results written to $results"
  exit 0
fi

for entry in "${files[@]}"; do
  name=${entry%%|*}
  options=${entry#*|}
  pdf=$name.pdf
  # shellcheck disable=SC2086
  [ -s "$pdf" ] || "$make" "$pdf" $options || { echo "cannot make $pdf" >&2; exit 1; }
  n=$runs
  case $name in large-*) n=1 ;; esac
  peers=1
  case $name in pages-* | items-* | named-2500 | named-40k | flat-*) peers=0 ;; esac

  read -r s m < <(measure "$n" "$tool" "-i$pdf" "-e$name.xml"); record "$name" "folivant export" "$s" "$m"
  read -r s m < <(measure "$n" "$tool" "-i$pdf" "-o$name.add.pdf" "-x$name.xml"); record "$name" "folivant add" "$s" "$m"
  read -r s m < <(measure "$n" "$tool" "-i$pdf" "-o$name.update.pdf" "-xupdate.xml" -update)
  record "$name" "folivant update" "$s" "$m"
  read -r s m < <(measure "$n" "$tool" "-i$pdf" "-o$name.update.pdf" "-x$name.xml" -update)
  record "$name" "folivant update, whole export" "$s" "$m"
  if has qpdf; then
    read -r s m < <(measure "$n" qpdf --json --json-key=outlines "$pdf"); record "$name" "qpdf --json outlines" "$s" "$m"
    qpdf --check "$name.add.pdf" >/dev/null 2>&1 && check=passes || check=fails
    record "$name" "qpdf --check of the add's output: $check" "-" "-"
  fi
  case $name in
    large-*)
      read -r s m < <(measure 1 sh -c "cat '$pdf' > cat.out"); record "$name" "cat in > out" "$s" "$m"
      rm -f cat.out "$name.add.pdf" "$name.update.pdf"
      continue ;;
  esac
  [ "$peers" -eq 1 ] || continue
  if has qpdf; then
    read -r s m < <(measure "$n" qpdf "$pdf" qpdf.out.pdf); record "$name" "qpdf rewrite" "$s" "$m"
  fi
  if has pdftk; then
    read -r s m < <(measure "$n" pdftk "$pdf" dump_data_utf8 output "$name.info.txt")
    record "$name" "pdftk dump_data_utf8" "$s" "$m"
    read -r s m < <(measure "$n" pdftk "$pdf" update_info_utf8 "$name.info.txt" output pdftk.out.pdf)
    record "$name" "pdftk update_info_utf8" "$s" "$m"
  fi
  if has mutool; then
    read -r s m < <(measure "$n" mutool show "$pdf" outline); record "$name" "mutool show outline" "$s" "$m"
  fi
  if has_fitz; then
    read -r s m < <(measure "$n" "$python" -c "import fitz,sys; fitz.open(sys.argv[1]).get_toc()" "$pdf")
    record "$name" "PyMuPDF get_toc" "$s" "$m"
    read -r s m < <(measure "$n" "$python" -c \
      "import fitz,sys; d=fitz.open(sys.argv[1]); d.set_toc(d.get_toc()); d.save('fitz.out.pdf')" "$pdf")
    record "$name" "PyMuPDF set_toc + save" "$s" "$m"
  fi
done
rm -f qpdf.out.pdf pdftk.out.pdf fitz.out.pdf time.txt run.err

# value FILE TOOL FIELD(3 seconds, 4 MB)
value() { printf '%s\n' "${rows[@]}" | awk -F'|' -v f="$1" -v t="$2" -v k="$3" '$1==f && $2==t {print $k}'; }

section=$(batch_section)
{
  echo "# Benchmark results"
  echo
  echo "Made by \`bash scripts/bench.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC'), release build."
  echo
  echo "## Machine"
  echo
  echo "- $(uname -srm)"
  echo "- $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) cores"
  echo "- $(awk '/MemTotal/ {printf "%.1f GB memory", $2 / 1048576}' /proc/meminfo)"
  has qpdf && echo "- $(qpdf --version | head -1)"
  has pdftk && echo "- $(pdftk --version 2>/dev/null | grep -m1 -i pdftk)"
  has mutool && echo "- mutool $(mutool -v 2>&1 | grep -o '[0-9][0-9.]*' | head -1)"
  has_fitz && echo "- PyMuPDF $("$python" -c 'import fitz; print(fitz.VersionBind)')"
  echo
  echo "## Goals"
  echo
  echo "| goal | measured | ratio | |"
  echo "|---|---|---|---|"
  e=$(value ref-objstm "folivant export" 3); q=$(value ref-objstm "qpdf --json outlines" 3); r=$(ratio "$e" "$q")
  echo "| export ≤ 1/10 of qpdf's outline dump (ref-objstm) | $e s against $q s | $r | $(goal "$r" 0.1) |"
  a=$(value ref-objstm "folivant add" 3); p=$(value ref-objstm "pdftk update_info_utf8" 3); r=$(ratio "$a" "$p")
  echo "| add ≤ 1/10 of pdftk's update_info (ref-objstm) | $a s against $p s | $r | $(goal "$r" 0.1) |"
  # The fastest peer that reads the outline, and the fastest that writes one.
  fastest() { printf '%s\n' "$@" | awk '$1 + 0 > 0' | sort -g | head -1; }
  f=$(fastest "$(value ref-objstm "mutool show outline" 3)" "$q" "$(value ref-objstm "PyMuPDF get_toc" 3)")
  r=$(ratio "$e" "$f")
  echo "| export ≤ 1/4 of the fastest peer (ref-objstm) | $e s against $f s | $r | $(goal "$r" 0.25) |"
  f=$(fastest "$p" "$(value ref-objstm "PyMuPDF set_toc + save" 3)")
  r=$(ratio "$a" "$f")
  echo "| add ≤ 1/5 of the fastest peer that writes an outline (ref-objstm) | $a s against $f s | $r | $(goal "$r" 0.2) |"
  for job in export add update "update, whole export"; do
    m=$(value ref-objstm "folivant $job" 4)
    echo "| peak memory < 32 MB, $job (ref-objstm) | $m MB | | $(goal "${m:--}" 31.99) |"
  done
  u=$(value flat-60k "folivant update, whole export" 3); a=$(value flat-60k "folivant add" 3); r=$(ratio "$u" "$a")
  echo "| 60,000 items: update with the whole export ≤ 1.5× the add | $u s against $a s | $r | $(goal "$r" 1.5) |"
  e=$(value named-10k "folivant export" 3); q=$(value named-10k "qpdf --json outlines" 3); r=$(ratio "$e" "$q")
  echo "| 10,000 named destinations: export ≤ 1/10 of qpdf | $e s against $q s | $r | $(goal "$r" 0.1) |"
  if [ "$quick" -eq 0 ]; then
    t=$(value pages-100k "folivant export" 3)
    echo "| 100,000 pages: export ≤ 0.1 s | $t s | | $(goal "${t:--}" 0.1) |"
    c=$(value large-4g "cat in > out" 3)
    for job in export add; do
      t=$(value large-4g "folivant $job" 3); r=$(ratio "$t" "$c")
      echo "| 4.5 GB file: $job within 3× of cat | $t s against $c s | $r | $(goal "$r" 3) |"
    done
    echo "| 4.5 GB file: the add's output passes qpdf --check | $(printf '%s\n' "${rows[@]}" | grep -c '^large-4g|qpdf --check of the add.s output: passes') of 1 | | |"
  fi
  echo
  echo "## Every run"
  echo
  echo "Median of $runs runs ($( [ "$quick" -eq 0 ] && echo "one run for the 4.5 GB file" || echo "quick set")); peak resident memory of the largest run."
  echo
  echo "| file | command | seconds | peak MB |"
  echo "|---|---|---|---|"
  for row in "${rows[@]}"; do
    IFS='|' read -r f t s m <<<"$row"
    echo "| $f | $t | $s | $m |"
  done
  echo
  echo "$section"
  echo
  echo "## The files"
  echo
  for entry in "${files[@]}"; do
    echo "- ${entry%%|*}: \`make_bench_pdf ${entry#*|}\`, $(du -h --apparent-size "$dir/${entry%%|*}.pdf" | cut -f1)"
  done
} >"$results"
echo "Results written to $results"
