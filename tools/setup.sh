#!/usr/bin/env bash
# Installs, from Debian's package registry and only when missing, what building
# and testing this project needs on a fresh Debian 12 machine. Where the kernel
# runs 32-bit code it also installs 32-bit Wine (i386), which runs the shipped
# i686 files in a 64-bit prefix as WoW64 does; elsewhere it says why not, and
# the tests skip the i686 side with that reason.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

packages=(
  cmake ninja-build python3 python3-pefile openssl osslsigncode
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  gcc-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 libwine
  googletest
  clang libclang-rt-14-dev
  xvfb xdotool imagemagick
)
# 32-bit Wine, and the i386 X libraries its X11 driver loads for a 32-bit GUI program.
packages32=(
  wine32:i386
  libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386
  libxinerama1:i386 libxcomposite1:i386 libxfixes3:i386 libxxf86vm1:i386
)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done

if reason=$("$here/check32.sh" kernel); then
  for p in "${packages32[@]}"; do
    installed "$p" || missing+=("$p")
  done
else
  echo "setup: no 32-bit Wine: $reason; the i686 test runs will be skipped"
  packages32=()
fi

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: everything is installed"
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
if [ ${#packages32[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
