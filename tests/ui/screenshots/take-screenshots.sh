#!/bin/sh
# Photographs both folder browsers on a virtual screen with a window manager, for the docs:
#   tests/ui/screenshots/take-screenshots.sh LINUX_BUILD WINDOWS_BUILD
# Needs xvfb-run, openbox, ImageMagick's import and Wine.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../../.." && pwd)
linux_build=$(cd "$1" && pwd)
windows_build=$(cd "$2" && pwd)
docs=$source_dir/docs
mkdir -p "$docs"

# A small folder tree to open the browser on.
shoot=$(mktemp -d /var/tmp/marlowin-screenshot.XXXXXX)
trap 'rm -rf "$shoot"' EXIT
mkdir -p "$shoot/Shoots/ab_cd_ef/MP4 HIGH RES" "$shoot/Shoots/gh_ij_kl" "$shoot/Shoots/mn_op_qr"

# shoot PROGRAM-AND-ARGS... -> the screen, a few seconds after the program started.
photograph() {
  out=$1
  shift
  xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    out=$1; shift
    openbox >/dev/null 2>&1 &
    wm=$!
    sleep 1
    "$@" >/dev/null 2>&1 &
    program=$!
    sleep 6
    import -window root "$out"
    wait $program || true
    kill $wm 2>/dev/null || true
  ' photograph "$out" "$@"
}

QT_QPA_PLATFORM=xcb photograph "$docs/dir-dialog-qt.png" \
  "$linux_build/tests/ui/marlowin_dirdialog_demo" "$shoot/Shoots/gh_ij_kl" 10

# The Windows program gets the same tree on its C: drive, near the top of the shell's tree.
prefix=$windows_build/wineprefix
"$source_dir/cmake/wine-run.sh" "$prefix" cmd /c exit >/dev/null 2>&1 || true
rm -rf "$prefix/drive_c/Shoots"
cp -r "$shoot/Shoots" "$prefix/drive_c/Shoots"
trap 'rm -rf "$shoot" "$prefix/drive_c/Shoots"' EXIT
wine_path='C:\Shoots\gh_ij_kl'
photograph "$docs/dir-dialog-windows.png" \
  "$source_dir/cmake/wine-run.sh" "$prefix" "$windows_build/tests/ui/marlowin_dirdialog_demo.exe" "$wine_path" 12

# The dialog is in the middle of the screen: keep that part.
for image in "$docs/dir-dialog-qt.png" "$docs/dir-dialog-windows.png"; do
  convert "$image" -trim +repage "$image"
done
