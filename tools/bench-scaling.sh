#!/usr/bin/env bash
# Scaling table of the library on this machine: throughput of resampling,
# convolution and statistics with one worker and with two, the ratio between
# them, and the same cases with the whole process held to one processor by
# `taskset -c 0` (the pools then see one processor, so a request for two
# workers gets one). The machine's memcpy and read bandwidth are measured in
# the same run, and each case's bytes per second are set beside them, so a
# case that runs near the machine's bandwidth (memory-bound) stands apart from
# one held back by its arithmetic.
#
# Builds only the three benchmark programs it needs, in BUILD_DIR (a Release
# tree is configured there when there is none), runs the Scaling cases of
# bench/mt_resample_bench.cpp and bench/grid_statistics_bench.cpp and the
# whole of bench/machine_bandwidth_bench.cpp, and prints a Markdown table.
#
#   bash tools/bench-scaling.sh
#
# Environment:
#   BUILD_DIR    build tree (default build/ at the top of the repository)
#   MIN_TIME     Google Benchmark's --benchmark_min_time per run, in seconds (0.3)
#   REPETITIONS  runs of each case, interleaved at random; the table shows
#                the median (3)
#   KEEP_JSON    a folder to keep the raw JSON and console logs in (none)
#
# Figures from a machine that other work shares are indicative only: the
# load average before and after the runs is printed with the table.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
min_time=${MIN_TIME:-0.3}
reps=${REPETITIONS:-3}
targets=(mt_resample_bench grid_statistics_bench machine_bandwidth_bench)

command -v python3 > /dev/null || { echo "bench-scaling: python3 is needed to read the results" >&2; exit 1; }
command -v taskset > /dev/null || { echo "bench-scaling: taskset (util-linux) is needed" >&2; exit 1; }

