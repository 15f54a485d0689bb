#!/usr/bin/env bash
# Installs the Debian packages that building and testing need: only those
# that are missing, without recommended extras. Safe to run again.
set -euo pipefail

packages=(qt6-base-dev libmpg123-dev libsox-dev libtag1-dev libmp3lame-dev pkg-config cmake
          ninja-build g++ fonts-dejavu-core ccache "$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
