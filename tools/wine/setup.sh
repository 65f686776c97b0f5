#!/usr/bin/env bash
# Installs 64-bit Wine (Debian's wine64, without its recommendations) when it
# is missing. Safe to run again: it stays quiet when Wine is there.
set -euo pipefail
source "$(dirname "$0")/wine_binary.sh"
if wine_binary >/dev/null 2>&1; then exit 0; fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
echo "wine: installing wine64"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends wine64 >/dev/null
wine_binary >/dev/null
