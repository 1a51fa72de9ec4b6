#!/usr/bin/env bash
# Cross-builds folivant.exe for 64-bit Windows with mingw-w64 (statically
# linked) and runs the whole test suite under Wine. As root it installs what
# it misses; any failing step fails the script.
#   bash scripts/windows.sh            build and test
#   bash scripts/windows.sh --build    build only (build/windows/folivant.exe)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh g++-mingw-w64-x86-64 libz-mingw-w64-dev libgcrypt-mingw-w64-dev wine wine64 \
  dpkg-dev
for tool in x86_64-w64-mingw32-g++-posix wine; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run as root to install it" >&2; exit 1; }
done
# Wine keeps its own Windows folder; one inside the build keeps the user's alone.
export WINEPREFIX=$PWD/build/wine WINEDEBUG=-all WINEARCH=win64
mkdir -p build
[ -d "$WINEPREFIX" ] || wineboot --init >/dev/null 2>&1 || true
# expat has no mingw package in Debian: it is built from Debian's sources.
expat=$(bash scripts/windows-expat.sh)
expat_lib=$(ls "$expat"/lib/libexpat*.a | head -n 1)
cmake --preset windows -DEXPAT_INCLUDE_DIR="$expat/include" -DEXPAT_LIBRARY="$expat_lib" >/dev/null
cmake --build --preset windows -j "$(nproc)"
[ "${1:-}" = "--build" ] && exit 0
ctest --preset windows -j "$(nproc)"

# The same bytes as the Linux build: every job on the example, under names
# outside ASCII given on the command line.
cmake --preset default >/dev/null
cmake --build --preset default --target folivant -j "$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LANG=C.UTF-8
mkdir "$work/linux" "$work/windows"
for system in linux windows; do
  tool=build/default/folivant
  [ "$system" = windows ] && tool="wine build/windows/folivant.exe"
  dir=$work/$system
  cp examples/sample.pdf "$dir/$(printf 'Gr\xc3\xbc\xc3\x9fe')".pdf
  in="$dir/$(printf 'Gr\xc3\xbc\xc3\x9fe')".pdf
  $tool "-i$in" "-e$dir/$(printf '\xc3\xa9t\xc3\xa9').xml" >"$dir/export.txt"
  $tool "-i$in" "-o$dir/add.pdf" -xexamples/marks.xml >"$dir/add.txt"
  $tool "-i$in" "-o$dir/update.pdf" -xexamples/update.xml -update >"$dir/update.txt"
  sed -i "s#$dir#DIR#g" "$dir"/*.txt
done
diff -r "$work/linux" "$work/windows"
echo "folivant.exe gives the Linux build's bytes on the example"
