#!/usr/bin/env bash
# Installs the Debian packages Quillfen needs to build, test and run, but only those missing.
set -euo pipefail
packages=(
  build-essential cmake pkg-config libacl1-dev libattr1-dev libicu-dev
  libgtest-dev libgmock-dev libbenchmark-dev libgumbo-dev libxml2-dev libxml2-utils libsqlite3-dev
  qt6-base-dev qt6-webengine-dev qt6-webchannel-dev libgl-dev
  clang libclang-rt-14-dev clang-format
  desktop-file-utils appstream dpkg-dev file python3 gettext translate-toolkit
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
