#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the program and the tests need. Idempotent: the package
# lists are refreshed and apt-get runs only when something is missing.
set -euo pipefail

packages=(
    cmake g++ make pkgconf
    qt6-base-dev qt6-serialport-dev libgl-dev
    libgtest-dev libgmock-dev
    socat xvfb xauth x11-utils xdotool imagemagick fonts-dejavu-core
    python3 srecord
    clang libclang-rt-14-dev
    libelf-dev binutils binutils-arm-none-eabi
    ser2net
    help2man dpkg-dev file lintian bash-completion
    build-essential debhelper appstream
    g++-mingw-w64-x86-64-posix wine64 wine googletest zip
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}" >&2
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
