#!/usr/bin/env bash
# Runs every test: host unit tests (also under ASan + UBSan), the three builds, and the
# end-to-end scenarios under Wine. Ends with one line "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/setup.sh || exit 1

jobs=$(nproc)
werror=-DORV_WERROR=ON
total_pass=0
total_fail=0
failed_steps=()

step() {  # step NAME COMMAND...
  local name=$1
  shift
  echo "== $name"
  if ! "$@"; then
    failed_steps+=("$name")
    return 1
  fi
}

# Counts a ctest run's results from its summary line.
run_ctest() {  # run_ctest NAME BUILD_DIR [ctest args]
  local name=$1 dir=$2
  shift 2
  local log
  log=$(mktemp)
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" "$@" 2>&1 | tee "$log"
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    echo "$name: no test summary"
    failed_steps+=("$name")
    total_fail=$((total_fail + 1))
    return
  fi
  local failed all
  failed=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
  all=$(echo "$line" | sed -E 's/.* tests failed out of ([0-9]+).*/\1/')
  total_pass=$((total_pass + all - failed))
  total_fail=$((total_fail + failed))
  [ "$failed" -eq 0 ] || failed_steps+=("$name")
}

configure() {  # configure PRESET [extra]
  local preset=$1
  shift
  cmake --preset "$preset" "$werror" "$@" >/dev/null
}

step "configure host" configure host &&
  step "build host" cmake --build --preset host -j "$jobs" &&
  run_ctest "host tests" build/host

step "configure host-asan" configure host-asan &&
  step "build host-asan" cmake --build --preset host-asan -j "$jobs" &&
  run_ctest "host tests (ASan+UBSan)" build/host-asan

step "configure win32" configure win32 &&
  step "build win32" cmake --build --preset win32 -j "$jobs" &&
  run_ctest "win32 image checks" build/win32

step "configure win64" configure win64 -DORV_HOST_PACKER="$root/build/host/tools/packer/packer" &&
  step "build win64" cmake --build --preset win64 -j "$jobs" &&
  run_ctest "win64 and Wine tests" build/win64 -j 1

if [ ${#failed_steps[@]} -gt 0 ]; then
  echo "failed: ${failed_steps[*]}"
  [ "$total_fail" -gt 0 ] || total_fail=${#failed_steps[@]}
fi
echo "$total_pass passed, $total_fail failed"
[ "$total_fail" -eq 0 ]
