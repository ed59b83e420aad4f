"""Resampling and convolution: every dtype and method against exact references, windows, no-data,
and the results of the tivra program on the same inputs, bit for bit."""
import itertools
import os
import signal
import subprocess
import threading

import numpy as np
import pytest

import tivra
from conftest import DATA

DTYPES = [np.uint8, np.int8, np.uint16, np.int16, np.uint32, np.int32, np.float32, np.float64,
          np.complex64, np.complex128]


def sample(dtype, shape=(37, 53), seed=1):
    values = np.random.default_rng(seed).integers(0, 100, size=shape)
    a = values.astype(dtype)
    return a + 1j * a[::-1] if np.iscomplexobj(a) else a


SHIFT = tivra.Warp.polynomial("affine", [1, 0, 3], [0, 1, 2])  # output (c, r) -> source (c + 3, r + 2)


@pytest.mark.parametrize("dtype", DTYPES)
def test_shift_is_exact_for_every_dtype_and_method(dtype):
    src = sample(dtype)
    for method in ("nearest", "bilinear", "cubic"):
        out = tivra.resample_warp(src, SHIFT, shape=(30, 45), interpolation=method, background=7)
        assert out.dtype == src.dtype and out.shape == (30, 45)
        # Nearest reads the truncated position, so it is the shifted image; the others reproduce samples
        # at whole positions. Columns 50.. map beyond the source and keep the background.
        np.testing.assert_array_equal(out, src[2:32, 3:48], err_msg=method)
    edge = tivra.resample_warp(src, SHIFT, shape=(40, 60), interpolation="nearest", background=7)
    assert (np.real(edge[:, 50:]) == 7).all() and (np.real(edge[35:, :]) == 7).all()
    bands = np.stack([src, src[::-1]], axis=-1)
    out = tivra.resample_warp(bands, SHIFT, shape=(30, 45), interpolation="bilinear")
    np.testing.assert_array_equal(out, bands[2:32, 3:48])


def test_paths_windows_and_workers_agree_bit_for_bit():
    src = sample(np.float32, (120, 140))
    fitted = tivra.fit_warp([[0, 0], [100, 0], [0, 90], [100, 90], [50, 40], [20, 70]],
                            [[3.2, 1.1], [110.5, 7.3], [-4.1, 95.2], [104.9, 99.8], [52.6, 45.1], [17.9, 77.7]],
                            method="second")
    rows, cols = np.mgrid[0:100, 0:110].astype(np.float64)
    # An affine warp takes the resampler's inlined kernels, the others the mapping's own evaluation.
    affine = tivra.Warp.polynomial("affine", [1.01, 0.087, -3.3], [-0.087, 1.01, 8.1])
    for warp, method in itertools.product((fitted, affine), tivra.INTERPOLATIONS):
        positions = warp(np.stack([cols, rows], axis=-1))
        whole = tivra.resample_warp(src, warp, shape=(100, 110), interpolation=method, workers=3)
        assert (whole != 0).sum() > 5000
        np.testing.assert_array_equal(whole, tivra.resample_warp(src, warp, shape=(100, 110), interpolation=method,
                                                                 workers=1))
        np.testing.assert_array_equal(whole, tivra.resample_map(src, positions, interpolation=method))
        part = tivra.resample_warp(src, warp, window=(30, 20, 50, 60), interpolation=method)
        np.testing.assert_array_equal(part, whole[20:80, 30:80])
    # A non-contiguous source is copied once and gives the same image.
    wide = np.zeros((120, 280), np.float32)
    wide[:, ::2] = src
    np.testing.assert_array_equal(tivra.resample_warp(wide[:, ::2], warp, shape=(100, 110)),
                                  tivra.resample_warp(src, warp, shape=(100, 110)))


