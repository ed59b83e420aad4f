# warp: a Float32 ramp v(c, r) = 100 + 3c + 2r under a known affine mapping
# from image to reference. Bilinear interpolation reproduces a linear ramp
# exactly, so every output pixel that falls inside the image has a value the
# test computes from its own map position, and every pixel well outside has
# the background.
. "$(dirname "$0")/common.sh"

"$HELPER" pattern ramp.tif 120 90 Float32 || fail "making the ramp"
# Image edge position (x, y) -> reference: X = 1000 + 8x + 3y, Y = 5000 + 2x - 9y.
{
  echo "id,used,img_x,img_y,ref_x,ref_y"
  id=0
  for x in 10 40 70 100; do
    for y in 10 45 80; do
      id=$((id + 1))
      echo "$id,1,$x,$y,$((1000 + 8 * x + 3 * y)),$((5000 + 2 * x - 9 * y))"
    done
  done
} > ramp.gcps.csv

check_output() {  # check_output LABEL FILE
  label=$1 file=$2
  info=$("$HELPER" info "$file") || { fail "$label: cannot read $file"; return; }
  set -- "$label" "$file" $info
  # The mapped image spans X 1000..2230 and Y 4190..5240; pixels of 5 units.
  [ "$3 $4 $5 $6" = "246 210 1 Float32" ] || fail "$1: shape '$3 $4 $5 $6', expected 246 210 1 Float32"
  check_close "$1 left" "$7" 1000 1e-6
  check_close "$1 top" "$8" 5240 1e-6
  inside=0 outside=0
  for row in 0 17 40 66 91 105 130 152 177 209; do
    for col in 0 23 61 98 123 150 187 220 245; do
      set -- $("$HELPER" probe "$file" $row $col)
      v=$1 X=$2 Y=$3
      # Back to image sample coordinates through the inverse of the mapping.
      where=$(awk -v X="$X" -v Y="$Y" 'BEGIN {
        dx = X - 1000; dy = Y - 5000
        x = (-9 * dx - 3 * dy) / -78; y = (8 * dy - 2 * dx) / -78
        c = x - 0.5; r = y - 0.5
        if (c >= 0 && c <= 119 && r >= 0 && r <= 89) printf "in %.9f", 100 + 3 * c + 2 * r
        else if (c < -1.5 || c > 120.5 || r < -1.5 || r > 90.5) print "out"
        else print "edge" }')
      case $where in
        in*) inside=$((inside + 1)); check_close "$label pixel ($row, $col)" "$v" "${where#in }" 1e-3 ;;
        out) outside=$((outside + 1)); check_close "$label background ($row, $col)" "$v" -1 0 ;;
      esac
    done
  done
  [ "$inside" -ge 20 ] && [ "$outside" -ge 10 ] || fail "$label: only $inside inside and $outside outside samples"
}

"$TIVRA" warp ramp.tif affine.tif --gcps ramp.gcps.csv --method affine --pixel-size 5 --background -1 > affine.txt ||
  fail "warp affine exited non-zero"
grep -Eq "^RMS residual: x 0\.0000 px, y 0\.0000 px" affine.txt || fail "affine: RMS line: $(grep RMS affine.txt)"
[ "$(grep -Ec '^ +[0-9]+ +yes +-?0\.0000 +-?0\.0000$' affine.txt)" -eq 12 ] || fail "affine: 12 zero residual lines expected"
check_output affine affine.tif

# A second-order fit with a 2 x 2 grid of cells must find the same mapping.
"$TIVRA" warp ramp.tif second.tif --gcps ramp.gcps.csv --method second --cells 2x2 --pixel-size 5 --background -1 \
  > second.txt || fail "warp second exited non-zero"
check_output second second.tif

# The bundled image with its own control points: the affine fit reproduces
# the file's geo-transform, so on the input's own grid nearest-neighbour
# resampling gives the input back.
"$TIVRA" warp "$DATA/landsat7_rgb_byte.tif" landsat.tif --gcps "$DATA/landsat7_rgb_byte.gcps.csv" --size 791x718 \
  --interp nearest > landsat.txt ||
  fail "warp landsat exited non-zero"
