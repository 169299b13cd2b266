#!/usr/bin/env bash
# Runs each fuzz target for the given number of seconds, one after another
# (the machine has two cores to share), then prints one line per target:
# runs, seconds, edge coverage, features, corpus size and the verdict.
#
#   bash tests/fuzz/run.sh SECONDS [TARGET...]
#
# The fuzz preset must have been built (cmake --preset fuzz && cmake --build
# --preset fuzz). New inputs go to build/fuzz/corpus/TARGET, crashes and
# other findings to build/fuzz/findings/, logs to build/fuzz/logs/; the
# committed seeds under tests/fuzz/TARGET are only read.
set -uo pipefail

cd "$(dirname "$0")/../.."
seconds="${1:?usage: $0 SECONDS [TARGET...]}"
shift
build=build/fuzz
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(record_files ini_settings line_list text_forms calibration jfif_density
           jpeg_decoder waypoints_routes map_routes stage_times gpx_reader terrain_model
           terrain_vrt)
fi

mkdir -p "$build/corpus" "$build/findings" "$build/logs"
summary="$build/logs/summary.txt"
# Qt and libjpeg are not instrumented; a map header may ask for gigabytes,
# which the decoder must survive as a refused allocation.
export ASAN_OPTIONS="allocator_may_return_null=1:detect_leaks=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
export QT_QPA_PLATFORM=offscreen

status=0
for t in "${targets[@]}"; do
  exe="$build/tests/fuzz/fuzz_$t"
  if [ ! -x "$exe" ]; then
    echo "missing $exe: build the fuzz preset first" >&2
    exit 2
  fi
  mkdir -p "$build/corpus/$t"
  log="$build/logs/$t.log"
  start=$(date +%s)
  "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=3072 -malloc_limit_mb=3072 \
    -print_final_stats=1 -artifact_prefix="$build/findings/$t-" \
    "$build/corpus/$t" "tests/fuzz/$t" >"$log" 2>&1
  rc=$?
  end=$(date +%s)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corp=$(sed -n 's/.* corp: \([0-9]*\/[0-9A-Za-z]*\).*/\1/p' <<<"$last")
  verdict=clean
  [ "$rc" -ne 0 ] && verdict="FINDING (exit $rc, see $log)" && status=1
  line="$(date -u +%Y-%m-%dT%H:%M:%SZ) $t runs=${runs:-?} seconds=$((end - start)) cov=${cov:-?} ft=${ft:-?} corpus=${corp:-?} $verdict"
  echo "$line" | tee -a "$summary"
done
exit $status
