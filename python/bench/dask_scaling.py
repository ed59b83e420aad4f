#!/usr/bin/python3
"""Wall time of the test warp and stats job: the single process against tivra.dask on running
local clusters (2 single-threaded worker processes, 1, and one process with 2 threads), and the
per-chunk overhead beside the resampling itself.

    PYTHONPATH=build/python python/bench/dask_scaling.py WORKDIR [--side 8192] [--chunk 2048] [--repeat 3]

TIVRA names the program (default build/bin/tivra). Prints Markdown tables of the median of
--repeat runs; cluster start-up is timed apart from the jobs.
"""

import argparse
import os
import statistics
import subprocess
import time

import distributed
import numpy as np

import tivra
import tivra.dask as tdask

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
TIVRA = os.environ.get("TIVRA", os.path.join(ROOT, "build", "bin", "tivra"))
# Second order, cubic, unit pixels: the job the scaling section has always measured.
FIT = {"method": "second", "interpolation": "cubic", "pixel_size": 1.0}
WARP_OPTIONS = ["--method", "second", "--interp", "cubic", "--pixel-size", "1", "--quiet"]


def make_job(folder, side):
    """An 8-bit pattern raster side x side and control points of a rotation of about 4 degrees with a
    mild second-order bend."""
    y, x = np.mgrid[0:side, 0:side]
    image = ((x * 7 + y * 3) % 251 ^ (x // 64 + y // 64) % 5).astype(np.uint8)
    src, gcps = os.path.join(folder, "in.tif"), os.path.join(folder, "in.gcps.csv")
    tivra.write_raster(src, image, transform=(500000, 1, 0, 4000000 + side, 0, -1), crs="EPSG:32611",
                       options=["TILED=YES"])
    with open(gcps, "w") as f:
        f.write("id,used,img_x,img_y,ref_x,ref_y\n")
        k = 0
        for px in (0.01 * side, 0.34 * side, 0.67 * side, 0.99 * side):
            for py in (0.01 * side, 0.5 * side, 0.99 * side):
                k += 1
                ref_x = 500000 + 0.998 * px + 0.07 * py + 2e-6 * px * py
                ref_y = 4000000 + side + 0.07 * px - 0.998 * py - 1e-6 * px * px
                f.write(f"{k},1,{px!r},{py!r},{ref_x!r},{ref_y!r}\n")
    return src, gcps


def median_time(run, repeat, client=None):
    """The median wall time of run; on a cluster, each run starts once the last one's results are
    released, so no run finds its tasks already done."""
    times = []
    for _ in range(repeat):
        while client and any(client.has_what().values()):
            time.sleep(0.05)
        start = time.monotonic()
        run()
        times.append(time.monotonic() - start)
    return statistics.median(times)


def dask_jobs(client, src, gcps, out, chunk):
    """The warp (fit on the client, chunk tasks, one writer task) and the chunked statistics."""
    def warp():
        fit = tdask.fit(src, gcps, **FIT)
        array = tdask.warp(src, fit, chunk=chunk)
        client.compute(tdask.to_geotiff(array, out, fit, nodata=tdask.output_nodata(src))).result()

    def stats():
        client.compute(tdask.statistics(src, chunk=chunk)).result()
    return warp, stats


def chunk_overhead(src, gcps, chunk):
    """Seconds per chunk in one process: the whole chunk task, and the resampling alone."""
    fit = tdask.fit(src, gcps, **FIT)
    whole, resample = [], []
    for row in tdask._windows(fit.shape, chunk):
        for window in row:
            start = time.monotonic()
            tdask._warp_chunk(src, fit, window, None, None, True)
            whole.append(time.monotonic() - start)
            plan = fit.plan(window)
            part, _ = tivra.read_raster(src, window=plan.source_window)
            start = time.monotonic()
            tivra.warp_raster(part, plan, windowed=True)
            resample.append(time.monotonic() - start)
    return len(whole), sum(whole), sum(resample)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("workdir")
    parser.add_argument("--side", type=int, default=8192)
    parser.add_argument("--chunk", type=int, default=2048)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    os.makedirs(args.workdir, exist_ok=True)
    src, gcps = make_job(args.workdir, args.side)
    out = os.path.join(args.workdir, "out.tif")
    os.environ["PYTHONPATH"] = os.pathsep.join([os.path.dirname(tivra.__path__[0]), os.environ.get("PYTHONPATH", "")])
    print(f"{args.side}² UInt8, chunks of {args.chunk}, {os.cpu_count()} cores, median of {args.repeat}, "
          f"load average {open('/proc/loadavg').read().split()[:3]}\n")
    print("| run | start-up s | warp, wall s | stats, wall s |\n|---|---|---|---|")
    single = [median_time(lambda: subprocess.run([TIVRA, "warp", src, out, "--gcps", gcps, *WARP_OPTIONS],
                                                 check=True, stdout=subprocess.DEVNULL), args.repeat),
              median_time(lambda: subprocess.run([TIVRA, "stats", src, "--json"], check=True, capture_output=True),
                          args.repeat)]
    print(f"| single process (`tivra warp` / `tivra stats`) | | {single[0]:.2f} | {single[1]:.2f} |")
    for name, workers, threads, processes in (("2 worker processes, 1 thread each", 2, 1, True),
                                              ("1 worker process, 1 thread", 1, 1, True),
                                              ("1 process, 2 threads", 1, 2, False)):
        start = time.monotonic()
        # Worker processes listen on the loopback interface; threads share this process.
        where = {"host": "127.0.0.1"} if processes else {}
        with distributed.LocalCluster(n_workers=workers, threads_per_worker=threads, processes=processes,
                                      dashboard_address=None, **where) as cluster, \
                distributed.Client(cluster) as client:
            startup = time.monotonic() - start
            warp, stats = dask_jobs(client, src, gcps, out, args.chunk)
            warp()  # the workers import the module and open the source once before timing
            print(f"| {name} | {startup:.2f} | {median_time(warp, args.repeat, client):.2f} | "
                  f"{median_time(stats, args.repeat, client):.2f} |", flush=True)
    count, whole, resample = chunk_overhead(src, gcps, args.chunk)
    print(f"\n{count} chunks in one process: {whole:.2f} s in chunk tasks, {resample:.2f} s resampling; "
          f"overhead {(whole - resample) / count * 1000:.1f} ms a chunk")


if __name__ == "__main__":
    main()
