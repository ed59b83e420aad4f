#!/usr/bin/python3
"""Wall time of one warp and one stats run: the single process against the
recipes on a local cluster of 1 and 2 worker processes.

    measure.py WORKDIR [--side 8192] [--tile 2048] [--repeat 3]

Needs TIVRA (the program) and HELPER (tivra_test_data, from a build with
tests) in the environment. Prints a Markdown table of the median of
--repeat runs; the cluster times include starting the cluster.
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TIVRA, HELPER = os.environ["TIVRA"], os.environ["HELPER"]
WARP_OPTIONS = ["--method", "second", "--pixel-size", "1", "--interp", "cubic"]


def write_gcps(path, side):
    """Control points of a rotation of about 4 degrees with a mild
    second-order bend over a side x side image."""
    with open(path, "w") as f:
        f.write("id,used,img_x,img_y,ref_x,ref_y\n")
        k = 0
        for x in (0.01 * side, 0.34 * side, 0.67 * side, 0.99 * side):
            for y in (0.01 * side, 0.5 * side, 0.99 * side):
                k += 1
                ref_x = 500000 + 0.998 * x + 0.07 * y + 2e-6 * x * y
                ref_y = 4000000 + side + 0.07 * x - 0.998 * y - 1e-6 * x * x
                f.write(f"{k},1,{x!r},{y!r},{ref_x!r},{ref_y!r}\n")


def timed(command):
    """Seconds of wall time of a command, and its standard output."""
    start = time.monotonic()
    done = subprocess.run(command, check=True, capture_output=True, text=True)
    return time.monotonic() - start, done.stdout


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("workdir")
    parser.add_argument("--side", type=int, default=8192)
    parser.add_argument("--tile", type=int, default=2048)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    os.makedirs(args.workdir, exist_ok=True)
    src, gcps = os.path.join(args.workdir, "in.tif"), os.path.join(args.workdir, "in.gcps.csv")
    out = os.path.join(args.workdir, "out.tif")
    subprocess.run([HELPER, "pattern", src, str(args.side), str(args.side), "UInt8", "1", "TILED=YES"], check=True)
    write_gcps(gcps, args.side)
    python = sys.executable
    runs = {
        ("warp", "single process"): [TIVRA, "warp", src, out, "--gcps", gcps, *WARP_OPTIONS, "--quiet"],
        ("stats", "single process"): [TIVRA, "stats", src, "--json"],
    }
    for workers in (1, 2):
        runs[("warp", f"local cluster, {workers} worker(s)")] = [
            python, os.path.join(HERE, "warp_cluster.py"), src, out, "--gcps", gcps, *WARP_OPTIONS,
            "--scheduler", "local", "--workers", str(workers), "--tile", str(args.tile)]
        runs[("stats", f"local cluster, {workers} worker(s)")] = [
            python, os.path.join(HERE, "stats_cluster.py"), src, "--scheduler", "local", "--workers", str(workers),
            "--tile", str(args.tile), "--json"]
    print(f"{args.side} x {args.side} UInt8, tiles of {args.tile}, {os.cpu_count()} cores, "
          f"median of {args.repeat}\n")
    print("| job | run | wall s | recipe's own split |\n|---|---|---|---|")
    for (job, run), command in runs.items():
        times, last = [], ""
        for _ in range(args.repeat):
            seconds, last = timed(command)
            times.append(seconds)
        split = last.strip().splitlines()[-1].split("time ", 1)[-1] if "cluster" in run and job == "warp" else ""
        print(f"| {job} | {run} | {statistics.median(times):.2f} | {split} |")


if __name__ == "__main__":
    main()