def test_nodata_background_and_rounding():
    src = np.full((10, 10), 200, np.uint8)
    src[4, 4] = 0
    half = tivra.Warp.polynomial("affine", [1, 0, 0.5], [0, 1, 0.5])
    plain = tivra.resample_warp(src, half, shape=(8, 8))
    screened = tivra.resample_warp(src, half, shape=(8, 8), nodata=0)
    assert plain[3, 3] == 150 and screened[3, 3] == 200  # the no-data sample leaves the bilinear sum
    on_hole = tivra.resample_warp(src, tivra.Warp.polynomial("affine", [1, 0, 0], [0, 1, 0]), shape=(8, 8),
                                  nodata=0, background=9, interpolation="nearest")
    assert on_hole[4, 4] == 9
    # Positions that are not numbers, infinite or huge are outside the source, for every method.
    positions = np.array([[[np.nan, 1], [np.inf, 1], [1, -1e300], [1.7e308, 1]]])
    for method in tivra.INTERPOLATIONS:
        assert (tivra.resample_map(src, positions, interpolation=method, background=5) == 5).all()
    ramp = np.array([[0, 3]], np.uint8).repeat(3, axis=0)
    third = tivra.Warp.polynomial("affine", [1, 0, 0.5], [0, 1, 0])
    assert tivra.resample_warp(ramp, third, shape=(2, 1))[0, 0] == 1  # 1.5 truncated
    assert tivra.resample_warp(ramp, third, shape=(2, 1), rounding=True)[0, 0] == 2


def test_projective_matches_its_matrix():
    h = np.array([[1.02, 0.01, 2.0], [-0.015, 0.98, 1.5], [1e-4, -5e-5, 1.0]])
    warp = tivra.Warp.projective(h)
    src = sample(np.float64, (80, 80))
    rows, cols = np.mgrid[0:60, 0:60].astype(np.float64)
    p = np.stack([cols, rows, np.ones_like(cols)], axis=-1) @ h.T
    positions = p[..., :2] / p[..., 2:]
    np.testing.assert_allclose(warp(np.stack([cols, rows], axis=-1)), positions, rtol=1e-13)
    np.testing.assert_array_equal(tivra.resample_warp(src, warp, shape=(60, 60)),
                                  tivra.resample_map(src, warp(np.stack([cols, rows], axis=-1))))


def test_convolution_matches_a_direct_sum():
    src = sample(np.int16, (20, 30)).astype(np.int16)
    kernel = np.array([[1, 2, 1], [0, -3, 0], [2, 0, -1]], np.float64)
    padded = np.pad(src.astype(np.float64), 1, mode="edge")
    expected = sum(kernel[j, i] * padded[j:j + 20, i:i + 30] for j in range(3) for i in range(3))
    np.testing.assert_array_equal(tivra.convolve(src, kernel, edge="clamp"), expected)
    assert tivra.convolve(src, kernel, dtype=np.int32).dtype == np.int32


def test_warp_raster_equals_the_program(program, tmp_path):
    gcps = os.path.join(DATA, "landsat7_rgb_byte.gcps.csv")
    tif = os.path.join(DATA, "landsat7_rgb_byte.tif")
    ref, fit = str(tmp_path / "ref.tif"), str(tmp_path / "fit.txt")
    subprocess.run([program, "warp", tif, ref, "--gcps", gcps, "--method", "second", "--interp", "cubic",
                    "--save-fit", fit], check=True, capture_output=True)
    expected, expected_info = tivra.read_raster(ref)
    image, info = tivra.read_raster(tif)
    plan = tivra.plan_warp(gcps, image.shape[:2], method="second", interpolation="cubic")
    out, out_info = tivra.warp_raster(image, plan, nodata=info["nodata"])
    np.testing.assert_array_equal(out, expected)
    assert out_info["transform"] == pytest.approx(expected_info["transform"], rel=1e-15)
    # The program's fit file gives the same plan here, and a window of it the same samples.
    loaded = tivra.WarpPlan.load(fit, image.shape[:2], window=(100, 50, 200, 150))
    part, part_info = tivra.warp_raster(image, loaded, nodata=info["nodata"])
    np.testing.assert_array_equal(part, expected[50:200, 100:300])
    assert part_info["transform"][0] == pytest.approx(out_info["transform"][0] + 100 * out_info["transform"][1])
    mine = str(tmp_path / "mine.txt")
    plan.save(mine)
    with open(mine) as a, open(fit) as b:
        assert a.read() == b.read()


def test_ctrl_c_stops_a_long_resampling_and_progress_is_reported():
    src = np.zeros((4096, 4096), np.float64)
    warp = tivra.Warp.polynomial("third", np.r_[np.zeros(7), 1, 0, 0], np.r_[np.zeros(8), 1, 0])
    seen = []
    timer = threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT))
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        tivra.resample_warp(src, warp, shape=(4096, 4096), interpolation="radial", workers=1,
                            progress=seen.append)
    timer.join()
    # Reported while running, and stopped before the end.
    assert seen and all(0 <= f < 1 for f in seen)
