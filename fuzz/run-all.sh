#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time:
#   bash fuzz/run-all.sh [SECONDS_PER_TARGET] [TARGET ...]
# (600 seconds and every target by default). New corpus entries go to
# build-fuzz/corpus/NAME, findings to build-fuzz/artifacts/NAME/; a line per
# target gives its run time, executions and outcome. The exit status is 1
# when any target found something.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(archive magnetic format gcps raster fit partial geodesic)

if ! command -v clang++ >/dev/null; then
  echo "run-all: clang is needed (TIVRA_SETUP_FUZZ=1 bash tools/setup.sh installs it)" >&2
  exit 2
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTIVRA_BUILD_FUZZ=ON \
  -DTIVRA_BUILD_TESTS=OFF -DTIVRA_BUILD_BENCH=OFF -DTIVRA_BUILD_TOOLS=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target "${targets[@]/%/_fuzz}"

status=0
for t in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$t artifacts=build-fuzz/artifacts/$t
  mkdir -p "$corpus" "$artifacts"
  log=build-fuzz/$t.log
  set +e
  build-fuzz/bin/${t}_fuzz -max_total_time="$seconds" -max_len=16384 -timeout=5 -malloc_limit_mb=256 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "fuzz/corpus/$t" >"$log" 2>&1
  rc=$?
  set -e
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  took=$(grep -o 'Done [0-9]* runs in [0-9]* second' "$log" | grep -o 'in [0-9]*' | grep -o '[0-9]*' || echo "$seconds")
  if ((rc == 0)); then
    echo "$t: ${took} s, ${runs} executions, no finding"
  else
    echo "$t: FINDING after ${runs} executions (exit $rc), see $log and $artifacts/"
    status=1
  fi
done
exit $status
