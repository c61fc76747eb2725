#!/bin/sh
# Makes the packages from the builds of the presets linux and windows (scripts/test.sh builds
# them) and checks each as a person installing it would:
#   marlowin_<version>_amd64.deb   lintian finds no error; apt-get installs it with what it
#       depends on; marlowin-collect in /usr/bin tells its version and collects the sample shoot;
#       then it is removed again
#   marlowin-<version>-win64.zip   unpacked into an empty folder, marlowin-collect.exe tells its
#       version and collects the sample shoot under a fresh Wine prefix, which has nothing else
#       installed
set -e
cd "$(dirname "$0")/.."
root=$PWD
version=$(sed -n 's/^#define MARLOWIN_VERSION "\(.*\)"$/\1/p' build/linux/generated/Version.h)
[ -n "$version" ] || { echo "package.sh: build the presets linux and windows first" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
started=$(date +%s)
step() { echo "== package: $1 ($(( $(date +%s) - started )) s)"; }

# The pass over the bundled sample, checked as the test marlowin_collect_sample_shoot does.
sample_pass() {  # EMULATOR PROGRAM WINDOWS_PATHS
  cmake "-DEMULATOR=$1" "-DPROGRAM=$2" "-DWINDOWS_PATHS=$3" -DSAMPLE="$root/samples/shoot" \
    -DWORK="$work/sample-$3" -DEXPECTED="$root/tests/cli/sample-shoot.expected" \
    -P "$root/tests/cli/SampleShootRun.cmake" && echo "pass over the sample shoot: the expected tree"
}
tells_version() {  # OUTPUT
  echo "$1" | grep -q "^marlowin-collect $version" || { echo "wrong version: '$1'" >&2; return 1; }
  echo "--version: $1"
}

step "the Debian package"
rm -f build/packages/marlowin_*.deb build/packages/marlowin-*.zip
cpack --preset linux >/dev/null
deb=build/packages/marlowin_${version}_amd64.deb
lint=0
lintian --fail-on error "$deb" >"$work/lintian" 2>&1 || lint=$?
grep -v '^running with root privileges' "$work/lintian" || true
[ "$lint" -eq 0 ] || { echo "lintian finds errors in $deb" >&2; exit 1; }
echo "lintian: no errors"
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: installing $deb needs root"
elif dpkg-query -W -f='${Status}' marlowin 2>/dev/null | grep -q "install ok installed"; then
  echo "skipped: marlowin is already installed on this machine, and is left as it is"
else
  step "apt-get install ./$deb"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "./$deb" >/dev/null
  status=0
  tells_version "$(/usr/bin/marlowin-collect --version)" && sample_pass "" /usr/bin/marlowin-collect OFF \
    || status=1
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq marlowin >/dev/null
  [ "$status" -eq 0 ]
fi

step "the Windows download"
cpack --preset windows >/dev/null
zip=build/packages/marlowin-${version}-win64.zip
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$root/$zip")
folder="$work/unpacked/marlowin-${version}-win64"
ls "$folder"
for file in marlowin.exe marlowin-collect.exe README.txt LICENSE.txt; do
  [ -f "$folder/$file" ] || { echo "$zip has no $file" >&2; exit 1; }
done
prefix="$work/wineprefix"
tells_version "$(sh cmake/wine-run.sh "$prefix" "$folder/marlowin-collect.exe" --version)"
sample_pass "$root/cmake/wine-run.sh;$prefix" "$folder/marlowin-collect.exe" ON
WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
step "done: $deb, $zip"
