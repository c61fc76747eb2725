#!/bin/sh
# The collection pass as a user would write it with coreutils alone, for the benchmark
# (bench/collect_bench.py) to time against marlowin-collect.
#
# usage: sh bench/collect.sh STARTING_FOLDER DESTINATION_FOLDER
#
# For each shot folder first_second_last with clips "MP4 HIGH RES"/vNN.mp4 it copies every clip
# to DESTINATION_FOLDER/first_second_adl_last/video/vNN_hires.mp4, every clip but v01 to
# first_second_int_last__mNN/video/vNN_hires.mp4, renames the source clip to vNN_hires.mp4, and
# at the end removes again the int copy of the greatest-numbered clip and its two folders.
# It knows only three-word shot names and clips vNN.mp4, which is all the benchmark's shoot holds.
set -eu
if [ $# -ne 2 ]; then
  echo "usage: sh collect.sh STARTING_FOLDER DESTINATION_FOLDER" >&2
  exit 2
fi
start=$1
dest=$2

for shot in "$start"/*_*_*; do
  [ -d "$shot/MP4 HIGH RES" ] || continue
  name=${shot##*/}
  first=${name%%_*}
  rest=${name#*_}
  second=${rest%%_*}
  last=${name##*_}
  adl="$dest/${first}_${second}_adl_${last}/video"
  mkdir -p "$adl"

  greatest=""
  for clip in "$shot/MP4 HIGH RES"/v[0-9][0-9].mp4; do
    [ -f "$clip" ] || continue
    base=${clip##*/}
    base=${base%.mp4}
    number=${base#v}
    cp "$clip" "$adl/${base}_hires.mp4"
    if [ "$number" != 01 ]; then
      int="$dest/${first}_${second}_int_${last}__m$number/video"
      mkdir -p "$int"
      cp "$clip" "$int/${base}_hires.mp4"
    fi
    mv -n "$clip" "${clip%.mp4}_hires.mp4"
    greatest=$number  # the glob lists the clips sorted, so the last one is the greatest
  done

  if [ -n "$greatest" ] && [ "$greatest" != 01 ]; then
    int="$dest/${first}_${second}_int_${last}__m$greatest"
    rm "$int/video/v${greatest}_hires.mp4"
    rmdir "$int/video" "$int"
  fi
done
