#!/bin/sh
# Builds Marlowin for Linux and runs it. With a display, the program asks for the two
# folders as usual. Without one, the same collection pass runs headless on a copy of the
# bundled sample shoot, and the tree is printed before and after.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh run
# Only the programs: the tests and their tools are scripts/test.sh's.
cmake --preset linux -DMARLOWIN_BUILD_TESTS=OFF >/dev/null
cmake --build --preset linux -j2 --target marlowin marlowin-collect

if [ -n "$DISPLAY$WAYLAND_DISPLAY" ] && [ -x build/linux/app/marlowin ]; then
  exec build/linux/app/marlowin
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -R samples/shoot "$work/shoot"
mkdir "$work/collected"
show() { (cd "$work" && find shoot collected | LC_ALL=C sort | sed 's/^/  /'); }
echo "No display: collecting the sample shoot headless in $work"
echo "Before:"
show
build/linux/cli/marlowin-collect "$work/shoot" "$work/collected"
echo "After:"
show
