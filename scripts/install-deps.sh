#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Idempotent: only packages that are missing are installed, so a second run is quick.
set -euo pipefail

PKGS=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev
  libqscintilla2-qt6-dev
  libpq-dev postgresql postgresql-client postgresql-contrib
  libquazip1-qt6-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  fonts-noto-cjk xvfb xauth x11-utils imagemagick
  locales
  poppler-utils
  python3-openpyxl
  breeze-icon-theme libqt6svg6
)
# clang with libFuzzer builds the fuzz targets (scripts/fuzz.sh sets VANTOR_FUZZ=1).
if [ "${VANTOR_FUZZ:-0}" = 1 ]; then PKGS+=(clang); fi

missing=()
for p in "${PKGS[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
