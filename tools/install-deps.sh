#!/bin/sh
# Installs the Debian packages the build, the tests and the demo need, when
# something is missing. Safe to run again.
#   --arm64  also the AArch64 cross toolchain, the arm64 development packages
#            (Debian multiarch) and the user-mode emulator that runs that build.
set -e
arm64=0
[ "${1:-}" = "--arm64" ] && arm64=1
packages="build-essential cmake ninja-build pkg-config libjson-c-dev libsqlite3-dev libssl-dev \
libgtest-dev sqlite3 lighttpd curl unzip zip openssl tar python3 \
busybox apache2 nginx-light fcgiwrap ffmpeg"
arm64_packages="g++-aarch64-linux-gnu libjson-c-dev:arm64 libsqlite3-dev:arm64 libssl-dev:arm64 \
libgtest-dev:arm64 qemu-user"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
updated=0
if [ "$arm64" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx arm64; then
  $SUDO dpkg --add-architecture arm64
  $SUDO apt-get update -qq
  updated=1
fi
[ "$arm64" = 1 ] && packages="$packages $arm64_packages"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
[ "$updated" = 1 ] || $SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
