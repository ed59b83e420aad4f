#!/usr/bin/python3
"""Times the module beside its Python peers: 4096 x 4096 uint8 bilinear resampling (a 5 degree rotation
with scale 1.01, as the C++ benchmark Resample/affine/UINT08/bilinear does) against cv2.warpAffine, and the
geodesic inverse on 1e6 point pairs against pyproj.Geod.inv. Best of three runs each; the machine's load
is printed before and after, since a shared machine changes the figures.

    PYTHONPATH=build/python /usr/bin/python3 python/bench/module_vs_peers.py
"""
import math
import time

import cv2
import numpy as np
from pyproj import Geod

import tivra

SIZE = 4096
PAIRS = 1_000_000
RUNS = 3


def best(call):
    """The shortest of RUNS runs, in seconds (a shared machine only ever slows a run down)."""
    times = []
    for _ in range(RUNS):
        start = time.perf_counter()
        call()
        times.append(time.perf_counter() - start)
    return min(times)


def loadavg():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def main():
    print(f"load average before: {loadavg()}")
    src = np.random.default_rng(1).integers(0, 256, (SIZE, SIZE), dtype=np.uint8)
    # Output pixel -> source pixel: rotation by 5 degrees and scale 1.01 about the centre.
    c, a = SIZE / 2.0, math.radians(5)
    m = 1.01 * np.array([[math.cos(a), -math.sin(a)], [math.sin(a), math.cos(a)]])
    t = np.array([c, c]) - m @ [c, c]
    warp = tivra.Warp.polynomial("affine", [m[0, 0], m[0, 1], t[0]], [m[1, 0], m[1, 1], t[1]])
    matrix = np.c_[m, t]
    mpix = SIZE * SIZE / 1e6
    for workers in (1, 0):
        cv2.setNumThreads(1 if workers == 1 else -1)
        mine = best(lambda: tivra.resample_warp(src, warp, shape=(SIZE, SIZE), workers=workers))
        peer = best(lambda: cv2.warpAffine(src, matrix, (SIZE, SIZE), flags=cv2.INTER_LINEAR | cv2.WARP_INVERSE_MAP))
        label = "1 thread" if workers == 1 else "all cores"
        print(f"resample {SIZE}^2 uint8 bilinear, {label}: tivra {mpix / mine:8.1f} Mpixel/s ({mine * 1e3:7.1f} ms), "
              f"cv2.warpAffine {mpix / peer:8.1f} Mpixel/s ({peer * 1e3:7.1f} ms)")
    rng = np.random.default_rng(2)
    lat1, lat2 = rng.uniform(-80, 80, (2, PAIRS))
    lon1, lon2 = rng.uniform(-180, 180, (2, PAIRS))
    geod = Geod(ellps="WGS84")
    peer = best(lambda: geod.inv(lon1, lat1, lon2, lat2))
    for workers in (1, 0):
        mine = best(lambda: tivra.geodesic_inverse(lat1, lon1, lat2, lon2, workers=workers))
        label = "1 thread" if workers == 1 else "all cores"
        print(f"geodesic inverse 1e6 pairs, {label}: tivra {PAIRS / mine / 1e6:6.2f} M/s ({mine:6.3f} s)")
    print(f"geodesic inverse 1e6 pairs, pyproj.Geod.inv (one thread): {PAIRS / peer / 1e6:6.2f} M/s ({peer:6.3f} s)")
    print(f"load average after: {loadavg()}")


if __name__ == "__main__":
    main()
