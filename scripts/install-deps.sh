#!/usr/bin/env bash
# Installs what Keelmend needs to build and test on Debian 12 (run as root).
#   scripts/install-deps.sh            build dependencies and test readers
#   scripts/install-deps.sh --office   also headless LibreOffice for the
#                                      integration tests that open repaired files
set -euo pipefail

want_office=0
for arg in "$@"; do
  case "$arg" in
    --office) want_office=1 ;;
    *) echo "install-deps.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done

packages=(
  cmake ninja-build g++ pkg-config
  zlib1g-dev
  qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev
  libgtest-dev libgmock-dev
  unzip zip libarchive-tools python3 file
  xvfb xauth fonts-liberation
)
if [ "$want_office" = 1 ]; then
  packages+=(libreoffice-base libreoffice-sdbc-hsqldb libreoffice-sdbc-firebird python3-uno default-jre-headless)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps.sh: missing packages (${missing[*]}); run as root" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
