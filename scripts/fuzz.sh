#!/usr/bin/env bash
# The package fuzzer (libFuzzer, ASan + UBSan, host only).
#   scripts/fuzz.sh smoke [SECONDS]        build, replay the seeds and every file in
#                                          fuzz/regressions, then fuzz for SECONDS (180)
#   scripts/fuzz.sh campaign RUNS [SECONDS] a long campaign of RUNS executions (stops early after
#                                          SECONDS when given); its corpus and log stay in
#                                          $FUZZ_WORK (/tmp/orv-fuzz)
# The seeds in fuzz/corpus come from the package writer: package_fuzz_seeds fuzz/corpus.
# Any crash, leak, sanitizer report, out-of-memory or timeout fails the script; libFuzzer leaves
# the reproducer in $FUZZ_WORK/artifacts: copy it into fuzz/regressions once fixed.
set -euo pipefail
shopt -s nullglob
cd "$(dirname "$0")/.."

mode=${1:-}
build=${FUZZ_BUILD_DIR:-build/fuzz}
work=${FUZZ_WORK:-/tmp/orv-fuzz}
fuzzer=$build/fuzz/package_fuzzer
options=(-dict=fuzz/package.dict -malloc_limit_mb=256 -rss_limit_mb=2048 -timeout=10
         -print_final_stats=1)

build_fuzzer() {
  cmake --preset fuzz -B "$build" >/dev/null
  cmake --build "$build" -j "$(nproc)" --target package_fuzzer package_fuzz_seeds
  mkdir -p "$work/corpus" "$work/artifacts"
}

# Every regression input and seed must run clean on its own.
replay() {
  local inputs=(fuzz/corpus/*)
  for f in fuzz/regressions/*; do
    [ "$(basename "$f")" != README.md ] && inputs+=("$f")
  done
  echo "fuzz: replaying ${#inputs[@]} inputs"
  "$fuzzer" "${options[@]}" -runs=1 "${inputs[@]}" >"$work/replay.log" 2>&1 || {
    cat "$work/replay.log"
    echo "fuzz: a regression input fails"
    return 1
  }
}

fuzz() {  # fuzz LOG [libFuzzer options]
  local log=$1
  shift
  echo "fuzz: log in $log"
  if ! "$fuzzer" "${options[@]}" -artifact_prefix="$work/artifacts/" "$@" \
    "$work/corpus" fuzz/corpus >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz: FAILED (reproducer in $work/artifacts)"
    return 1
  fi
  grep -E '^(#[0-9]+ +DONE|stat::|Done )' "$log" || true
}

case "$mode" in
  smoke)
    seconds=${2:-180}
    build_fuzzer
    replay
    fuzz "$work/smoke.log" -max_total_time="$seconds"
    echo "fuzz: smoke passed"
    ;;
  campaign)
    runs=${2:?usage: scripts/fuzz.sh campaign RUNS [SECONDS]}
    build_fuzzer
    replay
    limit=()
    [ -n "${3:-}" ] && limit=(-max_total_time="$3")
    fuzz "$work/campaign.log" -runs="$runs" "${limit[@]}"
    ;;
  *)
    sed -n "2,11p" "$0"
    exit 2
    ;;
esac
