# colorize: palettes by name and by index, and stretches whose results are
# known: every sample above the range takes entry 0, below it entry 255.
. "$(dirname "$0")/common.sh"
dem="$DATA/srtm30m_tujunga_int16.tif"

"$TIVRA" colorize "$dem" byname.png --palette elevation > byname.txt || fail "by name exited non-zero"
"$TIVRA" colorize "$dem" byindex.png --palette 53 > byindex.txt || fail "by index exited non-zero"
cmp -s byname.png byindex.png || fail "palette 53 and 'elevation' differ"
set -- $("$HELPER" info byname.png)
[ "$1 $2 $3 $4" = "512 512 3 UInt8" ] || fail "shape '$1 $2 $3 $4'"
grep -q "stretch" byname.txt || fail "no stretch reported"

"$TIVRA" colorize "$dem" low.png --palette Grey --stretch 5000,6000 || fail "stretch above the data"
"$TIVRA" colorize "$dem" high.png --palette grey --stretch -100,0 || fail "stretch below the data"
for p in "0 0" "100 300" "511 511"; do
  set -- $("$HELPER" probe low.png $p)
  [ "$1 $2 $3" = "0 0 0" ] || fail "low.png ($p): '$1 $2 $3'"
  set -- $("$HELPER" probe high.png $p)
  [ "$1 $2 $3" = "255 255 255" ] || fail "high.png ($p): '$1 $2 $3'"
done
# A GeoTIFF output keeps the DEM's geo-reference.
"$TIVRA" colorize "$dem" geo.tif --palette Nature || fail "GeoTIFF output"
set -- $("$HELPER" info geo.tif)
[ "$5 $6 $9" = "386573.655454 3805967.827628 32611" ] || fail "geo.tif geo-reference '$5 $6 $9'"
# --nodata 0.1 on a Float32 band means the float nearest 0.1 the samples
# hold: those pixels are no-data (black), not a dark grey on a 0..1 stretch.
gdal_create -q -of GTiff -outsize 4 3 -bands 1 -ot Float32 -burn 0.1 tenth.tif || fail "gdal_create"
"$TIVRA" colorize tenth.tif tenth.png --palette Grey --stretch 0,1 --nodata 0.1 > /dev/null || fail "colorize of 0.1"
set -- $("$HELPER" probe tenth.png 1 2)
[ "$1 $2 $3" = "0 0 0" ] || fail "Float32 no-data 0.1 coloured '$1 $2 $3'"
finish
