#!/bin/sh
# Photographs both folder browsers and both progress windows, the check's folder browser and
# message, a notification and the Windows installer on a virtual screen with a window manager,
# for the docs:
#   tests/ui/screenshots/take-screenshots.sh LINUX_BUILD WINDOWS_BUILD [SHOT...]
# SHOT is dir-dialog-qt, dir-dialog-windows, progress-qt, progress-windows, check-dialog-qt,
# check-message-qt, notification-qt or installer-windows; all of them when none is named. Needs
# xvfb-run, openbox, ImageMagick's import, Wine, dbus-run-session and dunst (the notification
# service), the demo programs of both builds (marlowin_dirdialog_demo, marlowin_progress_demo,
# marlowin_check_message_demo) and the installer (cpack --preset windows).
set -eu
delay=
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../../.." && pwd)
linux_build=$(cd "$1" && pwd)
windows_build=$(cd "$2" && pwd)
shift 2
shots=${*:-dir-dialog-qt dir-dialog-windows progress-qt progress-windows check-dialog-qt check-message-qt notification-qt installer-windows}
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

# The check's one folder choice, at a collected folder.
mkdir -p "$shoot/home/Collected/harbour_dawn_adl_wide/video" "$shoot/home/Collected/ascmhl"
wanted check-dialog-qt && QT_QPA_PLATFORM=xcb photograph "$docs/check-dialog-qt.png" \
  env HOME="$shoot/home" "$linux_build/tests/ui/marlowin_dirdialog_demo" "$shoot/home/Collected" 10 \
  "Select the collected folder to check:"
# The check's message for a collected folder with a copy missing, one changed and one unrecorded.
# Made in a folder of a short name, which the message shows.
footage=/tmp/Footage
mkdir -p "$footage"
trap 'rm -rf "$shoot" "$footage"' EXIT
wanted check-message-qt && QT_QPA_PLATFORM=xcb photograph "$docs/check-message-qt.png" \
  "$linux_build/tests/ui/marlowin_check_message_demo" 10 --plain "$footage"
# The same after long work, on a session bus of its own with dunst as the notification service:
# only the notification, in the screen's top right corner, is kept.
if wanted notification-qt; then
  QT_QPA_PLATFORM=xcb photograph "$docs/notification-qt.png" dbus-run-session -- sh -c '
    dunst >/dev/null 2>&1 &
    sleep 1
    "$0" 10 --attention "$1"' "$linux_build/tests/ui/marlowin_check_message_demo" "$footage"
  convert "$docs/notification-qt.png" -gravity NorthEast -crop 336x124+0+0 +repage "$docs/notification-qt.png"
fi

# The Windows program gets the same tree on its C: drive, near the top of the shell's tree.
prefix=$windows_build/wineprefix
"$source_dir/cmake/wine-run.sh" "$prefix" cmd /c exit >/dev/null 2>&1 || true
rm -rf "$prefix/drive_c/Shoots"
cp -r "$shoot/Shoots" "$prefix/drive_c/Shoots"
trap 'rm -rf "$shoot" "$footage" "$prefix/drive_c/Shoots"' EXIT
wine_path='C:\Shoots\gh_ij_kl'
wanted dir-dialog-windows && photograph "$docs/dir-dialog-windows.png" \
  "$source_dir/cmake/wine-run.sh" "$prefix" "$windows_build/tests/ui/marlowin_dirdialog_demo.exe" "$wine_path" 12
# (Wine takes a few seconds to start the program.)
delay=10
wanted progress-windows && photograph "$docs/progress-windows.png" \
  "$source_dir/cmake/wine-run.sh" "$prefix" "$windows_build/tests/ui/marlowin_progress_demo.exe" 16
# The installer's first page, in a prefix of its own: nothing installed there before.
if wanted installer-windows; then
  setup=$(ls "$source_dir"/build/packages/marlowin-*-win64-setup.exe | tail -n 1)
  setup_prefix=$(mktemp -d /var/tmp/marlowin-setup-prefix.XXXXXX)
  "$source_dir/cmake/wine-run.sh" "$setup_prefix" cmd /c exit >/dev/null 2>&1 || true
  # It waits for the person: it is ended once photographed.
  photograph "$docs/installer-windows.png" timeout 20 "$source_dir/cmake/wine-run.sh" "$setup_prefix" "$setup"
  WINEPREFIX="$setup_prefix" wineserver -k 2>/dev/null || true
  rm -rf "$setup_prefix" "$setup_prefix.lock"
fi
delay=

# The window is in the middle of the screen: keep that part.
for shot in $shots; do
  convert "$docs/$shot.png" -trim +repage "$docs/$shot.png"
done
