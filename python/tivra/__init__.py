"""tivra: raster resampling, warps, statistics, colour and geodesy on numpy arrays.

Images are numpy arrays of uint8, int8, uint16, int16, uint32, int32, float32,
float64, complex64 or complex128: 2-D (rows, columns) for one band, 3-D
(rows, columns, bands) for interleaved bands. Every computation runs without
the GIL; the long resamplings stop on Ctrl-C (KeyboardInterrupt) within a row
band. Bad input raises ValueError or TypeError. Each function says when it
copies its input.
"""
from __future__ import annotations

import os

import numpy as np

from . import _tivra
from ._tivra import PartialHistogram, PartialStats, Warp, WarpPlan, magnetic_decimal_date, palette, palette_names



def _find_resources():
    """Points the library at its resource folder unless TIVRA_HOME names a home: the folder beside this
    package (a pip installation), the build tree's, or the installed share/tivra one."""
    if os.environ.get("TIVRA_HOME") or os.environ.get("PELMORATIVRA_1_1"):
        return
    here = os.path.dirname(os.path.abspath(__file__))
    for candidate in (os.path.join(here, "Resource"),
                      os.path.join(here, "..", "..", "Resource"),
                      os.path.join(here, "..", "..", "..", "..", "share", "tivra", "Resource")):
        if os.path.isdir(candidate):
            _tivra._set_resource_path(os.path.normpath(candidate) + os.sep)
            return


_find_resources()

__all__ = [
    "PartialHistogram", "PartialStats", "Warp", "WarpPlan", "band_statistics", "color_decode", "color_encode", "colorize",
    "convolve", "ecef_to_geodetic", "ecef_to_local", "fit_camera", "fit_warp", "geodesic_direct",
    "geodesic_inverse", "geodetic_to_ecef", "histogram", "local_to_ecef", "magnetic_decimal_date",
    "magnetic_field", "palette", "palette_names", "plan_warp", "read_gcps", "read_raster", "resample_map",
    "resample_warp", "statistics", "warp_raster", "write_raster",
]

INTERPOLATIONS = ("nearest", "bilinear", "cubic", "radial")
"""Interpolation names: nearest neighbour, bilinear, the separable cubic
convolution (a = -0.5) and the radial cubic kernel."""

WARP_METHODS = ("linear", "affine", "pseudoaffine", "second", "third", "projective")
"""Warp method names: the polynomials from first to third order and the projective mapping."""


def _broadcast(*args):
    """The arguments broadcast against each other, as flat float64 arrays, and their common shape."""
    arrays = np.broadcast_arrays(*[np.asarray(a, dtype=np.float64) for a in args])
    shape = arrays[0].shape
    return [np.ascontiguousarray(a).reshape(-1) for a in arrays], shape


def _shaped(results, shape):
    return tuple(r.reshape(shape) if shape else r.reshape(())[()] for r in results)


def _check_workers(workers):
    if not isinstance(workers, (int, np.integer)) or workers < 0:
        raise ValueError("workers must be 0 (one per processor) or a positive integer")


# --- resampling and convolution ------------------------------------------------

def resample_warp(image, warp, *, shape=None, window=None, interpolation="bilinear", nodata=None,
                  background=0.0, rounding=False, workers=0, progress=None):
    """Resamples image through warp, which maps output pixel (column, row) to source (column, row).

    Give shape=(rows, columns) of the output, or window=(x_offset, y_offset, width, height) to compute
    that part of a larger output grid (windows mosaic into the whole grid bit for bit). interpolation is
    one of INTERPOLATIONS. With nodata, source samples equal to it (and NaN samples) never contribute.
    Output pixels that map outside the source, or only onto no-data, take background. rounding rounds
    integer outputs to nearest (halves away from zero) instead of truncating. workers: threads, 0 for one
    per processor. progress, when given, is called with the fraction done (0..1) about every 50 ms.

    A 2-D C-contiguous source is read in place and the output written in place (no copy); other sources
    are copied once per band, and each band of a 3-D output once into place. Returns an array of the
    source's dtype. Ctrl-C stops the workers after their current row and raises KeyboardInterrupt.
    """
    return _tivra.resample_warp(image, warp, shape=shape, window=window, interpolation=interpolation,
                                nodata=nodata, background=background, rounding=rounding, workers=workers,
                                progress=progress)


