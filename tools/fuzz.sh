#!/usr/bin/env bash
# Builds the fuzz targets and runs each for the given number of seconds
# (default 60), starting from seeds made of the test fixtures:
#   tools/fuzz.sh [seconds]
# A crash or a broken invariant stops the target, leaves the input that caused
# it in build/fuzz/artifacts/ and fails the script. The corpora grow in
# build/fuzz/corpus-*, so a longer run later starts where this one ended.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

out=build/fuzz
mkdir -p "$out/artifacts" "$out/corpus-profile_text" "$out/corpus-registration"
marker=$'\n#kestrinel-config#\n'
n=0
for case in tests/e2e/cases/*/; do
  n=$((n + 1))
  for file in Scenery.cfg KestrinelConfig.ini; do
    [ -f "$case$file" ] && cp "$case$file" "$out/corpus-profile_text/seed-$n-$file"
  done
  if [ -f "${case}Scenery.cfg" ]; then
    seed="$out/corpus-registration/seed-$n"
    cp "${case}Scenery.cfg" "$seed"
    if [ -f "${case}KestrinelConfig.ini" ]; then
      printf '%s' "$marker" >>"$seed"
      cat "${case}KestrinelConfig.ini" >>"$seed"
    fi
  fi
done
cp samples/Scenery.cfg "$out/corpus-registration/seed-sample"
cp samples/Scenery.cfg samples/KestrinelConfig.ini "$out/corpus-profile_text/"

for target in profile_text registration; do
  echo "== ${target}_fuzzer for ${seconds} s"
  log="$out/$target.log"
  status=0
  "$out/tests/fuzz/${target}_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=65536 -dict=tests/fuzz/profile.dict -print_final_stats=1 \
    -artifact_prefix="$out/artifacts/${target}-" "$out/corpus-$target" >"$log" 2>&1 || status=$?
  grep -E 'stat::number_of_executed_units|stat::peak_rss_mb|INITED|DONE' "$log" || true
  if [ "$status" -ne 0 ]; then
    tail -40 "$log" >&2
    echo "${target}_fuzzer failed; the input is in $out/artifacts" >&2
    exit 1
  fi
done
