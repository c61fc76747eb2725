#!/bin/sh
# Runs a Windows program under Wine: wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix is created on first use; a lock keeps parallel first runs from racing.
prefix=$1
shift
export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko installer prompts in a test prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$prefix"
if [ ! -f "$prefix/.ready" ]; then
  (
    flock 9
    if [ ! -f "$prefix/.ready" ]; then
      wineboot --init >/dev/null 2>&1 && wineserver -w && touch "$prefix/.ready"
    fi
  ) 9>"$prefix.lock"
fi
exec wine "$@"
