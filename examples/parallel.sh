#!/usr/bin/env bash
# The list form spread over several machines with GNU parallel (Debian's
# "parallel" package): one folivant process per PDF of the list, writing what
#   folivant -i<list> -f<folder> -x<bookmarks> [-update]
# writes. Each entry numbers its items from 1, so every entry is a job of its
# own and any machine may take it.
#
#   parallel.sh LIST FOLDER BOOKMARKS.xml [-update] [-- PARALLEL-OPTIONS...]
#
# Here, two at a time:
#   bash parallel.sh list.txt out marks.xml -- -j2
# On machines that see the same files under the same names (a shared folder),
# four on each of alpha and beta and the rest here (":"):
#   bash parallel.sh list.txt out marks.xml -- --sshlogin 4/alpha,4/beta,: --workdir "$PWD"
# On machines that do not: each PDF is copied there and its output back:
#   bash parallel.sh list.txt out marks.xml -- --sshlogin 4/alpha,4/beta \
#     --basefile marks.xml --transferfile {} --return out/{/} --cleanup
#
# Every machine needs folivant on its PATH (FOLIVANT names another). The list
# is read as the list form reads it (CR or LF line ends, blanks around names
# and blank lines passed over, a UTF-8 byte-order mark dropped); entries with
# the same base name are refused before anything runs. The first failing
# entry stops new ones; those running finish, and the status is 1. Messages
# come per entry, in list order.
set -euo pipefail
if [ $# -lt 3 ]; then
  sed -n '8p' "$0" | sed 's/^# *//' >&2
  exit 2
fi
list=$1 folder=$2 bookmarks=$3
shift 3
update=()
if [ "${1:-}" = -update ]; then
  update=(-update)
  shift
fi
[ "${1:-}" = -- ] && shift
folivant=${FOLIVANT:-folivant}

entries=$(mktemp)
trap 'rm -f "$entries"' EXIT
tr '\r' '\n' <"$list" | sed -e '1s/^\xEF\xBB\xBF//' -e 's/^[[:blank:]]*//' -e 's/[[:blank:]]*$//' \
  -e '/^$/d' >"$entries"
same=$(sed 's#.*[/\\]##' "$entries" | sort | uniq -d | head -n 1)
if [ -n "$same" ]; then
  echo "List entries would write the same output file: '$folder/$same'"
  exit 1
fi
mkdir -p "$folder"
# The folder and bookmark file are quoted for the shell that runs each job;
# parallel quotes the entry ({}) and its base name ({/}) itself.
command="mkdir -p $(printf '%q' "$folder") && $(printf '%q' "$folivant") -i{} -o$(printf '%q' "$folder")/{/}"
command+=" -x$(printf '%q' "$bookmarks") ${update[*]}"
exec parallel --keep-order --halt soon,fail=1 "$@" "$command" :::: "$entries"
