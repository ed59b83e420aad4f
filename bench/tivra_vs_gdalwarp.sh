#!/usr/bin/env bash
# Side-by-side run of `tivra warp` and GDAL's gdalwarp (Debian gdal-bin) on
# the same job: the bundled Landsat image and an 8192 x 8192 raster made from
# it with gdal_translate, each warped through an exact affine mapping (a 7
# degree rotation, from control points that both programs fit) onto the same
# output grid, for each interpolation. Prints wall times (read, warp and
# write included, both programs on every core) and the samples that differ.
# Both write the background 0 as no-data; the Landsat image marks 0 as its
# no-data, and so does the large raster made from it.
#
#   bash bench/tivra_vs_gdalwarp.sh [BUILD_DIR] [WORK_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
work=${2:-$build/bench-gdalwarp}
tivra=$build/bin/tivra helper=$build/bin/tivra_test_data
mkdir -p "$work" && cd "$work"
command -v gdalwarp > /dev/null || { echo "gdalwarp not found (Debian gdal-bin)" >&2; exit 1; }

gdal_translate -q -b 1 -outsize 8192 8192 -r bilinear "$root/tools/data/landsat7_rgb_byte.tif" big8192.tif

# points FILE COLS ROWS LEFT TOP PIXEL: control points of the rotated grid,
# written with the full precision of awk's %.17g.
points() {
  awk -v cols="$2" -v rows="$3" -v left="$4" -v top="$5" -v px="$6" 'BEGIN {
    a = 7 * atan2(0, -1) / 180; c = cos(a); s = sin(a); id = 0
    print "id,used,img_x,img_y,ref_x,ref_y"
    for (i = 0; i <= 4; ++i) for (j = 0; j <= 4; ++j) {
      x = cols * i / 4; y = rows * j / 4
      X = left + px * (c * x + s * y); Y = top - px * (-s * x + c * y)
      printf "%d,1,%.17g,%.17g,%.17g,%.17g\n", ++id, x, y, X, Y }
  }' > "$1"
}

seconds() { local t0 t1; t0=$(date +%s.%N); "$@" > /dev/null; t1=$(date +%s.%N); awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }'; }

echo "differing: samples that differ, samples compared, largest difference, samples that differ where neither is no-data"
printf "%-30s %-8s %8s %10s  %s\n" "raster, output" interp "tivra s" "gdalwarp s" differing
for input in "$root/tools/data/landsat7_rgb_byte.tif" big8192.tif; do
  set -- $("$helper" info "$input")
  cols=$1 rows=$2 left=$5 top=$6 px=$7 srs=EPSG:$9
  points pts.csv "$cols" "$rows" "$left" "$top" "$px"
  gcpargs=$(awk -F, 'NR > 1 { printf " -gcp %s %s %s %s", $3, $4, $5, $6 }' pts.csv)
  gdal_translate -q -a_srs "$srs" $gcpargs "$input" gcp.vrt
  # The output grid: the rotated footprint's bounds, pixels of the input's size.
  ext=$(awk -F, 'NR > 1 { if (NR == 2 || $5 < x0) x0 = $5; if (NR == 2 || $5 > x1) x1 = $5
                          if (NR == 2 || $6 < y0) y0 = $6; if (NR == 2 || $6 > y1) y1 = $6 }
                 END { printf "%.17g %.17g %.17g %.17g", x0, y0, x1, y1 }' pts.csv)
  set -- $ext
  w=$(awk -v a="$1" -v b="$3" -v p="$px" 'BEGIN { printf "%d", (b - a) / p }')
  h=$(awk -v a="$2" -v b="$4" -v p="$px" 'BEGIN { printf "%d", (b - a) / p }')
  for interp in ${TIVRA_BENCH_INTERPS:-nearest bilinear cubic}; do
    case $interp in nearest) r=near ;; *) r=$interp ;; esac
    rm -f t.tif g.tif
    tt=$(seconds "$tivra" warp "$input" t.tif --gcps pts.csv --method affine --interp "$interp" \
      --extent "$1,$2,$3,$4" --size "${w}x$h" --background 0 --quiet)
    tg=$(seconds gdalwarp -q -multi -wo NUM_THREADS=ALL_CPUS -order 1 -r "$r" -te "$1" "$2" "$3" "$4" -ts "$w" "$h" \
      -dstnodata 0 gcp.vrt g.tif)
    printf "%-30s %-8s %8s %10s  %s\n" "$(basename "$input") ${w}x$h" "$interp" "$tt" "$tg" "$("$helper" diff t.tif g.tif)"
  done
done
