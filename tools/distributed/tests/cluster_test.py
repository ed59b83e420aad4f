"""The cluster recipes against the single process, on a LocalCluster of two
worker processes on the loopback interface and an 8192 x 8192 raster.

Environment: TIVRA (the program), HELPER (tivra_test_data, which makes the
input through GDAL) and WORK (a scratch folder, emptied first).
"""

import json
import os
import shutil
import signal
import subprocess
import sys
import time
import unittest

import distributed
from osgeo import gdal, osr

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import stats_cluster  # noqa: E402
import tivra_dask  # noqa: E402
import warp_cluster  # noqa: E402

gdal.UseExceptions()

TIVRA, HELPER, WORK = os.environ["TIVRA"], os.environ["HELPER"], os.environ["WORK"]
SIDE = 8192
TILE = 2048
# A rotation of about 4 degrees with a mild second-order bend, so that
# every tile reads a source window of its own shape.
WARP_OPTIONS = ["--method", "second", "--pixel-size", "1", "--interp", "cubic"]


def work(name):
    return os.path.join(WORK, name)


def write_gcps(path):
    """Control points of a known second-order mapping over the raster."""
    with open(path, "w") as f:
        f.write("id,used,img_x,img_y,ref_x,ref_y\n")
        k = 0
        for x in (100, 2800, 5500, 8100):
            for y in (100, 4000, 8100):
                k += 1
                ref_x = 500000 + 0.998 * x + 0.07 * y + 2e-6 * x * y
                ref_y = 4008192 + 0.07 * x - 0.998 * y - 1e-6 * x * x
                f.write(f"{k},1,{x},{y},{ref_x!r},{ref_y!r}\n")


def raster_record(path):
    """Everything a reader sees of a raster: size, geo-transform, reference
    system, and each band's type, no-data value and sample bytes."""
    d = gdal.Open(path)
    bands = []
    for b in range(1, d.RasterCount + 1):
        band = d.GetRasterBand(b)
        bands.append((band.DataType, band.GetNoDataValue(), band.ReadRaster()))
    return d.RasterXSize, d.RasterYSize, d.GetGeoTransform(), d.GetProjection(), bands


class ClusterTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        os.makedirs(WORK)
        subprocess.run([HELPER, "pattern", work("in.tif"), str(SIDE), str(SIDE), "UInt8", "1", "TILED=YES"],
                       check=True)
        write_gcps(work("in.gcps.csv"))
        start = time.monotonic()
        subprocess.run([TIVRA, "warp", work("in.tif"), work("single.tif"), "--gcps", work("in.gcps.csv"),
                        *WARP_OPTIONS, "--quiet"], check=True, stdout=subprocess.DEVNULL)
        print(f"single process warp: {time.monotonic() - start:.2f} s", file=sys.stderr)
        cls.single = raster_record(work("single.tif"))
        cls.cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                               host="127.0.0.1", dashboard_address="127.0.0.1:0")
        cls.client = distributed.Client(cls.cluster)

    @classmethod
    def tearDownClass(cls):
        cls.client.close()
        cls.cluster.close()

    def assertSameRaster(self, path):
        width, height, transform, crs, bands = raster_record(path)
        single = self.single
        self.assertEqual((width, height), single[:2])
        self.assertEqual(transform, single[2])
        # Formats write the same reference system in words of their own.
        self.assertTrue(osr.SpatialReference(crs).IsSame(osr.SpatialReference(single[3])), crs)
        self.assertEqual(len(bands), len(single[4]))
        for got, want in zip(bands, single[4]):
            self.assertEqual(got[:2], want[:2])
            self.assertTrue(got[2] == want[2], "the samples differ from the single-process warp")

    def warp(self, out, on_submitted=None):
        start = time.monotonic()
        seconds = warp_cluster.warp(self.client, TIVRA, work("in.tif"), work(out), work("in.gcps.csv"),
                                    WARP_OPTIONS, TILE, on_submitted=on_submitted)
        print(f"{out}: {time.monotonic() - start:.2f} s {seconds}", file=sys.stderr)
        return seconds

    def test_warp_equals_single_process(self):
        seconds = self.warp("cluster.tif")
        width, height = self.single[:2]
        self.assertGreater(width, SIDE)  # the rotation widens the grid: the last tiles are partial
        self.assertEqual(seconds["tile count"], -(-width // TILE) * -(-height // TILE))
        self.assertSameRaster(work("cluster.tif"))
        # Same driver, same options: the files themselves are the same.
        with open(work("cluster.tif"), "rb") as a, open(work("single.tif"), "rb") as b:
            self.assertTrue(a.read() == b.read(), "the GeoTIFF files differ")
        # No tile, fit or temporary file is left beside the output.
        self.assertEqual(sorted(f for f in os.listdir(WORK) if f.startswith(".")), [])

    def test_warp_other_format_through_gdal(self):
        # The assembly writes any format GDAL writes, with creation options.
        warp_cluster.warp(self.client, TIVRA, work("in.tif"), work("cluster.img"), work("in.gcps.csv"),
                          WARP_OPTIONS + ["--of", "HFA", "--co", "COMPRESSED=YES"], TILE)
        self.assertEqual(gdal.Open(work("cluster.img")).GetDriver().ShortName, "HFA")
        self.assertSameRaster(work("cluster.img"))

    def test_warp_survives_a_killed_worker(self):
        killed = {}

        def kill_a_busy_worker(futures):
            # Once the first tile is done, SIGKILL a worker that is running
            # a tile; its nanny starts a new one, and the scheduler runs the
            # lost tile again.
            next(distributed.as_completed(futures))
            deadline = time.monotonic() + 60
            while time.monotonic() < deadline:
                processing = self.client.processing()
                busy = [w for w, keys in processing.items() if keys]
                if busy:
                    break
                time.sleep(0.01)
            self.assertTrue(busy, "no worker busy after the first tile")
            pid = self.client.run(os.getpid, workers=[busy[0]])[busy[0]]
            killed.update(address=busy[0], pid=pid, pending=sum(not f.done() for f in futures),
                          running=[f for f in futures if f.key in processing[busy[0]]], futures=futures)
            os.kill(pid, signal.SIGKILL)

        self.warp("killed.tif", on_submitted=kill_a_busy_worker)
        self.assertGreater(killed["pending"], 0, "the kill came after the job")
        self.assertNotIn(killed["address"], self.client.scheduler_info()["workers"])
        # The tiles the killed worker was running were computed again elsewhere.
        self.assertTrue(killed["running"])
        for key, holders in self.client.who_has(killed["running"]).items():
            self.assertTrue(holders and killed["address"] not in holders, key)
        self.assertSameRaster(work("killed.tif"))

    def stats_pair(self, path, *options):
        single = json.loads(subprocess.run([TIVRA, "stats", path, "--json", *options], check=True,
                                           capture_output=True, text=True).stdout)
        nodata = options[1] if options else None
        start = time.monotonic()
        merged = json.loads(stats_cluster.stats(self.client, TIVRA, path, TILE, nodata, json=True))
        print(f"stats of {os.path.basename(path)}: {time.monotonic() - start:.2f} s", file=sys.stderr)
        self.assertEqual(merged["merged"], -(-single["width"] // TILE) * -(-single["height"] // TILE))
        self.assertEqual(len(merged["bands"]), len(single["bands"]))
        return zip(single["bands"], merged["bands"])

    def test_stats_of_integers_are_exact(self):
        # The single-process warp output: UInt8 with the background 0 as
        # its no-data value, so every tile leaves some samples out.
        for single, merged in self.stats_pair(work("single.tif")):
            self.assertLess(single["count"], self.single[0] * self.single[1])
            for key in ("count", "minimum", "maximum", "mean", "std_dev"):
                self.assertEqual(merged[key], single[key], key)
        # A no-data value given for all bands.
        for single, merged in self.stats_pair(work("in.tif"), "--nodata", "7"):
            for key in ("count", "minimum", "maximum", "mean", "std_dev"):
                self.assertEqual(merged[key], single[key], key)

    def test_stats_of_reals_within_tolerance(self):
        path = work("ramp.tif")
        subprocess.run([HELPER, "pattern", path, str(SIDE), str(SIDE), "Float32", "2", "TILED=YES"], check=True)
        for single, merged in self.stats_pair(path):
            for key in ("count", "minimum", "maximum"):
                self.assertEqual(merged[key], single[key], key)
            # Sequential sums of n reals are within a relative n 2^-53 of the
            # exact sums on either side; the variance, sum of squares minus
            # n mean^2, magnifies that by 1 + mean^2 / variance, and the
            # deviation halves it.
            n, mean, sd = single["count"], single["mean"], single["std_dev"]
            bound = 2 * n * 2.0**-53
            print(f"band {single['band']}: mean off by {abs(merged['mean'] / mean - 1):.3g}, deviation by "
                  f"{abs(merged['std_dev'] / sd - 1):.3g} (relative)", file=sys.stderr)
            self.assertLessEqual(abs(merged["mean"] - mean), bound * abs(mean))
            self.assertLessEqual(abs(merged["std_dev"] - sd), bound * (1 + mean * mean / (sd * sd)) / 2 * sd)


if __name__ == "__main__":
    unittest.main(verbosity=2)
