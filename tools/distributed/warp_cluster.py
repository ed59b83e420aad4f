#!/usr/bin/python3
"""One `tivra warp` spread over a Dask cluster.

    warp_cluster.py IN OUT --gcps FILE [tivra warp options]
                    --scheduler ADDRESS|local [--tile 2048] [--workers N]
                    [--tivra PATH] [--keep-tiles]

1. Fits once: `tivra warp IN --gcps FILE ... --save-fit FIT` writes the
   mapping and the output grid.
2. Submits one `tivra warp IN TILE --load-fit FIT --window ...` task per
   tile of the output grid. The program writes each tile atomically
   (a temporary name, then a rename), so a task run twice, after a lost
   worker, writes the same file again.
3. Assembles the tiles with GDAL: a VRT over them, translated to OUT in the
   format --of names (else the one OUT's extension gives, as the program
   picks it), with any --co creation options.

The windows of one fit mosaic to the single-process result sample for
sample. IN, the control points and OUT's folder (where the tiles go) must
be on a file system every worker sees; with `--scheduler local` the workers
are processes of this machine on the loopback interface.
"""

import argparse
import os
import shutil
import sys
import tempfile
import time

from osgeo import gdal

import tivra_dask

gdal.UseExceptions()

# Options of `tivra warp` that take a value, by what they concern: the fit
# and the output grid (given to the fit only), the output file (given to
# the final translation only), and the resampling (given to every window).
FIT_OPTIONS = {"--method", "--cells", "--interp", "--size", "--pixel-size", "--extent"}
OUTPUT_OPTIONS = {"--of", "--co"}
WINDOW_OPTIONS = {"--a-srs", "--srcnodata", "--background"}
WINDOW_FLAGS = {"--truncate"}


def split_options(options):
    """The user's warp options as (fit, window, output) lists; SystemExit
    on an option the recipe sets itself or does not know."""
    fit, window, output = [], [], []
    i = 0
    while i < len(options):
        name = options[i]
        if name in WINDOW_FLAGS:
            fit.append(name)
            window.append(name)
            i += 1
            continue
        if name not in FIT_OPTIONS | OUTPUT_OPTIONS | WINDOW_OPTIONS:
            sys.exit(f"warp_cluster: {name}: not an option the recipe passes on "
                     "(it sets --window, --save-fit, --load-fit and --quiet itself)")
        if i + 1 >= len(options):
            sys.exit(f"warp_cluster: {name} needs a value")
        pair = [name, options[i + 1]]
        if name in FIT_OPTIONS:
            fit += pair
        elif name in OUTPUT_OPTIONS:
            output += pair
        else:
            fit += pair
            window += pair
        i += 2
    return fit, window, output


def output_driver(path, output):
    """The GDAL driver named by --of, else the first raster driver able to
    write that lists OUT's extension (the program's own rule)."""
    names = [output[i + 1] for i in range(0, len(output), 2) if output[i] == "--of"]
    if names:
        return names[-1]
    ext = os.path.splitext(path)[1].lstrip(".").lower()
    for i in range(gdal.GetDriverCount()):
        driver = gdal.GetDriver(i)
        meta = driver.GetMetadata()
        writes = meta.get("DCAP_RASTER") and (meta.get("DCAP_CREATE") or meta.get("DCAP_CREATECOPY"))
        if writes and ext in meta.get("DMD_EXTENSIONS", "").lower().split():
            return driver.ShortName
    sys.exit(f"warp_cluster: {path}: no writable format has the extension '{ext}'; name one with --of")


def grid_size(fit_path):
    """Width and height of the output grid in a fit file."""
    with open(fit_path) as f:
        for line in f:
            words = line.split()
            if words and words[0] == "grid":
                return int(words[1]), int(words[2])
    raise RuntimeError(f"{fit_path}: no grid line")


