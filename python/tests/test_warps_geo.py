"""Warp fits and evaluation, geodesy against independent references, broadcasting, round trips."""
import json
import subprocess

import numpy as np
import pytest
from hypothesis import given, settings, strategies as st
from pyproj import Geod

import tivra

@settings(max_examples=60, deadline=None)
@given(st.sampled_from(["linear", "affine", "pseudoaffine", "second", "third", "projective"]),
       st.integers(0, 2 ** 32 - 1), st.floats(-1e4, 1e4), st.floats(1, 1e3))
def test_fit_reproduces_the_mapping_it_was_made_from(method, seed, offset, span):
    # Points in general position (random in a square of any place and size), so every method is determined.
    src = offset + span * np.random.default_rng(seed).uniform(0, 1, (12, 2))
    rng = np.random.default_rng(seed)
    if method == "projective":
        truth = tivra.Warp.projective([[1, rng.uniform(-.2, .2), 5], [rng.uniform(-.2, .2), 1, -3], [0, 0, 1]])
    else:
        terms = {"linear": 2, "affine": 3, "pseudoaffine": 4, "second": 6, "third": 10}[method]
        truth = tivra.Warp.polynomial(method, rng.uniform(-1, 1, terms), rng.uniform(-1, 1, terms))
    dst = truth(src)
    warp = tivra.fit_warp(src, dst, method=method)
    scale = 1 + np.abs(dst).max()
    np.testing.assert_allclose(warp(src), dst, atol=1e-7 * scale)
    np.testing.assert_allclose(warp.residuals, warp(src) - dst, atol=1e-12 * scale)
    assert max(warp.rms) < 1e-7 * scale


def test_fit_rms_residuals_cells_and_check_points():
    rng = np.random.default_rng(3)
    src = rng.uniform(0, 100, (40, 2))
    dst = src * [1.5, 0.5] + [10, 20] + rng.normal(0, 0.1, (40, 2))
    used = np.arange(40) % 5 != 0
    warp = tivra.fit_warp(src, dst, method="affine", used=used)
    r = warp.residuals
    np.testing.assert_allclose(warp.rms, np.sqrt((r[used] ** 2).mean(0)), rtol=1e-12)
    celled = tivra.fit_warp(src, dst, method="affine", cells=(2, 2))
    assert celled.coefficients["cell_shape"] == (2, 2) and len(celled.coefficients["cells"]) == 4
    # Local fits follow the points at least as closely as the global one.
    assert sum(celled.rms) <= sum(tivra.fit_warp(src, dst, method="affine").rms) + 1e-12
    # Evaluation keeps the leading shape of the points.
    grid = np.zeros((3, 4, 2))
    assert warp(grid).shape == (3, 4, 2)


def test_geodesics_match_an_independent_reference_and_broadcast():
    rng = np.random.default_rng(7)
    lat1, lat2 = rng.uniform(-89, 89, (2, 2000))
    lon1, lon2 = rng.uniform(-180, 180, (2, 2000))
    dist, az1, az2 = tivra.geodesic_inverse(lat1, lon1, lat2, lon2, workers=2)
    ref_az1, ref_az2, ref_dist = Geod(ellps="WGS84").inv(lon1, lat1, lon2, lat2)
    np.testing.assert_allclose(dist, ref_dist, rtol=0, atol=1e-3)
    np.testing.assert_allclose(np.cos(np.radians(az1 - ref_az1)), 1, atol=1e-12)
    # The reference gives the back azimuth at point 2; ours continues forward.
    np.testing.assert_allclose(np.cos(np.radians(az2 - ref_az2 - 180)), 1, atol=1e-12)
    # Nearly antipodal points are solved by the robust form.
    d, _, _ = tivra.geodesic_inverse(0.5, 0, -0.5, 179.7)
    assert d == pytest.approx(Geod(ellps="WGS84").inv(0, 0.5, 179.7, -0.5)[2], abs=1e-3)
    # The direct problem returns to the end point.
    lat, lon, _ = tivra.geodesic_direct(lat1, lon1, az1, dist)
    np.testing.assert_allclose(lat, lat2, atol=1e-8)
    np.testing.assert_allclose(np.cos(np.radians(lon - lon2)), 1, atol=1e-12)
    # Broadcasting: a column of starts against a row of ends; scalars give scalars.
    d2, _, _ = tivra.geodesic_inverse(lat1[:3, None], lon1[:3, None], lat2[None, :5], lon2[None, :5])
    assert d2.shape == (3, 5) and d2[2, 4] == tivra.geodesic_inverse(lat1[2], lon1[2], lat2[4], lon2[4])[0]
    assert isinstance(tivra.geodesic_inverse(0, 0, 1, 1)[0], float)