set -- $("$HELPER" info landsat.tif)
[ "$1 $2 $3 $4 $9" = "791 718 3 UInt8 32618" ] || fail "landsat: '$*'"
check_close "landsat left" "$5" 101985 0.01
check_close "landsat top" "$6" 2826915 0.01
for p in "360 400" "100 650" "600 120"; do
  a=$("$HELPER" probe "$DATA/landsat7_rgb_byte.tif" $p | cut -d' ' -f1-3)
  b=$("$HELPER" probe landsat.tif $p | cut -d' ' -f1-3)
  [ "$a" = "$b" ] || fail "landsat pixel ($p): '$b', original '$a'"
done

# The output carries its no-data value: the background given, else the
# input's own.
[ "$("$HELPER" nodata affine.tif)" = "-1" ] || fail "affine.tif no-data '$("$HELPER" nodata affine.tif)', expected -1"
gdal_translate -q -a_nodata 5 ramp.tif ramp_nd.tif || fail "gdal_translate -a_nodata"
"$TIVRA" warp ramp_nd.tif nd.tif --gcps ramp.gcps.csv --pixel-size 5 > nd.txt || fail "warp of ramp_nd.tif"
[ "$("$HELPER" nodata nd.tif)" = 5 ] || fail "nd.tif no-data '$("$HELPER" nodata nd.tif)', expected the input's 5"
grep -q "background 5 (the source no-data)" nd.txt || fail "nd: summary does not name the background"

# Any band count: 2 bands, and RGBA with its alpha band.
for layout in "2 Int16" "4 UInt8 PHOTOMETRIC=RGB ALPHA=YES"; do
  set -- $layout
  "$HELPER" pattern "b$1.tif" 60 40 "$2" "$1" ${3:-} ${4:-} || fail "making a $1-band raster"
  "$TIVRA" warp "b$1.tif" "w$1.tif" --gcps ramp.gcps.csv --pixel-size 5 > "b$1.txt" 2>&1 || fail "$1 bands: $(cat "b$1.txt")"
  set -- $("$HELPER" info "w$1.tif")
  [ "$3" = "${layout%% *}" ] || fail "w${layout%% *}.tif has $3 bands"
done

# Other input formats: the same ramp as an ERDAS Imagine file warps to the
# same samples.
gdal_translate -q -of HFA ramp.tif ramp.img || fail "gdal_translate -of HFA"
"$TIVRA" warp ramp.img hfa.tif --gcps ramp.gcps.csv --method affine --pixel-size 5 --background -1 > hfa.txt ||
  fail "warp of an HFA file"
set -- $("$HELPER" diff hfa.tif affine.tif)
[ "${1:-}" = 0 ] || fail "HFA input: $* samples differ"

# Reference systems: carried from the input, or assigned with --a-srs.
[ "$("$HELPER" info affine.tif | cut -d' ' -f9)" = 32611 ] || fail "affine.tif lost the input's EPSG:32611"
"$TIVRA" warp ramp.tif srs.tif --gcps ramp.gcps.csv --pixel-size 5 --a-srs EPSG:32610 > srs.txt || fail "--a-srs"
[ "$("$HELPER" info srs.tif | cut -d' ' -f9)" = 32610 ] || fail "--a-srs EPSG:32610 not written"
grep -q "EPSG:32610" srs.txt || fail "--a-srs: the summary does not name EPSG:32610"

# Creation options and an explicit format.
"$TIVRA" warp ramp.tif deflate.tif --gcps ramp.gcps.csv --pixel-size 5 --co COMPRESS=DEFLATE --co TILED=YES > /dev/null ||
  fail "--co COMPRESS=DEFLATE"
gdalinfo deflate.tif | grep -q "COMPRESSION=DEFLATE" || fail "deflate.tif is not compressed"
"$TIVRA" warp ramp.tif cog.tif --gcps ramp.gcps.csv --pixel-size 5 --of COG > /dev/null || fail "--of COG"
gdalinfo cog.tif | grep -q "LAYOUT=COG" || fail "cog.tif is not a cloud-optimised GeoTIFF"
[ -z "$(ls -A | grep -v '^ramp' | grep -e '\.tmp' -e '\.aux\.xml')" ] || fail "temporary or side files left: $(ls -A | grep -e '\.tmp' -e '\.aux')"
finish
