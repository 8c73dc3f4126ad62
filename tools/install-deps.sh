#!/bin/sh
# Installs the Debian packages the build, the tests, the fuzz targets (clang
# with the libFuzzer and sanitizer runtimes) and the demo need, when
# something is missing. Safe to run again.
#   --arm64  also the AArch64 cross toolchain, the arm64 development packages
#            (Debian multiarch) and the user-mode emulator that runs that build.
set -e
arm64=0
[ "${1:-}" = "--arm64" ] && arm64=1
packages="build-essential cmake ninja-build pkg-config libjson-c-dev libsqlite3-dev libssl-dev \
libgtest-dev sqlite3 lighttpd curl unzip zip openssl tar python3 \
busybox apache2 nginx-light fcgiwrap ffmpeg \
clang libclang-rt-14-dev chromium"
# The route catalogue's tests drive a browser from Node: Node and npm come
# from Debian where the machine has none.
command -v npm >/dev/null 2>&1 || packages="$packages nodejs npm"
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
if [ -n "$missing" ]; then
  echo "installing:$missing"
  [ "$updated" = 1 ] || $SUDO apt-get update -qq
  # shellcheck disable=SC2086
  $SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi

# The route catalogue's tests: an OpenAPI 3.1 validator and a browser driver
# (it drives Debian's chromium, it downloads no browser), kept outside the
# work tree. NVR_NODE_PREFIX names another folder.
node_prefix=${NVR_NODE_PREFIX:-/opt/nvr-node}
node_packages="@apidevtools/swagger-parser@10.1.1 playwright-core@1.65.2"
if [ ! -f "$node_prefix/node_modules/@apidevtools/swagger-parser/package.json" ] ||
  [ ! -f "$node_prefix/node_modules/playwright-core/package.json" ]; then
  echo "installing into $node_prefix: $node_packages"
  $SUDO mkdir -p "$node_prefix"
  # shellcheck disable=SC2086
  PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 $SUDO npm install --prefix "$node_prefix" --no-audit \
    --no-fund --no-save --loglevel=error $node_packages >/dev/null
fi
