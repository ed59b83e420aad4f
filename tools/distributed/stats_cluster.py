#!/usr/bin/python3
"""`tivra stats` of one raster spread over a Dask cluster.

    stats_cluster.py IN --scheduler ADDRESS|local [--tile 2048] [--nodata V]
                     [--json] [--workers N] [--tivra PATH]

Each task runs `tivra stats IN --partial --window ...` on one tile and
returns its sums (count, extremes, sum and sum of squares per band, every
number in its shortest exact text). `tivra stats --merge` then merges them
with the library's statistics merge and prints the count, extremes, mean and
standard deviation of each band. For integer samples these equal the
single-process figures exactly while the sums of squares stay below 2^53
(about 9.0e15: any 8-bit raster of up to 1.3e11 samples; a 16-bit one of
values up to 1000 over 9e9 samples). Real samples are summed in another
order: over n samples the mean agrees to a relative 2 n 2^-53 and the
deviation to a relative n 2^-53 (1 + mean^2 / deviation^2), the rounding
bound of sequential sums (the README gives figures). The stretch
and the histogram need every sample's bin over the whole range and are not
merged: they are left out.
"""

import argparse
import os
import tempfile

from osgeo import gdal

import tivra_dask

gdal.UseExceptions()


def stats(client, tivra, in_path, tile, nodata=None, json=False):
    """The merged figures of in_path, as `tivra stats --merge` prints them."""
    in_path = os.path.abspath(in_path)
    dataset = gdal.Open(in_path)
    width, height = dataset.RasterXSize, dataset.RasterYSize
    dataset = None
    windows = tivra_dask.tiles(width, height, tile)
    extra = ["--nodata", nodata] if nodata is not None else []
    commands = [[tivra, "stats", in_path, "--partial", "--window", tivra_dask.window_text(w), *extra]
                for w in windows]
    partials = client.gather(tivra_dask.submit_all(client, "stats", commands,
                                                   [f"{x}-{y}" for x, y, _, _ in windows]))
    with tempfile.TemporaryDirectory(prefix="tivra-stats") as scratch:
        paths = []
        for k, text in enumerate(partials):
            paths.append(os.path.join(scratch, f"part{k}.txt"))
            with open(paths[-1], "w") as f:
                f.write(text)
        return tivra_dask.run_tivra([tivra, "stats", "--merge", *paths, *(["--json"] if json else [])])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("input")
    parser.add_argument("--scheduler", required=True, help="a Dask scheduler's address, or local")
    parser.add_argument("--tile", type=int, default=2048, help="tile side in pixels (default 2048)")
    parser.add_argument("--nodata", help="the value left out of every band, as tivra stats --nodata takes it")
    parser.add_argument("--json", action="store_true", help="the figures as one JSON object")
    parser.add_argument("--workers", type=int, help="worker processes of a local cluster (default: the cores)")
    parser.add_argument("--tivra", help="the program (default $TIVRA, tivra on the path, or the build tree)")
    args = parser.parse_args()
    if args.tile < 1:
        parser.error("--tile takes a positive number")
    tivra = tivra_dask.find_tivra(args.tivra)
    with tivra_dask.connect(args.scheduler, args.workers) as client:
        print(stats(client, tivra, args.input, args.tile, args.nodata, args.json), end="")


if __name__ == "__main__":
    main()
