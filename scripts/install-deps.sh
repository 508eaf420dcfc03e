#!/usr/bin/env bash
# Installs the Debian packages Quorvane needs to build, package, run and test
# (dpkg-dev and file: cpack reads the Depends line off the built programs;
# lintian checks the package).
# Safe to run again: it only calls apt-get when a package is missing.
set -euo pipefail

packages=(
    g++ make cmake dpkg-dev file lintian
    qt6-base-dev qt6-serialport-dev libqt6serialport6 qt6-charts-dev libqt6charts6 libqt6opengl6-dev
    fonts-dejavu-core fonts-liberation2
    socat python3 python3-pymodbus python3-serial python3-serial-asyncio
    xvfb x11-apps imagemagick
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