def resample_map(image, map, *, interpolation="bilinear", nodata=None, background=0.0, rounding=False,
                 workers=0, progress=None):
    """Resamples image at the source positions of map, an array (rows, columns, 2) of (column, row).

    The output has map's rows and columns; a position holding 1.7e308 in either coordinate, or outside
    the source, leaves background. The other options and the copies are those of resample_warp; map is
    read in place when it is C-contiguous float64, else copied once.
    """
    return _tivra.resample_map(image, map, interpolation=interpolation, nodata=nodata, background=background,
                               rounding=rounding, workers=workers, progress=progress)


def convolve(image, kernel, *, edge="skip", dtype="float64"):
    """Correlates every band of image with kernel (2-D, not mirrored, centre at (rows // 2, columns // 2)).

    edge 'skip' leaves terms outside the image out of the sum, 'clamp' repeats the edge samples. dtype is
    the output type (int8, int16, int32, float32, float64), in which the sum is kept; integer sums wrap.
    A 2-D C-contiguous image is read in place; the result is copied once into the returned array.
    """
    return _tivra.convolve(image, kernel, edge=edge, dtype=dtype)


# --- warps -----------------------------------------------------------------------

def fit_warp(src, dst, *, method="affine", cells=(1, 1), used=None):
    """Fits a Warp mapping src points to dst points by least squares.

    src, dst: arrays (n, 2) of (x, y); used: optional booleans (n,) of the points that take part (the
    others are check points). method is one of WARP_METHODS; cells=(columns, rows) above (1, 1) adds a
    grid of local polynomial fits over the used points' bounding box. The result's rms gives the x and y
    RMS residuals over the used points and residuals each point's mapped src minus dst. Points are copied
    once to contiguous float64 when they are not already. ValueError for too few used points, a
    non-finite coordinate or degenerate points.
    """
    return _tivra._fit_warp(src, dst, method, tuple(cells), used)


def read_gcps(path):
    """Reads a control-point CSV (id,used,img_x,img_y,ref_x,ref_y[,ref_z]) as the tivra program does.

    Returns a dict: ids (n,) int32, used (n,) bool, image (n, 2) column and row with (0, 0) the outer
    upper-left image corner, reference (n, 3) map x, y and z.
    """
    ids, used, image, reference = _tivra._read_gcps(os.fspath(path))
    return {"ids": ids, "used": used, "image": image, "reference": reference}


def plan_warp(gcps, source_shape, *, method="affine", cells=(1, 1), interpolation="bilinear", pixel_size=None,
              size=None, extent=None, window=None):
    """Plans a rectification as `tivra warp` does: fits output pixels to source pixels and sizes the output.

    gcps is a CSV path or a dict of read_gcps (image (n, 2), reference (n, 2 or 3), optional ids and
    used). source_shape is (rows, columns) of the source. The output grid covers extent=(xmin, ymin,
    xmax, ymax) or the mapped image outline, at pixel_size or with size=(width, height) or the derived
    spacing; window=(x_offset, y_offset, width, height) computes that part of it. Returns a WarpPlan.
    """
    if isinstance(gcps, (str, os.PathLike)):
        gcps = read_gcps(gcps)
    image = np.asarray(gcps["image"], dtype=np.float64)
    n = image.shape[0] if image.ndim == 2 else 0
    ids = gcps.get("ids", np.arange(1, n + 1, dtype=np.int32))
    used = gcps.get("used", np.ones(n, dtype=bool))
    return _tivra._plan_warp(ids, used, image, gcps["reference"], tuple(source_shape), method, tuple(cells),
                             interpolation, pixel_size, None if size is None else tuple(size),
                             None if extent is None else tuple(extent), None if window is None else tuple(window))


