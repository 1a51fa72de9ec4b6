#!/usr/bin/env bash
# Makes what users install:
#   bash scripts/package.sh           the Debian package, build/package/folivant_<version>_<arch>.deb
#                                     (install it with: dpkg -i build/package/folivant_*.deb)
#   bash scripts/package.sh windows   the Windows archive, build/package/folivant-<version>-windows.zip:
#                                     folivant.exe, the examples with test.bat, the README, the
#                                     changes, and the documents the README links
# As root it installs what it misses.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(Folivant VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
mkdir -p build/package

if [ "${1:-}" = windows ]; then
  bash scripts/windows.sh --build
  stage=build/package/folivant-$version-windows
  rm -rf "$stage" "$stage.zip"
  mkdir -p "$stage/examples" "$stage/docs"
  cp build/windows/folivant.exe README.md CHANGELOG.md "$stage"/
  cp docs/bookmark-xml.md docs/architecture.md build/windows/folivant.1 "$stage/docs"/
  cp examples/sample.pdf examples/sample.txt examples/marks.xml examples/update.xml \
    examples/list.txt examples/test.bat examples/test.sh examples/parallel.sh "$stage/examples"/
  # What the README links is in the archive.
  bash scripts/check_links.sh "$stage"
  (cd build/package && cmake -E tar cf "folivant-$version-windows.zip" --format=zip \
    "folivant-$version-windows")
  echo "build/package/folivant-$version-windows.zip"
  exit 0
fi

# dpkg-shlibdeps (dpkg-dev) works out the package's dependencies from the
# libraries the tool links.
bash scripts/deps.sh dpkg-dev
cmake -S . -B build/deb -DCMAKE_BUILD_TYPE=Release -DFOLIVANT_TESTS=OFF >/dev/null
cmake --build build/deb -j "$(nproc)"
(cd build/deb && cpack -G DEB -B "$PWD/../package" >/dev/null)
ls build/package/folivant_"$version"_*.deb