def assemble(tile_paths, out_path, driver, output, scratch):
    """The tiles as one raster at out_path, through a VRT; the output
    appears, with any side file, only when complete."""
    # Every tile has the grid's own pixel size; "highest" keeps it as it is,
    # where the default average of equal sizes can round away a last bit.
    vrt = gdal.BuildVRT(os.path.join(scratch, "mosaic.vrt"), tile_paths, resolution="highest")
    options = [output[i + 1] for i in range(0, len(output), 2) if output[i] == "--co"]
    folder, name = os.path.split(os.path.abspath(out_path))
    temp = os.path.join(folder, f".{name}.tmp{os.getpid()}")
    try:
        gdal.Translate(temp, vrt, format=driver, creationOptions=options)
        vrt = None
        if os.path.exists(temp + ".aux.xml"):
            os.replace(temp + ".aux.xml", out_path + ".aux.xml")
        os.replace(temp, out_path)
    finally:
        for leftover in (temp, temp + ".aux.xml"):
            if os.path.exists(leftover):
                os.remove(leftover)


def warp(client, tivra, in_path, out_path, gcps, options, tile, keep_tiles=False, on_submitted=None):
    """The whole recipe on a connected client. on_submitted(futures), when
    given, is called once every tile task is submitted. Returns the seconds
    of each phase."""
    fit_options, window_options, output = split_options(options)
    driver = output_driver(out_path, output)
    in_path, out_path = os.path.abspath(in_path), os.path.abspath(out_path)
    scratch = tempfile.mkdtemp(prefix=f".{os.path.basename(out_path)}.tiles", dir=os.path.dirname(out_path))
    seconds = {}
    try:
        start = time.monotonic()
        fit = os.path.join(scratch, "warp.fit")
        tivra_dask.run_tivra([tivra, "warp", in_path, "--gcps", os.path.abspath(gcps), *fit_options,
                              "--save-fit", fit, "--quiet"])
        width, height = grid_size(fit)
        seconds["fit"] = time.monotonic() - start

        start = time.monotonic()
        windows = tivra_dask.tiles(width, height, tile)
        paths = [os.path.join(scratch, f"tile_{y}_{x}.tif") for x, y, _, _ in windows]
        commands = [[tivra, "warp", in_path, path, "--load-fit", fit, "--window", tivra_dask.window_text(w),
                     "--of", "GTiff", *window_options, "--quiet"] for w, path in zip(windows, paths)]
        futures = tivra_dask.submit_all(client, "warp", commands, [f"{x}-{y}" for x, y, _, _ in windows])
        if on_submitted:
            on_submitted(futures)
        client.gather(futures)
        seconds["tiles"] = time.monotonic() - start
        seconds["tile count"] = len(windows)

        start = time.monotonic()
        assemble(paths, out_path, driver, output, scratch)
        seconds["assemble"] = time.monotonic() - start
    finally:
        if not keep_tiles:
            # A program still running on a lost worker may be writing here;
            # whatever it leaves is not part of the result.
            shutil.rmtree(scratch, ignore_errors=True)
    return seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     usage="%(prog)s IN OUT --gcps FILE [tivra warp options] "
                                           "--scheduler ADDRESS|local [--tile N]")
    parser.add_argument("input")
    parser.add_argument("output")
    parser.add_argument("--gcps", required=True, help="the control points (CSV, as tivra warp takes them)")
    parser.add_argument("--scheduler", required=True, help="a Dask scheduler's address, or local")
    parser.add_argument("--tile", type=int, default=2048, help="tile side in output pixels (default 2048)")
    parser.add_argument("--workers", type=int, help="worker processes of a local cluster (default: the cores)")
    parser.add_argument("--tivra", help="the program (default $TIVRA, tivra on the path, or the build tree)")
    parser.add_argument("--keep-tiles", action="store_true", help="leave the tiles and the fit file in place")
    args, options = parser.parse_known_args()
    if args.tile < 1:
        parser.error("--tile takes a positive number")
    tivra = tivra_dask.find_tivra(args.tivra)
    start = time.monotonic()
    with tivra_dask.connect(args.scheduler, args.workers) as client:
        seconds = warp(client, tivra, args.input, args.output, args.gcps, options, args.tile, args.keep_tiles)
    print(f"{args.output}: {seconds['tile count']} tiles; time {time.monotonic() - start:.3f} s: "
          f"fit {seconds['fit']:.3f}, tiles {seconds['tiles']:.3f}, assemble {seconds['assemble']:.3f}")


if __name__ == "__main__":
    main()
