"""Warps and statistics on a loopback cluster of two worker processes equal the tivra program's."""
import json
import os
import signal
import subprocess
import time

import dask.array as da
import numpy as np
import pytest

import conftest
import distributed
import tivra
import tivra.dask as tdask

LANDSAT = os.path.join(conftest.DATA, "landsat7_rgb_byte.tif")
TERRAIN = [os.path.join(conftest.DATA, f) for f in ("srtm30m_tujunga_int16.tif", "dem10m_bigsur_float32.tif")]
# Small chunks so each raster splits into many tasks whose source windows overlap.
CHUNK = 96


@pytest.fixture
def client():
    # The workers are fresh processes: they find the build tree's package through the environment.
    os.environ["PYTHONPATH"] = os.pathsep.join(filter(None, [os.path.dirname(tivra.__path__[0]),
                                                             os.environ.get("PYTHONPATH")]))
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as c:
        yield c


def rotation_gcps(path, source, degrees):
    """Control points mapping the source's pixels onto map coordinates turned by degrees."""
    rows, cols = tivra.read_raster(source)[0].shape[:2]
    t = np.radians(degrees)
    with open(path, "w") as f:
        f.write("id,used,img_x,img_y,ref_x,ref_y\n")
        for k, (x, y) in enumerate([(c * cols, r * rows) for c in (0.1, 0.5, 0.9) for r in (0.1, 0.6, 0.9)]):
            ref = (1000 + np.cos(t) * x + np.sin(t) * y, 5000 + np.sin(t) * x - np.cos(t) * y)
            f.write(f"{k + 1},1,{x},{y},{ref[0]},{ref[1]}\n")
    return path


def program_warp(program, tmp_path, source, gcps, options, name):
    out = str(tmp_path / f"{name}.tif")
    subprocess.run([program, "warp", source, out, "--gcps", gcps, *options, "--quiet"], check=True)
    return tivra.read_raster(out)


def assert_same_raster(a, b):
    assert a[0].dtype == b[0].dtype and np.array_equal(a[0], b[0], equal_nan=a[0].dtype.kind == "f")
    assert [a[1][k] == b[1][k] for k in ("transform", "crs", "nodata")] == [True] * 3


def test_warp_and_statistics_equal_the_program(client, program, tmp_path):
    cases = [(LANDSAT, os.path.join(conftest.DATA, "landsat7_rgb_byte.gcps.csv"), "cubic"),
             (TERRAIN[0], rotation_gcps(str(tmp_path / "t0.csv"), TERRAIN[0], 7), "bilinear"),
             (TERRAIN[1], rotation_gcps(str(tmp_path / "t1.csv"), TERRAIN[1], -11), "nearest")]
    for i, (source, gcps, interp) in enumerate(cases):
        expected = program_warp(program, tmp_path, source, gcps, ["--method", "second", "--interp", interp], i)
        fit = tdask.fit(source, gcps, method="second", interpolation=interp)
        image, info = tivra.read_raster(source)
        # An array carries no no-data value: it is given, as the file holds it.
        parts = [(source, None), (da.from_array(image, chunks=(70, 90) + image.shape[2:]), info["nodata"])]
        for j, (part, given) in enumerate(parts):
            out = str(tmp_path / f"d{i}{j}.tif")
            array = tdask.warp(part, fit, chunk=CHUNK, nodata=given)
            client.compute(tdask.to_geotiff(array, out, fit, nodata=tdask.output_nodata(source))).result()
            assert_same_raster(tivra.read_raster(out), expected)
        report = json.loads(subprocess.run([program, "stats", source, "--json"], capture_output=True, check=True,
                                           text=True).stdout)
        for stats in (tdask.statistics(source, chunk=CHUNK),
                      tdask.statistics(da.from_array(image, chunks=77), nodata=info["nodata"])):
            figures = client.compute(stats).result()
            for band, got in zip(report["bands"], figures):
                assert (got["count"], got["min"], got["max"]) == (band["count"], band["minimum"], band["maximum"])
                assert got["mean"] == pytest.approx(band["mean"], rel=1e-12)
                assert got["std"] == pytest.approx(band["std_dev"], rel=1e-12)


def test_scenes_run_as_one_graph_and_survive_a_killed_worker(client, program, tmp_path):
    scenes = [(src, rotation_gcps(str(tmp_path / f"g{k}.csv"), src, 5 + 9 * k), str(tmp_path / f"s{k}.tif"))
              for k, src in enumerate([LANDSAT, *TERRAIN, TERRAIN[0]])]
    assert tdask.warp_scenes(client, scenes, chunk=CHUNK, interpolation="cubic") == [s[2] for s in scenes]
    for k, (src, gcps, out) in enumerate(scenes):
        expected = program_warp(program, tmp_path, src, gcps, ["--interp", "cubic"], k)
        assert_same_raster(tivra.read_raster(out), expected)
    # One worker is killed while it runs chunk tasks; its tasks run again on the restarted one.
    fit = tdask.fit(LANDSAT, scenes[0][1], interpolation="cubic", pixel_size=0.3)
    future = client.compute(tdask.warp(LANDSAT, fit, chunk=256))
    victim = sorted(client.scheduler_info()["workers"])[0]
    pid = client.run(os.getpid, workers=[victim])[victim]
    deadline = time.monotonic() + 60
    while not client.processing(workers=[victim])[victim] and time.monotonic() < deadline:
        time.sleep(0.01)
    os.kill(pid, signal.SIGKILL)
    image = future.result(timeout=120)
    assert victim not in client.scheduler_info()["workers"]
    options = ["--interp", "cubic", "--pixel-size", "0.3"]
    assert np.array_equal(image, program_warp(program, tmp_path, LANDSAT, scenes[0][1], options, "k")[0])


def test_friendly_forms_keep_the_geo_reference(tmp_path):
    fit = tdask.fit(TERRAIN[0], rotation_gcps(str(tmp_path / "g.csv"), TERRAIN[0], 3), crs="EPSG:32611")
    image = tdask.warp(TERRAIN[0], fit, chunk=CHUNK)
    array = tdask.to_xarray(image, fit)
    assert array.rio.crs.to_epsg() == 32611 and array.rio.transform().to_gdal() == fit.transform
    assert float(array.x[1] - array.x[0]) == pytest.approx(fit.transform[1])
    assert float(array.y[0]) == pytest.approx(fit.transform[3] + fit.transform[5] / 2)
    store = tdask.to_zarr(image, str(tmp_path / "w.zarr"), fit)
    assert np.array_equal(store[:], image.compute(scheduler="sync")) and store.attrs["crs"] == "EPSG:32611"
