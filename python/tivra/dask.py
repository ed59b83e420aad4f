"""Rasters on Dask: warps and statistics whose tasks run the library in process.

A warp is fitted once (`fit`), then every output chunk is a task that loads the fit for its own
window, reads only the source window that window needs (from the file, or from a dask.array) and
resamples it without the GIL. The chunks mosaic to what `tivra warp` writes in one process, sample
for sample; statistics merge per-chunk partial sums into the whole raster's figures.

Every task is a pure function of its inputs, so a task lost with its worker is simply run again.
Writes are done once, atomically, by one writer task.
"""

import os
import tempfile

import dask
import dask.array as da
import numpy as np

from . import PartialStats, WarpPlan, plan_warp, read_raster, warp_raster, write_raster

__all__ = ["Fit", "fit", "warp", "statistics", "to_geotiff", "to_zarr", "to_xarray", "warp_scenes"]

# Output chunk side in pixels: large enough that the per-task cost (loading the fit, one windowed read)
# is small beside the resampling, small enough that two workers get several chunks each of a large grid.
CHUNK = 2048


class Fit:
    """A fitted warp that travels between processes: the fit file's text, the source shape
    (rows, columns), the output shape, its geo-transform and reference system (or None)."""

    def __init__(self, text, source_shape, shape, transform, crs=None):
        self.text, self.source_shape, self.shape = text, tuple(source_shape), tuple(shape)
        self.transform, self.crs = tuple(transform), crs

    def __dask_tokenize__(self):
        # Equal fits give equal task keys, so a graph built twice names the same results.
        return (self.text, self.source_shape, self.shape, self.transform, self.crs)

    def plan(self, window=None):
        """The WarpPlan of the output window (x_offset, y_offset, width, height), or of the whole grid."""
        with tempfile.NamedTemporaryFile("w", suffix=".fit") as f:
            f.write(self.text)
            f.flush()
            return WarpPlan.load(f.name, self.source_shape, window=window)


def _source_header(source):
    """(rows, columns, bands, dtype, crs, nodata) of a raster path or an array."""
    if isinstance(source, (str, os.PathLike)):
        from osgeo import gdal
        gdal.UseExceptions()
        ds = gdal.Open(os.fspath(source))
        sample, info = read_raster(source, window=(0, 0, 1, 1))
        bands = 1 if sample.ndim == 2 else sample.shape[2]
        return ds.RasterYSize, ds.RasterXSize, bands, sample.dtype, info["crs"], info["nodata"]
    bands = 1 if source.ndim == 2 else source.shape[2]
    return source.shape[0], source.shape[1], bands, np.dtype(source.dtype), None, [None] * bands


def fit(source, gcps, *, crs=None, **options):
    """Fits the warp of a raster path or array by control points (a CSV path or read_gcps dict), with
    plan_warp's options (method, cells, interpolation, pixel_size, size, extent). crs: the output's
    reference system (default: the source file's, as `tivra warp` without --a-srs). Returns a Fit."""
    rows, cols, _, _, source_crs, _ = _source_header(source)
    plan = plan_warp(gcps, (rows, cols), **options)
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "warp.fit")
        plan.save(path)
        with open(path) as f:
            text = f.read()
    return Fit(text, (rows, cols), plan.shape, plan.transform, crs or source_crs)


def _windows(shape, chunk):
    """The output windows (x, y, width, height) of a chunk x chunk grid over shape, row by row."""
    rows, cols = shape
    return [[(x, y, min(chunk, cols - x), min(chunk, rows - y)) for x in range(0, cols, chunk)]
            for y in range(0, rows, chunk)]


def _nodata(given, source_nodata):
    """The no-data value per band a warp honours: the one given, else the source's own."""
    return source_nodata if given is None else given


def _warp_chunk(source, fit, window, nodata, background, rounding):
    """One output window: loads the plan for it, reads its source window (when source is a path;
    an array source is that window already) and resamples it."""
    plan = fit.plan(window)
    if isinstance(source, (str, os.PathLike)):
        source, info = read_raster(source, window=plan.source_window)
        nodata = _nodata(nodata, info["nodata"])
    out, _ = warp_raster(np.ascontiguousarray(source), plan, nodata=nodata, background=background,
                         rounding=rounding, windowed=True)
    return out


def output_nodata(source, nodata=None, background=None):
    """The no-data value per band the warp output declares, as its background is chosen: the background
    given, else the source's no-data, else 0."""
    _, _, bands, _, _, source_nodata = _source_header(source)
    values = _nodata(nodata, source_nodata) if background is None else background
    values = list(values) if isinstance(values, (list, tuple)) else [values] * bands
    return [0.0 if v is None else v for v in values]


def warp(source, fit, *, chunk=CHUNK, nodata=None, background=None, rounding=True):
    """The warp of source (a raster path every worker can read, or a dask.array (rows, columns[,
    bands])) by fit, as a dask.array of the output grid in chunk x chunk blocks. nodata, background
    and rounding as warp_raster takes them (nodata defaults to the file's own)."""
    _, _, bands, dtype, _, _ = _source_header(source)
    fit_key = dask.delayed(fit, pure=True)
    is_path = isinstance(source, (str, os.PathLike))
    rows_of_blocks = []
    for row in _windows(fit.shape, chunk):
        blocks = []
        for window in row:
            if is_path:
                part = os.fspath(source)
            else:
                x, y, w, h = fit.plan(window).source_window
                part = source[y:y + h, x:x + w]
            task = dask.delayed(_warp_chunk, pure=True)(part, fit_key, window, nodata, background, rounding)
            shape = (window[3], window[2]) if bands == 1 else (window[3], window[2], bands)
            blocks.append(da.from_delayed(task, shape, dtype=dtype))
        rows_of_blocks.append(blocks if bands == 1 else [[b] for b in blocks])
    return da.block(rows_of_blocks)


