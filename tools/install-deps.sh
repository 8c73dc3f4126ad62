#!/bin/sh
# Installs the Debian packages the build, the tests, the fuzz targets (clang
# with the libFuzzer and sanitizer runtimes) and the demo need, when
# something is missing. Safe to run again.
set -e
packages="build-essential cmake ninja-build pkg-config libjson-c-dev libsqlite3-dev libssl-dev \
libgtest-dev sqlite3 lighttpd curl unzip zip openssl tar python3 \
busybox apache2 nginx-light fcgiwrap ffmpeg \
clang libclang-rt-14-dev"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
