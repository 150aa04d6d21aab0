#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for a while.
# Usage: scripts/fuzz.sh [seconds per target]   (the decoder target gets three times as long, at
# least 60 s)
set -euo pipefail
cd "$(dirname "$0")/.."
secs="${1:-20}"
# A sanitizer report stops the target with an error (the build also sets
# -fno-sanitize-recover=all), so a finding fails this run instead of scrolling past in the log.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
export ASAN_OPTIONS="halt_on_error=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"
for bin in build/fuzz/tests/fuzz/fuzz_*; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin")
  t=$secs
  # The telegram decoder is the widest input surface: at least a minute.
  [ "$name" = fuzz_mbus_decode ] && t=$((secs * 3 > 60 ? secs * 3 : 60))
  work=$(mktemp -d)
  seeds=tests/fuzz/corpus/$name
  echo "== $name for ${t}s"
  log="$work.log"
  status=0
  "$bin" -max_total_time="$t" -print_final_stats=1 -timeout=10 -artifact_prefix="$work/" "$work" \
    $( [ -d "$seeds" ] && echo "$seeds" ) >"$log" 2>&1 || status=$?
  grep -E 'stat::number_of_executed_units|ERROR|SUMMARY' "$log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$log"
    echo "fuzz target $name found a problem (input kept in $work/, log $log)"
    exit 1
  fi
  rm -f "$log"
  rm -rf "$work"
done
