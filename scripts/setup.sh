#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Vantrel need.
# Only missing packages are installed; it says which ones before it installs them.
set -euo pipefail

packages=(
  cmake make g++ googletest zlib1g-dev               # native build and tests
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools libz-mingw-w64-dev  # Windows build
  wine wine64 fonts-wine                              # runs the Windows build
  xvfb xauth                                          # a virtual display for Wine's windows
  wixl                                                # builds the demo's real .msi package
  librsvg2-bin imagemagick icoutils                   # render the pictures and the icon from SVG
  msitools                                            # msiinfo: a package's own product code, for tests
  ansible                                             # checks the export for Ansible (brings python3)
)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all needed packages are installed."
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "setup: run as root (or install sudo) to install packages" >&2; exit 1; }
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
echo "setup: done."
