#!/usr/bin/env bash
# Runs each libFuzzer target for a set time.
#   scripts/fuzz.sh BUILD_DIR SECONDS_PER_TARGET
# A target starts from the seeds in fuzz/corpus/ and from what its earlier runs
# kept in BUILD_DIR/fuzz-corpus/. A finding (crash, sanitizer report, leak,
# timeout, failed check) ends that target's run and the whole script fails;
# the input that caused it is saved in BUILD_DIR/fuzz-findings/TARGET/ and the
# log in BUILD_DIR/fuzz-logs/TARGET.log. The memory limit is generous: the
# option target keeps every curve it sets up, as the renderer does for its run.
set -uo pipefail

build=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

status=0
for entry in wave_file_fuzzer:wave wave_effects_fuzzer:wave render_options_fuzzer:options; do
  target=${entry%%:*}
  kind=${entry##*:}
  corpus=$build/fuzz-corpus/$target
  findings=$build/fuzz-findings/$target
  log=$build/fuzz-logs/$target.log
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  if "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
      -print_final_stats=1 -dict="$root/fuzz/$kind.dict" -artifact_prefix="$findings/" \
      "$corpus" "$root/fuzz/corpus/$kind" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "fuzz: $target: $runs executions in ${seconds} s ($rate/s), no findings"
  else
    echo "fuzz: $target: FINDING (log $log, input in $findings/)"
    grep -E "ERROR|SUMMARY|fuzz check failed|runtime error|Test unit written" "$log" | head -20
    status=1
  fi
done
exit $status