@settings(max_examples=200, deadline=None)
@given(st.floats(-90, 90), st.floats(-180, 180), st.floats(-1e4, 1e5))
def test_earth_centred_round_trip(lat, lon, h):
    x, y, z = tivra.geodetic_to_ecef(lat, lon, h)
    lat2, lon2, h2 = tivra.ecef_to_geodetic(x, y, z)
    assert lat2 == pytest.approx(lat, abs=1e-9) and h2 == pytest.approx(h, abs=1e-4)
    if abs(lat) < 89.999:
        assert np.cos(np.radians(lon2 - lon)) == pytest.approx(1, abs=1e-15)
    e, n, u = tivra.ecef_to_local(x, y, z + 100, lat, lon, h)
    assert np.allclose(tivra.local_to_ecef(e, n, u, lat, lon, h), (x, y, z + 100), atol=1e-6)


def test_local_frames_and_magnetic_field(program):
    x, y, z = tivra.geodetic_to_ecef(45.0, 10.0, 0.0)
    east = np.array(tivra.geodetic_to_ecef(45.0, 10.001, 0.0)) - [x, y, z]
    e, n, u = tivra.ecef_to_local(*(np.array([x, y, z]) + east), 45.0, 10.0, 0.0)
    assert e > 78 and abs(n) < 0.01 and abs(u) < 0.01
    nn, ee, d = tivra.ecef_to_local(*(np.array([x, y, z]) + east), 45.0, 10.0, 0.0, frame="ned")
    assert (nn, ee, d) == pytest.approx((n, e, -u), abs=1e-9)
    date = tivra.magnetic_decimal_date(2025, 7, 1)
    field = tivra.magnetic_field([45.0, -33.9], [10.0, 151.2], 0.0, date)
    text = subprocess.run([program, "magdec", "45", "10", "0", "2025-07-01", "--json"], capture_output=True,
                          text=True, check=True).stdout
    reference = json.loads(text)
    assert reference["declination_deg"] == pytest.approx(field["declination"][0], abs=5e-7)
    assert reference["total_nT"] == pytest.approx(field["total"][0], abs=0.05)
    np.testing.assert_allclose(np.hypot(field["north"], field["east"]), field["horizontal"], rtol=1e-12)


def test_camera_fit_recovers_a_synthetic_camera():
    rng = np.random.default_rng(11)
    ground = np.c_[rng.uniform(0, 1000, (20, 2)), rng.uniform(0, 200, 20)]
    f, x0, y0, centre = 1500.0, 10.0, -5.0, np.array([500.0, 400.0, 3000.0])
    om, ph, ka = 0.02, -0.03, 0.5
    rx = [[1, 0, 0], [0, np.cos(om), -np.sin(om)], [0, np.sin(om), np.cos(om)]]
    ry = [[np.cos(ph), 0, np.sin(ph)], [0, 1, 0], [-np.sin(ph), 0, np.cos(ph)]]
    rz = [[np.cos(ka), -np.sin(ka), 0], [np.sin(ka), np.cos(ka), 0], [0, 0, 1]]
    uvw = (ground - centre) @ (np.array(rx) @ ry @ rz).T
    image = np.c_[x0 - f * uvw[:, 0] / uvw[:, 2], y0 - f * uvw[:, 1] / uvw[:, 2]]
    fit = tivra.fit_camera(ground, image)
    np.testing.assert_allclose(fit["params"], [f, x0, y0, *centre, om, ph, ka], rtol=1e-6, atol=1e-6)
    assert np.abs(fit["residuals"]).max() < 1e-6 and fit["converged"]
    with pytest.raises(ValueError, match="at least 6"):
        tivra.fit_camera(ground[:5], image[:5])
