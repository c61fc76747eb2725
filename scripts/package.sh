#!/bin/sh
# Makes the packages from the builds of the presets linux and windows (scripts/test.sh builds
# them) and checks each as a person installing it would:
#   marlowin_<version>_amd64.deb   lintian finds no error; apt-get installs it with what it
#       depends on; marlowin-collect in /usr/bin tells its version and collects the sample shoot;
#       then it is removed again
#   marlowin-<version>-win64.zip   unpacked into an empty folder, marlowin-collect.exe tells its
#       version and collects the sample shoot under a fresh Wine prefix, which has nothing else
#       installed
#   marlowin-<version>-win64-setup.exe   in another fresh Wine prefix: a silent install (/S) for
#       the user alone puts the programs into %LOCALAPPDATA%\Programs\Marlowin, the Start menu
#       entries and the uninstall entry (icon, version, publisher) in place; the installed
#       marlowin-collect.exe tells its version and collects the sample shoot; a silent uninstall
#       leaves no file, entry or key of it behind, and the report of that pass where it was
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
rm -f build/packages/marlowin_*.deb build/packages/marlowin-*.zip build/packages/marlowin-*-setup.exe
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
# The README for the person who unpacks it: plain text with CRLF line ends, not the Markdown one.
cmake -DREADME="$folder/README.txt" -P tests/WindowsReadme.cmake
prefix="$work/wineprefix"
tells_version "$(sh cmake/wine-run.sh "$prefix" "$folder/marlowin-collect.exe" --version)"
sample_pass "$root/cmake/wine-run.sh;$prefix" "$folder/marlowin-collect.exe" ON
WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true

step "the Windows installer"
setup=build/packages/marlowin-${version}-win64-setup.exe
[ -f "$setup" ] || { echo "cpack made no $setup" >&2; exit 1; }
prefix="$work/setup-prefix"
wine_run() { sh cmake/wine-run.sh "$prefix" "$@"; }
# A folder of the user as Windows names it, and where it lies in the prefix.
user_folder() { WINEPREFIX="$prefix" winepath -u "$(wine_run cmd /c echo "%$1%" | tr -d '\r')" 2>/dev/null; }
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Marlowin'
fail() { echo "installer: $1" >&2; exit 1; }
wine_run "$root/$setup" /S
WINEPREFIX="$prefix" wineserver -w
installed="$(user_folder LOCALAPPDATA)/Programs/Marlowin"
start_menu="$(user_folder APPDATA)/Microsoft/Windows/Start Menu/Programs/Marlowin"
for file in marlowin.exe marlowin-collect.exe README.txt LICENSE.txt Uninstall.exe; do
  [ -f "$installed/$file" ] || fail "no $file in $installed"
done
for entry in "Marlowin" "Marlowin with a backup copy" "Check a collected folder"; do
  [ -f "$start_menu/$entry.lnk" ] || fail "no Start menu entry '$entry'"
done
# A shortcut keeps its arguments in UTF-16.
strings -el "$start_menu/Check a collected folder.lnk" | grep -qx -- "--check" \
  || fail "the entry 'Check a collected folder' does not start marlowin.exe --check"
# The count stored before "--backup" reads as a tab, which strings keeps.
strings -el "$start_menu/Marlowin with a backup copy.lnk" | tr -d '\t' | grep -qx -- "--backup" \
  || fail "the entry 'Marlowin with a backup copy' does not start marlowin.exe --backup"
echo "installed: $(cd "$installed" && echo *); Start menu: $(cd "$start_menu" && echo *)"
wine_run reg query "$uninstall_key" >"$work/uninstall-entry" 2>/dev/null || fail "no uninstall entry"
for value in "DisplayName.*Marlowin" "DisplayVersion.*$version" "Publisher.*Marlowin" \
             "DisplayIcon.*marlowin.exe,0" "UninstallString.*Uninstall.exe" "QuietUninstallString.*/S"; do
  grep -q "$value" "$work/uninstall-entry" || fail "the uninstall entry has no $value"
done
echo "uninstall entry: name, version, publisher, icon, uninstaller"
tells_version "$(wine_run "$installed/marlowin-collect.exe" --version)"
sample_pass "$root/cmake/wine-run.sh;$prefix" "$installed/marlowin-collect.exe" ON
reports="$(user_folder LOCALAPPDATA)/Marlowin/reports"
kept=$(ls "$reports")
[ -n "$kept" ] || fail "the pass kept no report in $reports"
# The uninstaller copies itself out of the folder it removes and runs from there: wait for it.
wine_run "$installed/Uninstall.exe" /S
WINEPREFIX="$prefix" wineserver -w
[ ! -e "$installed" ] || fail "left behind: $(find "$installed")"
[ ! -e "$start_menu" ] || fail "left behind: $(find "$start_menu")"
if wine_run reg query "$uninstall_key" >/dev/null 2>&1; then fail "the uninstall entry is still there"; fi
[ "$(ls "$reports")" = "$kept" ] || fail "the uninstaller touched the reports: $(ls "$reports")"
echo "uninstalled: no file, Start menu entry or uninstall entry left; the report of the pass kept"
WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
step "done: $deb, $zip, $setup"
