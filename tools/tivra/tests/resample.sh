# Resampling rules of warp: integer outputs rounded to nearest (--truncate
# for the old store rule), cubic as the separable cubic convolution against
# its formula and radial as the other kernel, source no-data and NaN kept out
# of every interpolated value; and stats leaving NaN out.
. "$(dirname "$0")/common.sh"
img="$DATA/landsat7_rgb_byte.tif" gcps="$DATA/landsat7_rgb_byte.gcps.csv"

# stat FILE FIELD: a figure of band 1 from tivra stats.
stat() { "$TIVRA" stats "$1" | awk -v f="$2" '$1 == f { print $2; exit }'; }

# 1. Landsat onto its own grid: every sample comes back, bilinear and cubic;
# truncating changes many by one.
for interp in bilinear cubic; do
  "$TIVRA" warp "$img" own.tif --gcps "$gcps" --size 791x718 --interp $interp > own.txt || fail "own grid $interp"
  grep -q "integer samples rounded to nearest" own.txt || fail "own grid $interp: rounding not reported"
  set -- $("$HELPER" diff "$img" own.tif)
  [ "${1:-}" = 0 ] || fail "own grid $interp: $1 of $2 samples changed (largest $3)"
done
"$TIVRA" warp "$img" trunc.tif --gcps "$gcps" --size 791x718 --interp cubic --truncate > trunc.txt || fail "--truncate"
grep -q "integer samples truncated toward zero" trunc.txt || fail "--truncate not reported"
set -- $("$HELPER" diff "$img" trunc.tif)
[ "${1:-0}" -gt 100000 ] || fail "--truncate changed only ${1:-0} samples"

# 2. A constant 100 under a rotation stays 100 with every kernel; the radial
# kernel's values fall just below 100 in places, so truncating them gives 99.
gdal_create -q -of GTiff -outsize 200 200 -bands 1 -ot Byte -burn 100 -a_srs EPSG:32611 -a_ullr 0 0 200 -200 flat.tif ||
  fail "gdal_create"
awk 'BEGIN { print "id,used,img_x,img_y,ref_x,ref_y"; a = 0.3; c = cos(a); s = sin(a)
  for (i = 0; i < 9; ++i) { x = (i % 3) * 100; y = int(i / 3) * 100
    printf "%d,1,%s,%s,%.17g,%.17g\n", i + 1, x, y, c * x + s * y, -(-s * x + c * y) } }' > rot.csv
for interp in bilinear cubic radial; do
  "$TIVRA" warp flat.tif flatr.tif --gcps rot.csv --interp $interp --background 0 > /dev/null || fail "flat $interp"
  [ "$(stat flatr.tif minimum) $(stat flatr.tif maximum)" = "100 100" ] ||
    fail "constant 100 under $interp: $(stat flatr.tif minimum) .. $(stat flatr.tif maximum)"
done
"$TIVRA" warp flat.tif flatt.tif --gcps rot.csv --interp radial --background 0 --truncate > /dev/null
[ "$(stat flatt.tif minimum)" = 99 ] || fail "truncated constant: minimum $(stat flatt.tif minimum), expected 99"

# 3. A single bright pixel, sampled half a pixel off: the separable cubic
# gives 100 W(dx) W(dy) with W the a = -0.5 convolution kernel, computed here
# from its formula; radial gives other values.
"$HELPER" spike spike.tif 9 100 || fail "making the spike"
echo "id,used,img_x,img_y,ref_x,ref_y
1,1,0,0,0,0
2,1,9,0,9,0
3,1,0,9,0,-9
4,1,9,9,9,-9" > id.csv
"$TIVRA" warp spike.tif sep.tif --gcps id.csv --extent 0.5,-8.5,8.5,-0.5 --size 8x8 --interp cubic > /dev/null ||
  fail "separable cubic warp"
"$TIVRA" warp spike.tif rad.tif --gcps id.csv --extent 0.5,-8.5,8.5,-0.5 --size 8x8 --interp radial > /dev/null ||
  fail "radial warp"
