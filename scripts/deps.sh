#!/usr/bin/env bash
# Makes sure the Debian packages the build needs are present. As root it
# installs what is missing; otherwise it names the missing packages and fails.
# Usage: deps.sh [extra-package ...]   (extra packages are optional: a missing
# one is installed as root and only reported otherwise)
set -euo pipefail

have_package() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

required=(cmake g++ make zlib1g-dev libgcrypt20-dev libexpat1-dev libgtest-dev)
optional=("$@")

missing=()
for p in "${required[@]}"; do have_package "$p" || missing+=("$p"); done
missing_optional=()
for p in "${optional[@]}"; do have_package "$p" || missing_optional+=("$p"); done

if [ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null 2>&1; then
  echo "Installing: ${missing[*]} ${missing_optional[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if ! apt-get install -y --no-install-recommends "${missing[@]}" "${missing_optional[@]}" >/dev/null 2>&1; then
    apt-get update >/dev/null 2>&1 || true
    apt-get install -y --no-install-recommends "${missing[@]}" "${missing_optional[@]}" >/dev/null 2>&1 \
      || apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null
  fi
  exit 0
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Missing Debian packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "Optional packages not installed (some checks will be skipped): ${missing_optional[*]}" >&2
