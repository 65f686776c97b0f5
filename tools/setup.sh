#!/usr/bin/env bash
# Installs what Skerry's build and tests need on Debian (bookworm), and the
# locales that the formatting tests use. Safe to run again: it installs only
# what is missing and stays quiet when nothing is.
set -euo pipefail

packages=(
  cmake ninja-build g++ libgtest-dev libgmock-dev googletest
  ntfs-3g ntfs-3g-dev sleuthkit
  forensics-samples-ntfs forensics-samples-multiple
  g++-mingw-w64-x86-64-posix
  locales xz-utils python3
  clang libclang-rt-14-dev
  dpkg-dev file groff-base
)
locales=(en_US de_DE hi_IN)

sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$package")
  fi
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

available=$(locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]')
for name in "${locales[@]}"; do
  wanted=$(echo "$name.utf8" | tr '[:upper:]' '[:lower:]')
  if ! grep -qx "$wanted" <<<"$available"; then
    echo "setup: generating the locale $name.UTF-8"
    "${sudo[@]}" localedef -i "$name" -f UTF-8 "$name.UTF-8"
  fi
done