for r in 0 1 2 3 4 5 6 7; do
  for c in 0 1 2 3 4 5 6 7; do
    expected=$(awk -v c=$c -v r=$r 'function W(x) { a = -0.5; if (x < 0) x = -x
        if (x <= 1) return (a + 2) * x * x * x - (a + 3) * x * x + 1
        if (x < 2) return a * x * x * x - 5 * a * x * x + 8 * a * x - 4 * a
        return 0 }
      BEGIN { printf "%.9f", 100 * W(4 - (c + 0.5)) * W(4 - (r + 0.5)) }')
    check_close "separable cubic ($r, $c)" "$("$HELPER" probe sep.tif $r $c | cut -d' ' -f1)" "$expected" 1e-4
  done
done
d=$(awk -v a="$("$HELPER" probe rad.tif 3 3 | cut -d' ' -f1)" 'BEGIN { d = a - 31.640625; print ((d < 0 ? -d : d) > 1e-3) }')
[ "$d" = 1 ] || fail "radial equals the separable cubic at (3, 3)"

# 4. An Int16 elevation model with a -9999 hole: bilinear and cubic off the
# sample grid never blend the hole into valid values, and the hole stays
# no-data in the output.
"$HELPER" dem dem.tif || fail "making the DEM"
echo "id,used,img_x,img_y,ref_x,ref_y
1,1,0,0,0,0
2,1,60,0,60,0
3,1,0,50,0,-50
4,1,60,50,60,-50" > dem.csv
for interp in bilinear cubic radial; do
  "$TIVRA" warp dem.tif demw.tif --gcps dem.csv --extent 0.3,-49.7,59.3,-0.7 --size 59x49 --interp $interp > /dev/null ||
    fail "DEM $interp"
  [ "$("$HELPER" nodata demw.tif)" = -9999 ] || fail "DEM $interp: output no-data '$("$HELPER" nodata demw.tif)'"
  min=$(stat demw.tif minimum) count=$(stat demw.tif count)
  [ "${min:-0}" -ge 500 ] || fail "DEM $interp: minimum $min, the hole was blended in"
  [ "${count:-0}" -lt $((59 * 49)) ] && [ "${count:-0}" -gt $((59 * 49 - 64)) ] || fail "DEM $interp: $count valid pixels"
done
# --srcnodata names a value the file does not: 500 + c + r = 560 is a
# diagonal of no-data then, and the hole's -9999 blends in again.
"$TIVRA" warp dem.tif demw.tif --gcps dem.csv --extent 0.3,-49.7,59.3,-0.7 --size 59x49 --srcnodata 560 > /dev/null
[ "$("$HELPER" nodata demw.tif)" = 560 ] || fail "--srcnodata 560 is not the output no-data"

# 5. NaN samples of a floating raster never spread.
"$HELPER" spike nan.tif 9 nan || fail "making the NaN spike"
"$TIVRA" warp nan.tif nanw.tif --gcps id.csv --extent 0.5,-8.5,8.5,-0.5 --size 8x8 --interp cubic --background -1 \
  > /dev/null || fail "NaN warp"
[ "$(stat nanw.tif count) $(stat nanw.tif maximum)" = "64 0" ] || fail "NaN spread: count $(stat nanw.tif count), max $(stat nanw.tif maximum)"

# 6. stats leave NaN out, with or without --nodata nan, and compare a Float32
# no-data in float precision.
[ "$(stat nan.tif count) $(stat nan.tif mean)" = "80 0" ] || fail "stats with a NaN: count $(stat nan.tif count), mean $(stat nan.tif mean)"
"$TIVRA" stats nan.tif --nodata nan > nn.txt || fail "--nodata nan refused"
grep -q "^  count    80$" nn.txt || fail "--nodata nan: $(grep count nn.txt)"
gdal_create -q -of GTiff -outsize 3 2 -bands 1 -ot Float32 -burn 0.1 tenth.tif || fail "gdal_create"
"$TIVRA" stats tenth.tif --nodata 0.1 | grep -q "count    0 (no valid samples)" || fail "Float32 0.1 not excluded by --nodata 0.1"
finish