def warp_raster(image, plan, *, nodata=None, background=None, rounding=True, windowed=False):
    """Rectifies image by plan exactly as `tivra warp` does; returns (array, info).

    nodata: the source no-data value (one for all bands or a list per band); its samples, and NaN samples
    of real bands, never contribute. background: the value of output pixels no source sample reaches
    (default the no-data value, else 0), declared the output's no-data. rounding: integer outputs
    rounded to nearest (the program's default) or truncated. info holds transform (GDAL order), crs (None)
    and nodata per band. A 2-D C-contiguous source whose plan reads all of it is read in place, any other
    once copied per band; the result is copied once into the returned array. Runs without the GIL on
    every processor; it cannot be interrupted (use resample_warp for that). windowed: image holds only
    plan.source_window of the source (what a caller reading window by window read), not all of it.
    """
    return _tivra._warp_raster(image, plan, nodata, background, rounding, windowed)


# --- rasters ----------------------------------------------------------------------

def read_raster(path, *, window=None):
    """Reads every band of a raster file GDAL can open; returns (array, info).

    The array is (rows, columns) for one band, else (rows, columns, bands) (one copy to interleave).
    window=(x_offset, y_offset, width, height) reads that part. info: transform (GDAL geo-transform of a
    north-up raster, else None), crs (WKT or None) and nodata (one value or None per band).
    """
    return _tivra._read_raster(os.fspath(path), None if window is None else tuple(window))


def write_raster(path, image, *, transform=None, crs=None, nodata=None, format="", options=()):
    """Writes image (2-D, or 3-D with bands last) to path, atomically, with geo-reference.

    transform: a north-up GDAL geo-transform; crs: anything GDAL takes ('EPSG:32611', WKT, PROJ text);
    nodata: one value or one per band. format: a GDAL driver name, else taken from the extension;
    options: creation options 'NAME=VALUE'. A 2-D C-contiguous image is written in place, others copied
    once per band.
    """
    _tivra._write_raster(os.fspath(path), image, transform, crs, nodata, format, list(options))


# --- statistics and colour ------------------------------------------------------------

def statistics(band, *, nodata=None, histogram=False, skip_nan=True, nodata_in_sample_precision=True):
    """Count, min, max, mean and sample standard deviation of a 2-D band, as a dict.

    Samples equal to nodata (compared in the band's own precision unless told otherwise) and NaN
    samples (with skip_nan) are left out. histogram=True adds the 256 counts over [min, max]. Read in
    place when C-contiguous, else copied once.
    """
    return _tivra._statistics(band, nodata, histogram, skip_nan, nodata_in_sample_precision)


def band_statistics(band, *, nodata=None):
    """The figures `tivra stats` prints for a band: count, min, max, mean, std, the automatic display
    stretch (low, high) and the 256-bin histogram over [min, max]. ValueError when no sample is valid."""
    return _tivra._band_statistics(band, nodata)


def histogram(band, *, lo=None, hi=None, nodata=None):
    """256-bin histogram of a 2-D band over [lo, hi]; returns (counts, lo, hi).

    Values below lo count in bin 0, at or above hi in bin 255. Without a range: [0, 255] for uint8,
    [-128, 127] for int8, the data's extremes otherwise. Read in place when C-contiguous.
    """
    return _tivra._histogram(band, lo, hi, nodata)


def colorize(band, palette="rainbow", *, low=None, high=None, nodata=None):
    """Renders a 2-D band through a palette into an (rows, columns, 3) uint8 image.

    Values map linearly from [low, high] to the palette's 256 entries, clamped; without low or high the
    automatic stretch of band_statistics is used. No-data and NaN samples become black. palette: a name
    of palette_names() or its 1-based index.
    """
    return _tivra._colorize(band, palette, low, high, nodata)


def color_encode(pixels, *, y_last=False):
    """The reversible colour transform of the first three components of every pixel (last axis).

    uint8 (p, c, q) become (Y, D1, D2) (or (D1, D2, Y) with y_last), int16 (p, c, q) become (S, E1, E2).
    Returns a new array (one copy).
    """
    return _tivra._color_transform(pixels, False, y_last)


def color_decode(pixels, *, y_last=False):
    """The inverse of color_encode; uint8 round trips may differ by one. Returns a new array (one copy)."""
    return _tivra._color_transform(pixels, True, y_last)


# --- geodesy --------------------------------------------------------------------

