#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need,
# only when some are missing (fast when everything is there).
# With the argument "fuzz": also clang, libFuzzer and the symbolizer that
# `make fuzz` needs; with "bench": the libraries and the tool that `make bench`
# measures ours against.
set -euo pipefail

packages=(
  g++ cmake ninja-build make
  qt6-base-dev libqt6printsupport6 libqt6test6
  libsqlite3-dev zlib1g zlib1g-dev libgtest-dev
  libxlsxwriter-dev pkgconf python3 python3-openpyxl
  libpng-dev libgif-dev
  pkg-config libzip-dev mdbtools-dev libxlsxwriter-dev
  libpq-dev postgresql
  libexpat1-dev libqrencode-dev
  zbar-tools libzbar-dev nodejs chromium poppler-utils
  fonts-arphic-uming fonts-dejavu-core fontconfig
  qt6-translations-l10n
  libbenchmark-dev
  dpkg-dev ccache
)
if [ "${1:-}" = "fuzz" ]; then
  packages+=(clang libclang-rt-dev llvm)
fi
if [ "${1:-}" = "bench" ]; then
  packages+=(libbenchmark-dev libdeflate-dev libspng-dev optipng)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null; then sudo="sudo"; else
    echo "Please install as root: apt-get install ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
