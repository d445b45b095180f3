#!/usr/bin/env bash
set -euo pipefail

# Installs the Debian packages named as arguments, else those the POSIX build needs; only
# those that are missing. A name ending in ":i386" (32-bit Wine) first adds the i386
# architecture to dpkg when it is not there yet.
if (($#)); then
  packages=("$@")
else
  packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
    libssl-dev libxml2-dev nlohmann-json3-dev)
fi
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  for p in "${missing[@]}"; do
    if [[ $p == *:i386 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
      dpkg --add-architecture i386
    fi
  done
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