def geodesic_inverse(lat1, lon1, lat2, lon2, *, robust=True, workers=0):
    """Distance (m) and azimuths (degrees, 0..360) between points on WGS 84; returns (dist, az1, az2).

    az1 is the azimuth at point 1 toward point 2, az2 that at point 2 continuing forward. robust also
    solves nearly antipodal points (else they give NaN). Arguments broadcast like numpy's; they are
    copied once to contiguous float64 when they are not already such arrays of one shape. workers:
    threads (0: one per processor). ValueError for a latitude outside [-90, 90] or a non-finite value.
    """
    _check_workers(workers)
    (a, b, c, d), shape = _broadcast(lat1, lon1, lat2, lon2)
    return _shaped(_tivra._geodesic_inverse(a, b, c, d, robust, workers), shape)


def geodesic_direct(lat1, lon1, azimuth, distance, *, workers=0):
    """The point reached from (lat1, lon1) along azimuth (degrees) after distance (m) on WGS 84.

    Returns (lat2, lon2, az2), az2 the azimuth at the end continuing forward. Broadcasting, copies,
    workers and errors as in geodesic_inverse; a negative distance is refused.
    """
    _check_workers(workers)
    (a, b, c, d), shape = _broadcast(lat1, lon1, azimuth, distance)
    return _shaped(_tivra._geodesic_direct(a, b, c, d, workers), shape)


def geodetic_to_ecef(lat, lon, height, *, workers=0):
    """Geodetic latitude, longitude (degrees) and ellipsoidal height (m) to earth-centred x, y, z (m)."""
    _check_workers(workers)
    (a, b, c), shape = _broadcast(lat, lon, height)
    return _shaped(_tivra._geodetic_to_ecef(a, b, c, workers), shape)


def ecef_to_geodetic(x, y, z, *, workers=0):
    """Earth-centred x, y, z (m) to geodetic (lat, lon, height) in degrees and metres."""
    _check_workers(workers)
    (a, b, c), shape = _broadcast(x, y, z)
    return _shaped(_tivra._ecef_to_geodetic(a, b, c, workers), shape)


def ecef_to_local(x, y, z, lat0, lon0, h0, *, frame="enu", workers=0):
    """Earth-centred points into the local east-north-up ('enu') or north-east-down ('ned') frame at
    the geodetic origin (lat0, lon0, h0); all arguments broadcast. Returns the three local coordinates."""
    _check_workers(workers)
    args, shape = _broadcast(x, y, z, lat0, lon0, h0)
    return _shaped(_tivra._local(*args, frame, False, workers), shape)


def local_to_ecef(a, b, c, lat0, lon0, h0, *, frame="enu", workers=0):
    """The inverse of ecef_to_local: local coordinates at the origin back to earth-centred x, y, z."""
    _check_workers(workers)
    args, shape = _broadcast(a, b, c, lat0, lon0, h0)
    return _shaped(_tivra._local(*args, frame, True, workers), shape)


def magnetic_field(lat, lon, height, date, *, workers=0):
    """The geomagnetic main field at geodetic positions (degrees, metres) and decimal years.

    Returns a dict of arrays: declination (degrees, east positive), annual_change (arc minutes per
    year), north, east, down, horizontal and total intensity (nT) and inclination (degrees). NaN
    declination near the poles. ValueError when the model file cannot be read.
    """
    _check_workers(workers)
    args, shape = _broadcast(lat, lon, height, date)
    field = _tivra._magnetic(*args, workers)
    return {k: _shaped((v,), shape)[0] for k, v in field.items()}


# --- camera ------------------------------------------------------------------------

CAMERA_PARAMETERS = ("f", "x0", "y0", "X0", "Y0", "Z0", "omega", "phi", "kappa")
"""Frame camera parameters: principal distance and point (pixels), projection centre, and the rotation
angles (radians)."""


def fit_camera(ground, image, *, used=None, max_iterations=500):
    """Fits a frame camera to control points as `tivra camera` does: direct linear start, then
    Levenberg-Marquardt refinement.

    ground: (n, 3) X, Y, Z; image: (n, 2) x, y pixels; used: optional booleans (n,). Returns a dict:
    params (9,) in CAMERA_PARAMETERS order, std (9,) their a-posteriori standard deviations, residuals
    (n, 2) projected minus observed, sigma0, dof, iterations, converged. ValueError for fewer than six
    used points or coplanar ground points.
    """
    return _tivra._fit_camera(ground, image, used, max_iterations)
