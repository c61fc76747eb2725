#!/bin/sh
# Installs, as root on Debian 12, whatever is missing of what Marlowin needs:
#   install-deps.sh run    to build and run the programs
#   install-deps.sh test   also to build and run every test and the benchmark, and to make and
#                          check the packages (the default)
set -e
run="cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins libgl-dev fonts-dejavu-core
  nlohmann-json3-dev libxxhash-dev libssl-dev libxml2-dev librsvg2-bin libxcb1-dev"
test="libgtest-dev libgmock-dev googletest g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth
  imagemagick desktop-file-utils xxhash time python3 dosfstools fusefat exfatprogs exfat-fuse
  sshfs openssh-server mount e2fsprogs libxml2-utils clang icoutils dpkg-dev file lintian nsis
  dbus-daemon"
case "${1:-test}" in
  run) packages="$run" ;;
  test) packages="$run $test" ;;
  *) echo "usage: install-deps.sh [run|test]" >&2; exit 2 ;;
esac
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
