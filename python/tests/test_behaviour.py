"""What a Python caller relies on: the GIL is released, no leaks, clear errors, and the example works."""
import os
import subprocess
import sys
import threading
import time
import tracemalloc

import numpy as np
import pytest
import rasterio

import tivra
from conftest import DATA, ROOT


def rss_bytes():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


@pytest.mark.parametrize("call", ["geodesic", "resample"])
def test_other_threads_run_during_a_computation(call):
    n = 400_000
    points = np.random.default_rng(0).uniform(-60, 60, (4, n))
    image = np.zeros((2048, 2048), np.float32)
    warp = tivra.Warp.polynomial("affine", [0.99, 0.01, 1], [-0.01, 0.99, 1])
    run = {"geodesic": lambda: tivra.geodesic_inverse(*points, workers=1),
           "resample": lambda: tivra.resample_warp(image, warp, shape=(2048, 2048), interpolation="radial",
                                                   workers=1)}[call]
    span, stamps = [], []

    def native():
        t0 = time.monotonic()
        run()
        span.append((t0, time.monotonic()))

    worker = threading.Thread(target=native)
    worker.start()
    while worker.is_alive():
        stamps.append(time.monotonic())
    worker.join()
    t0, t1 = span[0]
    # Python code of this thread ran through the middle of the computation, which a held GIL forbids.
    middle = [t for t in stamps if t0 + 0.25 * (t1 - t0) < t < t1 - 0.25 * (t1 - t0)]
    assert len(middle) > 100, f"{len(middle)} steps of the main thread during {t1 - t0:.3f} s"


def test_no_leak_across_ten_thousand_calls():
    src = np.random.default_rng(1).uniform(0, 100, (12, 2))
    dst = src * 2 + 1
    small = np.arange(64, dtype=np.uint8).reshape(8, 8)
    lat = np.linspace(-50, 50, 16)

    def calls(i):
        warp = tivra.fit_warp(src, dst, method="second")
        warp(src)
        tivra.geodesic_inverse(lat, 0.0, lat[::-1], 10.0)
        tivra.statistics(small, histogram=True)
        with pytest.raises(TypeError):
            tivra.statistics(small.astype(np.int64))
        if i % 10 == 0:
            tivra.resample_warp(small, warp, shape=(8, 8))

    # numpy keeps bounded caches of small objects that fill over the first two thousand calls or so
    # after tracing starts; counted from a snapshot after that, what still grows is a leak.
    tracemalloc.start()
    for i in range(3000):
        calls(i)
    rss = rss_bytes()
    before = tracemalloc.take_snapshot()
    for i in range(10_000):
        calls(i)
    growth = sum(s.size_diff for s in tracemalloc.take_snapshot().compare_to(before, "filename"))
    tracemalloc.stop()
    assert growth < 64 * 1024, f"Python heap grew by {growth} bytes"
    assert rss_bytes() - rss < 8 * 2 ** 20, "the process grew by more than 8 MiB"


