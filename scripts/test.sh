#!/bin/sh
# Builds everything and runs every test: Linux, Linux with AddressSanitizer and
# UndefinedBehaviorSanitizer, Linux built with Clang, and Windows (cross-built, run under Wine on
# a virtual display); then makes the packages and checks them (scripts/package.sh).
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh test

for preset in linux linux-asan linux-clang windows; do
  echo "== $preset: build"
  cmake --preset "$preset" -DMARLOWIN_BUILD_TESTS=ON >/dev/null
  cmake --build --preset "$preset" -j2
done

status=0
for preset in linux linux-asan linux-clang; do
  echo "== $preset: tests"
  ctest --preset "$preset" -j2 || status=1
done
python3 bench/collect_bench.py --smoke --allow-tmpfs --binary build/linux/cli/marlowin-collect || status=1
echo "== windows: tests (Wine)"
# The Windows dialogs need an X display; the Wine prefix is private to the build folder.
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset windows || status=1
WINEPREFIX="$PWD/build/windows/wineprefix" wineserver -k 2>/dev/null || true
sh scripts/package.sh || status=1

if [ "$status" -eq 0 ]; then echo "all tests passed on Linux (GCC, sanitizers, Clang) and Windows, and both packages"; fi
exit "$status"
