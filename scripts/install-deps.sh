#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, test and run; does nothing when
# every one of them is already there. Run as root (or with sudo) on Debian 12.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libxml2-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libnl-3-dev libnl-route-3-dev
  iproute2 libcap2-bin
  clang libclang-rt-14-dev
  nlohmann-json3-dev
  qt6-base-dev qt6-svg-dev
  qt6-translations-l10n
  xvfb xauth
  bash-completion
  debhelper dpkg-dev fakeroot lintian desktop-file-utils appstream man-db groff-base libcap2-bin
  systemd  # systemd-analyze verify of the service's units, in the package check only
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