def test_bad_input_raises_clear_errors():
    image = np.zeros((10, 10), np.uint8)
    warp = tivra.Warp.polynomial("affine", [1, 0, 0], [0, 1, 0])
    cases = [
        (TypeError, "int64", lambda: tivra.resample_warp(image.astype(np.int64), warp, shape=(5, 5))),
        (TypeError, "float16", lambda: tivra.statistics(image.astype(np.float16))),
        (ValueError, "2-D array", lambda: tivra.resample_warp(np.zeros(5, np.uint8), warp, shape=(5, 5))),
        (ValueError, "empty", lambda: tivra.resample_warp(np.zeros((0, 5), np.uint8), warp, shape=(5, 5))),
        (ValueError, "either shape", lambda: tivra.resample_warp(image, warp)),
        (ValueError, "unknown interpolation", lambda: tivra.resample_warp(image, warp, shape=(5, 5),
                                                                          interpolation="lanczos")),
        (ValueError, "workers", lambda: tivra.resample_warp(image, warp, shape=(5, 5), workers=-1)),
        (ValueError, "shape \\(rows, columns, 2\\)", lambda: tivra.resample_map(image, np.zeros((5, 5)))),
        (ValueError, "non-finite", lambda: tivra.fit_warp([[0, 0], [1, np.nan], [0, 1]], np.zeros((3, 2)))),
        (ValueError, "at least 6 used", lambda: tivra.fit_warp(np.eye(3, 2), np.eye(3, 2), method="second")),
        (ValueError, "same number", lambda: tivra.fit_warp(np.zeros((4, 2)), np.zeros((5, 2)))),
        (ValueError, "unknown warp method", lambda: tivra.fit_warp(np.zeros((4, 2)), np.zeros((4, 2)),
                                                                  method="spline")),
        (ValueError, "degenerate", lambda: tivra.fit_warp(np.zeros((4, 2)), np.zeros((4, 2)))),
        (ValueError, "lat1\\[1\\]", lambda: tivra.geodesic_inverse([0, 91], 0, 0, 0)),
        (ValueError, "finite", lambda: tivra.geodetic_to_ecef(0, np.nan, 0)),
        (ValueError, "frame", lambda: tivra.ecef_to_local(1, 2, 3, 0, 0, 0, frame="xyz")),
        (ValueError, "broadcast", lambda: tivra.geodesic_inverse(np.zeros(3), 0, np.zeros(4), 0)),
        (ValueError, "3 x 3", lambda: tivra.Warp.projective(np.eye(2))),
        (ValueError, "not a reference system", lambda: tivra.write_raster("/tmp/x.tif", image, crs="nowhere")),
        (ValueError, "no-such", lambda: tivra.read_raster("/no-such/file.tif")),
        (ValueError, "source of 718 x 791", lambda: tivra.warp_raster(
            image, tivra.plan_warp(os.path.join(DATA, "landsat7_rgb_byte.gcps.csv"), (718, 791)))),
    ]
    for error, message, call in cases:
        with pytest.raises(error, match=message):
            call()


def test_raster_round_trip_keeps_geo_reference(tmp_path):
    image = np.random.default_rng(4).integers(0, 1000, (20, 30, 2)).astype(np.int16)
    path = str(tmp_path / "out.tif")
    transform = (500000.0, 30.0, 0.0, 4100000.0, 0.0, -30.0)
    tivra.write_raster(path, image, transform=transform, crs="EPSG:32611", nodata=-1)
    back, info = tivra.read_raster(path)
    np.testing.assert_array_equal(back, image)
    assert info["transform"] == transform and info["nodata"] == [-1, -1] and "32611" in info["crs"]
    part, part_info = tivra.read_raster(path, window=(5, 4, 10, 8))
    np.testing.assert_array_equal(part, image[4:12, 5:15])
    assert part_info["transform"][0] == 500150.0


def test_example_equals_the_program(program, tmp_path):
    env = dict(os.environ, PYTHONPATH=os.path.dirname(tivra.__path__[0]))
    subprocess.run([sys.executable, os.path.join(ROOT, "python", "examples", "rectify_geotiff.py")], cwd=tmp_path,
                   env=env, check=True, capture_output=True)
    subprocess.run([program, "warp", os.path.join(DATA, "landsat7_rgb_byte.tif"), str(tmp_path / "ref.tif"),
                    "--gcps", os.path.join(DATA, "landsat7_rgb_byte.gcps.csv"), "--method", "second", "--interp",
                    "bilinear"], check=True, capture_output=True)
    with rasterio.open(tmp_path / "rectified.tif") as mine, rasterio.open(tmp_path / "ref.tif") as ref:
        np.testing.assert_array_equal(mine.read(), ref.read())
        assert mine.transform.almost_equals(ref.transform, precision=1e-9) and mine.crs == ref.crs
        assert mine.crs.to_epsg() == 32618
