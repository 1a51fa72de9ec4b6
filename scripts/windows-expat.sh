#!/usr/bin/env bash
# Builds a static expat for the Windows cross-build from Debian's own source
# package, into build/windows-deps/expat (once; later runs reuse it). As root
# it adds a deb-src entry for this machine's suite when there is none.
# Prints the install folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
deps=$root/build/windows-deps
prefix=$deps/expat
if [ -f "$prefix/include/expat.h" ] && ls "$prefix"/lib/libexpat*.a >/dev/null 2>&1; then
  echo "$prefix"
  exit 0
fi
mkdir -p "$deps"

have_sources() { apt-get source --print-uris expat >/dev/null 2>&1; }
if ! have_sources; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "expat's source package is not reachable: add a deb-src entry for your suite (as root)" >&2
    exit 1
  fi
  . /etc/os-release
  cat >/etc/apt/sources.list.d/folivant-deb-src.sources <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: ${VERSION_CODENAME}
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  apt-get update >/dev/null
fi
bash scripts/deps.sh dpkg-dev autoconf automake libtool

rm -rf "$deps/src" && mkdir -p "$deps/src"
(cd "$deps/src" && apt-get source expat >/dev/null 2>&1)
source_dir=$(find "$deps/src" -mindepth 1 -maxdepth 1 -type d -name 'expat-*' | head -n 1)
# Built the way the Debian package builds it: its autotools, then configure.
[ -f "$source_dir/buildconf.sh" ] || source_dir=$source_dir/expat
(cd "$source_dir" && ./buildconf.sh >/dev/null 2>&1 &&
  ./configure --host=x86_64-w64-mingw32 --prefix="$prefix" --disable-shared --enable-static \
    --without-docbook --without-examples --without-tests --without-xmlwf >/dev/null &&
  make -j "$(nproc)" >/dev/null 2>"$deps/expat-make.log" && make install >/dev/null)
echo "$prefix"
