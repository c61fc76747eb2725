#!/bin/sh
# Installs, as root on Debian 12, whatever of the build and test tools is missing.
set -e
packages="cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev googletest
  qt6-base-dev qt6-qpa-plugins libgl-dev fonts-dejavu-core
  g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth imagemagick desktop-file-utils
  nlohmann-json3-dev libxxhash-dev time"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages:$missing (run as root to install them)" >&2
  exit 1
fi
echo "installing:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends $missing >/dev/null
