#!/usr/bin/env bash
# Installs the Debian packages QEL needs to build, test and run, when any is missing.
# Quiet and idempotent; works as root or through sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache clang clang-format
  libsqlite3-dev sqlite3 libfreetype-dev libfontconfig-dev fonts-dejavu-core
  libpng-dev libjpeg-dev libgif-dev zlib1g-dev libsdl2-dev libpixman-1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-apps imagemagick
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
  SUDO=(sudo -n)
else
  echo "QEL needs these Debian packages: ${missing[*]}" >&2
  echo "Run as root, or give this user password-less sudo, or install them with:" >&2
  echo "  apt-get install ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq >/dev/null
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
