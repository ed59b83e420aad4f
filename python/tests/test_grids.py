"""Statistics, partial sums, histograms, palettes, colourising and the colour transform."""
import pickle

import numpy as np
import pytest

import tivra

DTYPES = [np.uint8, np.int8, np.uint16, np.int16, np.uint32, np.int32, np.float32, np.float64]


@pytest.mark.parametrize("dtype", DTYPES)
def test_statistics_match_numpy_and_partial_sums_merge(dtype):
    band = np.random.default_rng(5).integers(0, 120, (64, 48)).astype(dtype)
    valid = band[band != 7].astype(np.float64)
    s = tivra.statistics(band, nodata=7, histogram=True)
    assert s["count"] == valid.size and s["histogram"].sum() == valid.size
    assert (s["min"], s["max"]) == (valid.min(), valid.max())
    assert s["mean"] == pytest.approx(valid.mean(), rel=1e-12)
    assert s["std"] == pytest.approx(valid.std(ddof=1), rel=1e-9)
    top, bottom = tivra.PartialStats(), tivra.PartialStats()
    top.add(band[:20], nodata=7)
    bottom.add(band[20:, ::-1], nodata=7)  # a non-contiguous view is copied once
    merged = pickle.loads(pickle.dumps(top)).merge(bottom).result()
    assert merged["count"] == s["count"] and merged["mean"] == pytest.approx(s["mean"], rel=1e-12)
    assert merged["std"] == pytest.approx(s["std"], rel=1e-9)


def test_nan_rules_histograms_and_band_figures():
    band = np.array([[1.0, np.nan, 3.0], [0.1, 5.0, 0.1]], np.float32)
    s = tivra.statistics(band, nodata=0.1)
    assert s["count"] == 3 and s["mean"] == pytest.approx(3.0)
    assert np.isnan(tivra.statistics(band, skip_nan=False)["mean"])
    counts, lo, hi = tivra.histogram(np.arange(256, dtype=np.uint8).reshape(16, 16))
    assert (lo, hi) == (0, 255) and counts.sum() == 256
    # A record fed in parts equals the histogram of the whole; a later part beyond the range widens it.
    values = np.random.default_rng(8).uniform(0, 100, (30, 20))
    whole = tivra.histogram(values, lo=0, hi=100)
    parts = tivra.PartialHistogram()
    parts.add(values[:10], lo=0, hi=100)
    parts.add(values[10:], lo=0, hi=100)
    np.testing.assert_array_equal(parts.counts, whole[0])
    parts.add(np.full((2, 2), 300.0))
    assert parts.total == 604 and parts.range[1] >= 300 and parts.counts[-1] >= 4
    b = tivra.band_statistics(np.arange(100, dtype=np.int16).reshape(10, 10))
    assert b["count"] == 100 and b["stretch"][0] < b["stretch"][1] and b["histogram"].sum() == 100
    with pytest.raises(ValueError, match="no valid sample"):
        tivra.band_statistics(np.full((2, 2), np.nan))


def test_palettes_and_colorize():
    names = tivra.palette_names()
    assert len(names) == len(set(names)) > 60 and tivra.palette(names[0]).shape == (256, 3)
    np.testing.assert_array_equal(tivra.palette(1), tivra.palette(names[0]))
    ramp = np.arange(256, dtype=np.float64).reshape(16, 16)
    rgb = tivra.colorize(ramp, "rainbow", low=0, high=255, nodata=17)
    np.testing.assert_array_equal(rgb.reshape(-1, 3)[18:], tivra.palette("rainbow")[18:])
    assert (rgb.reshape(-1, 3)[17] == 0).all()
    assert tivra.colorize(ramp, 2).shape == (16, 16, 3)  # automatic stretch
    with pytest.raises(ValueError, match="unknown palette"):
        tivra.palette("no such palette")


def test_color_transform_round_trips():
    rng = np.random.default_rng(2)
    pixels = rng.integers(-1000, 1000, (50, 4)).astype(np.int16)
    np.testing.assert_array_equal(tivra.color_decode(tivra.color_encode(pixels)), pixels)
    rgb = rng.integers(0, 256, (40, 40, 3)).astype(np.uint8)
    for y_last in (False, True):
        back = tivra.color_decode(tivra.color_encode(rgb, y_last=y_last), y_last=y_last)
        assert np.abs(back.astype(int) - rgb).max() <= 1
    grey = np.full((4, 3), 90, np.uint8)
    np.testing.assert_array_equal(tivra.color_encode(grey), [[90, 128, 128]] * 4)