# A fresh tree is configured for Release; an existing one is used as it is,
# with a warning when it is not a Release build (its figures would mislead).
if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
fi
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
[[ $build_type == Release ]] || echo "bench-scaling: warning: $build is a '$build_type' build, not Release" >&2
if ! cmake --build "$build" -j "$(nproc)" --target "${targets[@]}" > "$build/bench-scaling-build.log" 2>&1; then
  tail -n 30 "$build/bench-scaling-build.log" >&2
  echo "bench-scaling: the build failed (Google Benchmark comes from Debian's libbenchmark-dev)" >&2
  exit 1
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# run TAG PROGRAM FILTER [PREFIX...]: one program's cases that match FILTER,
# as JSON in $out/TAG-PROGRAM.json. The console output goes to a log; the
# JSON comes from --benchmark_out, as the resampling program prints through a
# console reporter of its own whatever --benchmark_format says.
run() {
  local tag=$1 prog=$2 filter=$3
  shift 3
  "$@" "$build/bin/$prog" --benchmark_filter="$filter" --benchmark_min_time="$min_time" \
    --benchmark_repetitions="$reps" --benchmark_enable_random_interleaving=true \
    --benchmark_out="$out/$tag-$prog.json" --benchmark_out_format=json > "$out/$tag-$prog.log" 2>&1 || {
    tail -n 20 "$out/$tag-$prog.log" >&2
    echo "bench-scaling: $prog failed" >&2
    exit 1
  }
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
# Every processor: one worker and two.
run all machine_bandwidth_bench '.'
run all mt_resample_bench '^Scaling/'
run all grid_statistics_bench '^BM_ScalingStatistics/'
# One processor: two workers asked for, one granted.
run one machine_bandwidth_bench 'workers:2' taskset -c 0
run one mt_resample_bench '^Scaling/.*/workers:2' taskset -c 0
run one grid_statistics_bench '^BM_ScalingStatistics/.*/workers:2' taskset -c 0
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

if [[ -n ${KEEP_JSON:-} ]]; then
  mkdir -p "$KEEP_JSON"
  cp "$out"/*.json "$out"/*.log "$KEEP_JSON"/
fi

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
rev=$(git -C "$root" rev-parse --short HEAD 2> /dev/null || echo unknown)
python3 - "$out" "$cpu" "$(nproc)" "$rev" "$load_before" "$load_after" "$min_time" "$reps" << 'EOF'
import json, re, statistics, sys
from pathlib import Path

out, cpu, nproc, rev, load_before, load_after, min_time, reps = sys.argv[1:]

# results[(case, mode)] = (items/s, bytes/s, workers): the median over the
# repetitions; mode is "1" or "2" (workers asked for) or "one" (taskset -c 0).
samples = {}
for path in Path(out).glob("*.json"):
    tag = path.name.split("-", 1)[0]
    for b in json.loads(path.read_text())["benchmarks"]:
        if b.get("run_type") != "iteration" or b.get("error_occurred"):
            continue
        name = b["run_name"].removesuffix("/real_time")
        m = re.search(r"/workers:(\d+)", name)
        if not m:
            continue
        case = name[: m.start()] + name[m.end():]
        mode = "one" if tag == "one" else m.group(1)
        if b.get("label"):
            case = b["label"].removesuffix(" statistics in bands") + " statistics"
        samples.setdefault((case, mode), []).append(
            (b.get("items_per_second", 0.0), b.get("bytes_per_second", 0.0), int(b.get("workers", 0))))

results = {k: tuple(statistics.median(x[i] for x in v) for i in range(3)) for k, v in samples.items()}

def label(case):
    """A readable name for a benchmark case."""
    if case.startswith("Scaling/Resample/affine/"):
        t, method = case.split("/")[3:5]
        return f"resample affine {t} {method}"
    if case.startswith("Scaling/Convolve/"):
        size, types, edge = case.split("/")[2:5]
        return f"convolve {size} {types.replace('_to_', '→')} {edge}"
    return case

def fmt(x, scale=1e6, digits=1):
    return "–" if x is None else f"{x / scale:.{digits}f}"

def get(case, mode, i):
    r = results.get((case, mode))
    return None if r is None else r[i]

bw = {(k, m): get(k, m, 1) for k in ("BM_MemcpyBandwidth", "BM_ReadBandwidth") for m in ("1", "2", "one")}

print(f"## Scaling on {cpu}, {nproc} processors (commit {rev})\n")
print(f"Load average (1, 5, 15 min): {load_before} before, {load_after} after. "
      f"Each figure is the median of {reps} runs of at least {min_time} s, interleaved at random.\n")
if max(float(load_before.split()[0]), float(load_after.split()[0])) > 0.5:
    print("Other work was running: a pass with two workers, each pinned to its own processor, waits for "
          "the one that gets less time, so the ratios read low and the figures are indicative only.\n")

print("### Machine bandwidth, GB/s (10⁹ bytes per second)\n")
print("| pass | 1 worker | 2 workers | ratio 2/1 | single core (taskset) |")
print("|---|---:|---:|---:|---:|")
for key, what in (("BM_MemcpyBandwidth", "memcpy 256 MiB (read + write bytes)"), ("BM_ReadBandwidth", "read 256 MiB (sum)")):
    one, two, ts = bw[(key, "1")], bw[(key, "2")], bw[(key, "one")]
    ratio = f"{two / one:.2f}" if one and two else "–"
    print(f"| {what} | {fmt(one, 1e9, 2)} | {fmt(two, 1e9, 2)} | {ratio} | {fmt(ts, 1e9, 2)} |")

print("\n### Cases\n")
print("Throughput in millions of output pixels (resampling, convolution) or samples (statistics) per second. "
      "GB/s counts the bytes a pass must move: the source read once, and for resampling and convolution the "
      "destination written once. \"% of bw\" sets that beside the machine's bandwidth with the same "
      "workers: memcpy for the cases that read and write, read for the statistics; near 100 % the case is held "
      "by memory, far below it by its arithmetic.\n")
print("| case | 1 worker | 2 workers | ratio 2/1 | single core (taskset) | GB/s 1 worker | % of bw | GB/s 2 workers | % of bw |")
print("|---|---:|---:|---:|---:|---:|---:|---:|---:|")
def order(case):
    """Resampling, convolution, statistics; UINT08 before REAL32; methods from the cheapest."""
    kind = 0 if "Resample" in case else 1 if "Convolve" in case else 2
    method = next((i for i, m in enumerate(("nearest", "bilinear", "cubic")) if case.endswith("/" + m)), 0)
    return kind, "REAL32" in case.split("_to_")[0], method, case

cases = sorted({c for c, _ in results if not c.startswith("BM_")}, key=order)
for case in cases:
    one, two, ts = (get(case, m, 0) for m in ("1", "2", "one"))
    b1, b2 = get(case, "1", 1), get(case, "2", 1)
    ref = "BM_ReadBandwidth" if case.endswith("statistics") else "BM_MemcpyBandwidth"
    share = lambda b, m: f"{100 * b / bw[(ref, m)]:.0f} %" if b and bw[(ref, m)] else "–"
    ratio = f"{two / one:.2f}" if one and two else "–"
    granted = get(case, "one", 2)
    ts_text = fmt(ts) + (f" ({granted:.0f} worker)" if granted is not None and granted != 1 else "")
    print(f"| {label(case)} | {fmt(one)} | {fmt(two)} | {ratio} | {ts_text} | "
          f"{fmt(b1, 1e9, 2)} | {share(b1, '1')} | {fmt(b2, 1e9, 2)} | {share(b2, '2')} |")
EOF
