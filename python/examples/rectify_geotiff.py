#!/usr/bin/python3
"""Rectifies a GeoTIFF from control points: rasterio reads and writes, tivra fits and warps.

    rectify_geotiff.py [INPUT.tif GCPS.csv OUTPUT.tif] [--method second] [--interp bilinear]

With no file arguments it rectifies the bundled Landsat image with its control points into
rectified.tif in the current folder, the same warp as

    tivra warp tools/data/landsat7_rgb_byte.tif rectified.tif \\
        --gcps tools/data/landsat7_rgb_byte.gcps.csv --method second --interp bilinear
"""
import argparse
import os
import sys

import numpy as np
import rasterio
from rasterio.transform import Affine

import tivra

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "data")


def rectify(input_path, gcps_path, output_path, method="second", interpolation="bilinear"):
    """Reads input_path, fits the warp to the control points, writes output_path; returns the plan."""
    with rasterio.open(input_path) as src:
        # rasterio gives (bands, rows, columns); tivra takes bands last.
        image = np.moveaxis(src.read(), 0, -1)
        if image.shape[2] == 1:
            image = image[:, :, 0]
        crs, nodata = src.crs, src.nodata
    plan = tivra.plan_warp(gcps_path, image.shape[:2], method=method, interpolation=interpolation)
    out, info = tivra.warp_raster(image, plan, nodata=nodata)
    bands = out[np.newaxis] if out.ndim == 2 else np.moveaxis(out, -1, 0)
    profile = {"driver": "GTiff", "width": out.shape[1], "height": out.shape[0], "count": bands.shape[0],
               "dtype": out.dtype.name, "crs": crs, "transform": Affine.from_gdal(*info["transform"]),
               "nodata": info["nodata"][0]}
    with rasterio.open(output_path, "w", **profile) as dst:
        dst.write(bands)
    return plan


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("files", nargs="*", metavar="FILE", help="INPUT.tif GCPS.csv OUTPUT.tif")
    parser.add_argument("--method", default="second", choices=tivra.WARP_METHODS)
    parser.add_argument("--interp", default="bilinear", choices=tivra.INTERPOLATIONS)
    args = parser.parse_args(argv)
    if not args.files:
        args.files = [os.path.join(DATA, "landsat7_rgb_byte.tif"), os.path.join(DATA, "landsat7_rgb_byte.gcps.csv"),
                      "rectified.tif"]
    if len(args.files) != 3:
        parser.error("give INPUT.tif GCPS.csv OUTPUT.tif, or nothing for the bundled sample")
    plan = rectify(*args.files, method=args.method, interpolation=args.interp)
    rows, cols = plan.shape
    print(f"{args.files[2]}: {cols} x {rows} pixels, RMS residual x {plan.rms[0]:.4f} px, y {plan.rms[1]:.4f} px")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
