#!/usr/bin/env bash
# Installs the Debian packages the launcher, its demo and its tests need.
# Does nothing when they are all present already.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  libsdl1.2-compat-dev libsqlite3-dev sqlite3
  googletest libgtest-dev libbenchmark-dev
  xvfb zenity xdotool x11-utils imagemagick desktop-file-utils
  time valgrind strace
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
