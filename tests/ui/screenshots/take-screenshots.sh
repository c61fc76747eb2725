#!/bin/sh
# Photographs both folder browsers and both progress windows on a virtual screen with a window
# manager, for the docs:
#   tests/ui/screenshots/take-screenshots.sh LINUX_BUILD WINDOWS_BUILD [SHOT...]
# SHOT is dir-dialog-qt, dir-dialog-windows, progress-qt or progress-windows; all of them when
# none is named. Needs xvfb-run, openbox, ImageMagick's import and Wine, and the demo programs
# of both builds (marlowin_dirdialog_demo, marlowin_progress_demo).
set -eu
delay=
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../../.." && pwd)
linux_build=$(cd "$1" && pwd)
windows_build=$(cd "$2" && pwd)
shift 2
shots=${*:-dir-dialog-qt dir-dialog-windows progress-qt progress-windows}
wanted() { case " $shots " in *" $1 "*) return 0 ;; *) return 1 ;; esac; }
docs=$source_dir/docs
mkdir -p "$docs"

# A small folder tree to open the browser on.
shoot=$(mktemp -d /var/tmp/marlowin-screenshot.XXXXXX)
trap 'rm -rf "$shoot"' EXIT
mkdir -p "$shoot/Shoots/ab_cd_ef/MP4 HIGH RES" "$shoot/Shoots/gh_ij_kl" "$shoot/Shoots/mn_op_qr"

# photograph OUT PROGRAM-AND-ARGS... -> the screen, $delay seconds (6 when empty) after the
# program started.
photograph() {
  out=$1
  shift
  xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    out=$1; delay=$2; shift 2
    openbox >/dev/null 2>&1 &
    wm=$!
    sleep 1
    "$@" >/dev/null 2>&1 &
    program=$!
    sleep "$delay"
    import -window root "$out"
    wait $program || true
    kill $wm 2>/dev/null || true
  ' photograph "$out" "${delay:-6}" "$@"
}

# As the program opens it, with nothing preselected: the home folder open at the top, the
# volumes and the file system's root below it. The home folder is a made-up one.
mkdir -p "$shoot/home/Documents" "$shoot/home/Videos"
cp -r "$shoot/Shoots" "$shoot/home/Shoots"
wanted dir-dialog-qt && QT_QPA_PLATFORM=xcb photograph "$docs/dir-dialog-qt.png" \
  env HOME="$shoot/home" "$linux_build/tests/ui/marlowin_dirdialog_demo" "" 10
# A made-up pass of 60 clips, some seconds in: the window is up, the speed measured.
wanted progress-qt && QT_QPA_PLATFORM=xcb photograph "$docs/progress-qt.png" \
  "$linux_build/tests/ui/marlowin_progress_demo" 10

# The Windows program gets the same tree on its C: drive, near the top of the shell's tree.
prefix=$windows_build/wineprefix
"$source_dir/cmake/wine-run.sh" "$prefix" cmd /c exit >/dev/null 2>&1 || true
rm -rf "$prefix/drive_c/Shoots"
cp -r "$shoot/Shoots" "$prefix/drive_c/Shoots"
trap 'rm -rf "$shoot" "$prefix/drive_c/Shoots"' EXIT
wine_path='C:\Shoots\gh_ij_kl'
wanted dir-dialog-windows && photograph "$docs/dir-dialog-windows.png" \
  "$source_dir/cmake/wine-run.sh" "$prefix" "$windows_build/tests/ui/marlowin_dirdialog_demo.exe" "$wine_path" 12
# (Wine takes a few seconds to start the program.)
delay=10
wanted progress-windows && photograph "$docs/progress-windows.png" \
  "$source_dir/cmake/wine-run.sh" "$prefix" "$windows_build/tests/ui/marlowin_progress_demo.exe" 16
delay=

# The window is in the middle of the screen: keep that part.
for shot in $shots; do
  convert "$docs/$shot.png" -trim +repage "$docs/$shot.png"
done