def _partial_stats(block, nodata):
    """The partial sums of each band of a block."""
    block = np.asarray(block)
    bands = [block] if block.ndim == 2 else [block[:, :, b] for b in range(block.shape[2])]
    values = nodata if isinstance(nodata, (list, tuple)) else [nodata] * len(bands)
    partials = []
    for band, value in zip(bands, values):
        p = PartialStats()
        p.add(np.ascontiguousarray(band), nodata=value)
        partials.append(p)
    return partials


def _read_stats(path, window, nodata):
    image, info = read_raster(path, window=window)
    return _partial_stats(image, _nodata(nodata, info["nodata"]))


def _merge(*parts):
    """Merges lists of per-band partial sums, band by band, into the first."""
    merged = parts[0]
    for other in parts[1:]:
        for a, b in zip(merged, other):
            a.merge(b)
    return merged


def _results(partials):
    return [p.result() for p in partials]


def statistics(source, *, nodata=None, chunk=CHUNK):
    """Count, min, max, mean and standard deviation of each band of a raster path or dask.array, as a
    delayed list of dicts (one per band): per-chunk partial sums merged in a tree."""
    if isinstance(source, (str, os.PathLike)):
        rows, cols = _source_header(source)[:2]
        parts = [dask.delayed(_read_stats, pure=True)(os.fspath(source), w, nodata)
                 for row in _windows((rows, cols), chunk) for w in row]
    else:
        parts = [dask.delayed(_partial_stats, pure=True)(b, nodata) for b in source.to_delayed().ravel()]
    # A tree of merges, eight at a time, so no single task waits on every chunk's result.
    while len(parts) > 1:
        parts = [dask.delayed(_merge, pure=True)(*parts[i:i + 8]) for i in range(0, len(parts), 8)]
    return dask.delayed(_results, pure=True)(parts[0])


def _write(path, image, transform, crs, nodata, options):
    write_raster(path, image, transform=transform, crs=crs, nodata=nodata, format="GTiff", options=options)
    return os.fspath(path)


def to_geotiff(array, path, fit, *, nodata=None, options=()):
    """A delayed write of array (a warp's output) to a GeoTIFF at path with fit's geo-reference, by
    one writer task, atomically; computing it returns the path."""
    return dask.delayed(_write, pure=True)(os.fspath(path), array, fit.transform, fit.crs, nodata, list(options))


def to_zarr(array, path, fit, **kwargs):
    """Writes array to a Zarr store at path, chunk by chunk in parallel, with the geo-transform and
    reference system as attributes of the array."""
    import zarr
    da.to_zarr(array, os.fspath(path), **kwargs)
    store = zarr.open(os.fspath(path), mode="r+")
    store.attrs.update({"transform": list(fit.transform), "crs": fit.crs})
    return store


def to_xarray(array, fit, name="warp"):
    """array as an xarray DataArray with y and x coordinates of the pixel centres (and band, for
    several bands) and fit's reference system and transform."""
    import rioxarray  # noqa: F401  (registers the .rio accessor)
    import xarray as xr
    from affine import Affine
    left, width, _, top, _, height = fit.transform
    rows, cols = fit.shape
    coords = {"y": top + (np.arange(rows) + 0.5) * height, "x": left + (np.arange(cols) + 0.5) * width}
    dims = ("y", "x")
    if array.ndim == 3:
        dims += ("band",)
        coords["band"] = np.arange(1, array.shape[2] + 1)
    result = xr.DataArray(array, coords=coords, dims=dims, name=name)
    if result.ndim == 3:
        result = result.transpose("band", "y", "x")
    result = result.rio.write_transform(Affine.from_gdal(*fit.transform))
    return result.rio.write_crs(fit.crs) if fit.crs else result


def _scene_fit(source, gcps, crs, options):
    return fit(source, gcps, crs=crs, **options)


def _scene_write(path, fit, source, nodata, background, options, chunk, *blocks):
    """Assembles a scene's chunks (row by row, as _windows orders them) and writes it once."""
    per_row = -(-fit.shape[1] // chunk)
    rows = [np.concatenate(blocks[i:i + per_row], axis=1) for i in range(0, len(blocks), per_row)]
    return _write(path, np.concatenate(rows, axis=0), fit.transform, fit.crs,
                  output_nodata(source, nodata, background), options)


def warp_scenes(client, scenes, *, chunk=CHUNK, crs=None, nodata=None, background=None, rounding=True,
                options=(), **fit_options):
    """Warps many scenes on a distributed client as one stream of tasks: per scene (source path,
    control points, output path) a fit task, its chunk tasks depending on it and a writer task
    depending on them. The client only submits; it submits a scene's chunks as its fit arrives (only
    the fit's grid size comes back to it).
    Returns the written paths in the scenes' order."""
    from distributed import as_completed
    fits = [client.submit(_scene_fit, os.fspath(src), gcps, crs, fit_options, pure=True) for src, gcps, _ in scenes]
    # By the future itself: two scenes of the same source and points share a fit's key.
    index = {id(f): i for i, f in enumerate(fits)}
    writes = [None] * len(scenes)
    for done in as_completed(fits):
        i = index[id(done)]
        src, _, out = scenes[i]
        windows = [w for row in _windows(done.result().shape, chunk) for w in row]
        chunks = [client.submit(_warp_chunk, os.fspath(src), done, w, nodata, background, rounding, pure=True)
                  for w in windows]
        writes[i] = client.submit(_scene_write, os.fspath(out), done, os.fspath(src), nodata, background,
                                  list(options), chunk, *chunks, pure=True)
    return client.gather(writes)
