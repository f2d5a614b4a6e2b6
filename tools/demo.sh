#!/usr/bin/env bash
# Runs the tool twice on the sample library, inside a throwaway folder laid
# out as a Wine prefix, so that nothing of the user's is touched:
#   demo.sh <kestrinel executable> <samples folder> <work folder>
# The first run registers the sample scenery (exit code 1) and the section it
# appended is shown; the second finds it already registered (exit code 2).
set -u
exe=$1 samples=$2 work=$3

rm -rf "$work"
library_folder="$work/prefix/drive_c/ProgramData/Microsoft/FSX"
mkdir -p "$library_folder" "$work/installer"
cp "$samples/Scenery.cfg" "$library_folder/Scenery.cfg"
cp "$samples/KestrinelConfig.ini" "$work/installer/KestrinelConfig.ini"
before=$(wc -c <"$library_folder/Scenery.cfg")

for run in first second; do
  echo "=== $run run: WINEPREFIX=$work/prefix, in $work/installer"
  (cd "$work/installer" && WINEPREFIX="$work/prefix" "$exe")
  echo "=== exit code $?"
  if [ "$run" = first ]; then
    echo "=== appended to Scenery.cfg:"
    tail -c +"$((before + 1))" "$library_folder/Scenery.cfg" | tr -d '\r'
  fi
done
