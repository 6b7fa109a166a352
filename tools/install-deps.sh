#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing.
# As root it runs apt-get; otherwise it names what to install and fails.
# With --native only what the native build (corvix, the demo) needs; with
# --dist what `make dist` needs besides (the win32 build, dpkg-shlibdeps).
set -euo pipefail

packages=(
  cmake ninja-build g++ make
  nlohmann-json3-dev libcli11-dev
)
if [ "${1:-}" != "--native" ]; then
  packages+=(g++-mingw-w64-i686 dpkg-dev)
fi
if [ "${1:-}" != "--native" ] && [ "${1:-}" != "--dist" ]; then
  packages+=(
    libgtest-dev libgmock-dev
    pkg-config libsndfile1-dev
    fluidsynth
    clang libclang-rt-14-dev
    time python3
    g++-mingw-w64-x86-64
    wine wine64 wine32:i386
    xvfb fonts-wine
    lintian unzip file
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Wine's 32-bit loader comes from the i386 architecture.
if [[ " ${missing[*]} " == *" wine32:i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
