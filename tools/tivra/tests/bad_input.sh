# Bad input: each case exits non-zero, says what is wrong in one line on
# standard error and leaves no output file (nor a temporary) behind.
. "$(dirname "$0")/common.sh"
img="$DATA/landsat7_rgb_byte.tif" gcps="$DATA/landsat7_rgb_byte.gcps.csv"

# expect_failure MESSAGE-PATTERN OUTPUT -- COMMAND...
expect_failure() {
  pattern=$1 output=$2
  shift 3
  "$TIVRA" "$@" > out.txt 2> err.txt && fail "'$*' succeeded"
  grep -Eq "$pattern" err.txt || fail "'$*': message '$(cat err.txt)' does not match '$pattern'"
  [ -e "$output" ] && fail "'$*' left $output"
  [ -n "$(ls -A | grep '\.tmp')" ] && fail "'$*' left a temporary file"
  rm -f out.txt err.txt
}

echo "not a raster" > text.tif
printf 'id,used,img_x,img_y,ref_x,ref_y\n1,1,10,10,0,0\n2,1,20,10,1,0\n\n4,1,x5,20,0,1\n' > broken.csv
head -5 "$gcps" > four.csv
sed '1s/.*/id,used,col,row,ref_x,ref_y/' "$gcps" > header.csv

expect_failure "cannot open nothing.tif: No such file" out.tif -- warp nothing.tif out.tif --gcps "$gcps"
expect_failure "cannot open nothing.tif: No such file" -- -- stats nothing.tif
expect_failure "cannot open text.tif: .*not recognized" out.png -- colorize text.tif out.png
expect_failure "out.nonesuch: unsupported output format .*--of" out.nonesuch -- warp "$img" out.nonesuch --gcps "$gcps"
expect_failure "unknown output format 'Nonesuch'" out.tif -- warp "$img" out.tif --gcps "$gcps" --of Nonesuch
expect_failure "broken.csv line 5: img_x 'x5' is not a number" out.tif -- warp "$img" out.tif --gcps broken.csv
expect_failure "header.csv line 1: expected the header" out.tif -- warp "$img" out.tif --gcps header.csv
expect_failure "method second needs at least 6 used control points, found 4" out.tif -- \
  warp "$img" out.tif --gcps four.csv --method second
expect_failure "method third needs at least 10 used control points, found 4" out.tif -- \
  warp "$img" out.tif --gcps four.csv --method third
expect_failure "unknown palette 'sunset'" out.png -- colorize "$DATA/srtm30m_tujunga_int16.tif" out.png --palette sunset
expect_failure "unknown palette '69'" out.png -- colorize "$DATA/srtm30m_tujunga_int16.tif" out.png --palette 69
expect_failure "colorize takes a single-band raster" out.png -- colorize "$img" out.png
expect_failure "out.png: the PNG format cannot hold Float32 samples" out.png -- \
  warp "$DATA/dem10m_bigsur_float32.tif" out.png --gcps "$gcps" --size 100x100
expect_failure "unknown method 'fourth'" out.tif -- warp "$img" out.tif --gcps "$gcps" --method fourth
expect_failure "LAT1 'north' is not a number" -- -- geodesic inverse north 0 1 1

# A failure while writing (the output's folder does not exist) leaves nothing.
expect_failure "cannot create missing/out.tif" missing/out.tif -- warp "$img" missing/out.tif --gcps "$gcps"
# An existing output survives a failed run untouched.
echo keep > kept.png
expect_failure "unknown palette" /nonexistent -- colorize "$DATA/srtm30m_tujunga_int16.tif" kept.png --palette sunset
[ "$(cat kept.png)" = keep ] || fail "a failed run changed an existing output"

# Headers are not trusted: a size the file cannot hold is refused when the
# file is opened, before any sample is read or allocated.
for f in png_claims_30000.png jpeg_claims_12049x32265.jpg; do
  "$TIVRA" stats "$TESTDATA/$f" > out.txt 2> err.txt && fail "$f accepted"
  grep -q "the header claims .* samples, more than a .* file of [0-9]* bytes can hold" err.txt || fail "$f: '$(cat err.txt)'"
done
# A truncated JPEG is an error with a reason.
gdal_translate -q -of JPEG "$img" whole.jpg || fail "gdal_translate -of JPEG"
head -c 20000 whole.jpg > cut.jpg
"$TIVRA" stats cut.jpg > out.txt 2> err.txt && fail "a truncated JPEG was read without error"
grep -Eq "^tivra: .*cut\.jpg.*: .*[a-z]{3}" err.txt || fail "truncated JPEG: '$(cat err.txt)'"
rm -f whole.jpg* cut.jpg*

# A huge bad field is quoted shortly; a tiny number that underflows is a number.
{ echo "id,used,img_x,img_y,ref_x,ref_y"; printf '1,1,'; head -c 1000000 /dev/zero | tr '\0' x; echo ",1,2,3"; } > huge.csv
"$TIVRA" warp "$img" out.tif --gcps huge.csv > out.txt 2> err.txt && fail "huge field accepted"
[ "$(wc -c < err.txt)" -lt 300 ] || fail "a 1 MB field is echoed: $(wc -c < err.txt) bytes of message"
sed '2s/^\([^,]*,[^,]*,[^,]*,[^,]*,[^,]*\),[^,]*/\1,1e-310/' "$gcps" > tiny.csv
"$TIVRA" warp "$img" tiny.tif --gcps tiny.csv --method second > out.txt 2> err.txt
grep -q "not a number" err.txt && fail "ref_y 1e-310 refused: $(cat err.txt)"
rm -f tiny.tif huge.csv tiny.csv

# raw NAME ENVI-TYPE STRUCT-FORMAT COLS ROWS VALUES...: a one-band raster of
# the given samples as ENVI raw data and its header.
raw() {
  name=$1 type=$2 fmt=$3 cols=$4 rows=$5
  shift 5
  /usr/bin/python3 -c 'import struct, sys; f = sys.argv[1]; v = sys.argv[2:]
sys.stdout.buffer.write(struct.pack("<" + f * len(v), *[float(x) if f == "d" else int(x) for x in v]))' "$fmt" "$@" > "$name"
  printf 'ENVI\nsamples = %s\nlines = %s\nbands = 1\nheader offset = 0\nfile type = ENVI Standard\ndata type = %s\ninterleave = bsq\nbyte order = 0\n' \
    "$cols" "$rows" "$type" > "${name%.*}.hdr"
}
# value NAME: the number after NAME in the output of tivra stats.
value() { awk -v k="$1" '$1 == k { print $2; exit }' out.txt; }

# Windows whose ends overflow an int, and sizes beyond the output limits,
# are usage errors; a fit file's grid beyond those limits, its NaN or zero
# pixel size or unknown method code are refused.
for cmd in "stats $img --partial" "warp $img out.tif --gcps $gcps"; do
  $TIVRA $cmd --window 2147483647,0,1,1 > out.txt 2> err.txt
  [ $? -eq 2 ] && grep -q "offset + size at most 2147483647" err.txt || fail "$cmd --window 2147483647,0,1,1: $(cat err.txt)"
done
"$TIVRA" warp "$img" out.tif --gcps "$gcps" --size 2147483647x2147483647 > out.txt 2> err.txt
[ $? -eq 2 ] && grep -q "size 2147483647x2147483647 is beyond the output limits" err.txt || fail "--size: $(cat err.txt)"
"$TIVRA" warp "$img" --gcps "$gcps" --save-fit fit.txt > out.txt 2>&1 || fail "--save-fit: $(cat out.txt)"
sed 's/^grid [0-9]* [0-9]*/grid 2147483647 2147483647/' fit.txt > huge.fit
expect_failure "huge.fit:7: a grid of 2147483647 x 2147483647 pixels is outside" out.tif -- warp "$img" out.tif --load-fit huge.fit
awk '$1 == "grid" { $6 = "nan" } 1' fit.txt > nan.fit
expect_failure "nan.fit:7: malformed 'grid' line" out.tif -- warp "$img" out.tif --load-fit nan.fit
awk '$1 == "grid" { $7 = "0" } 1' fit.txt > zero.fit
expect_failure "zero.fit:7: the pixel size must be positive" out.tif -- warp "$img" out.tif --load-fit zero.fit
awk '$1 == "global" { $2 = "77" } 1' fit.txt > code.fit
expect_failure "code.fit:8: malformed 'global' line" out.tif -- warp "$img" out.tif --load-fit code.fit

# Partial sums no samples can have.
"$TIVRA" stats "$img" --partial > good.part || fail "--partial"
awk '$1 == "band" && $2 == 2 { $7 = -$7 } 1' good.part > sq.part
expect_failure "sq.part:5: the sum of squares -[0-9.e+]* is negative" -- -- stats --merge good.part sq.part
awk '$1 == "band" && $2 == 1 { t = $4; $4 = $5; $5 = t } 1' good.part > minmax.part
expect_failure "minmax.part:4: the minimum [0-9]* is above the maximum" -- -- stats --merge minmax.part
awk '$1 == "band" && $2 == 3 { $6 = "1e30" } 1' good.part > mean.part
expect_failure "mean.part:6: the mean [0-9.e+]* of the sums lies outside" -- -- stats --merge mean.part

# A background the output type cannot hold would tag a value no sample has.
expect_failure "background 300: UInt8 samples cannot hold that value" out.tif -- \
  warp "$img" out.tif --gcps "$gcps" --background 300
expect_failure "background 2.5: UInt8 samples" out.tif -- warp "$img" out.tif --gcps "$gcps" --background 2.5

# Every band is held at once: a sparse file claiming 64 GB is refused
# before anything is read.
gdal_create -q -of GTiff -outsize 40000 40000 -bands 40 -ot Byte -co SPARSE_OK=YES -co BLOCKYSIZE=4000 big.tif ||
  fail "gdal_create"
expect_failure "40 band\(s\) of 40000 x 40000 UInt8 samples take 64 GB, more than the" -- -- stats big.tif
rm -f big.tif

# 64-bit integers are read as Float64, with a note; signed bytes as signed.
raw i64.raw 5 q 2 2 -5 7 9007199254740993 0
printf '%s\n' '<VRTDataset rasterXSize="2" rasterYSize="2"><VRTRasterBand dataType="Int64" band="1"' \
  'subClass="VRTRawRasterBand"><SourceFilename relativeToVRT="1">i64.raw</SourceFilename><ImageOffset>0</ImageOffset>' \
  '<PixelOffset>8</PixelOffset><LineOffset>16</LineOffset><ByteOrder>LSB</ByteOrder></VRTRasterBand></VRTDataset>' > i64.vrt
"$TIVRA" stats i64.vrt > out.txt 2> err.txt || fail "Int64 raster: $(cat err.txt)"
grep -q "note: i64.vrt holds Int64 samples, read as Float64" err.txt || fail "no note on Int64: $(cat err.txt)"
[ "$(value count)" = 4 ] && [ "$(value minimum)" = -5 ] && [ "$(value maximum)" = 9007199254740992 ] ||
  fail "Int64 statistics: $(cat out.txt)"
raw u8.img 1 B 3 1 200 255 1
gdal_translate -q -co PIXELTYPE=SIGNEDBYTE u8.img s8.tif || fail "gdal_translate SIGNEDBYTE"
"$TIVRA" stats s8.tif > out.txt 2> err.txt || fail "signed bytes: $(cat err.txt)"
[ "$(value minimum)" = -56 ] && [ "$(value maximum)" = 1 ] || fail "signed bytes read unsigned: $(cat out.txt)"

# Infinite samples are reported as such; a constant raster deviates by 0;
# no histogram over a range whose width overflows.
raw inf.img 5 d 3 1 1 inf -inf
"$TIVRA" stats inf.img > out.txt 2> err.txt || fail "infinite samples: $(cat err.txt)"
[ "$(value minimum)" = -inf ] && [ "$(value maximum)" = inf ] || fail "infinities: $(cat out.txt)"
raw const.img 5 d 7 3 $(printf '0.1 %.0s' $(seq 21))
"$TIVRA" stats const.img > out.txt 2> err.txt && [ "$(awk '$1 == "std" { print $3 }' out.txt)" = 0 ] ||
  fail "constant raster: $(cat out.txt err.txt)"
raw wide.img 5 d 3 1 -1.7e308 1.6e308 0
expect_failure "wide.img band 1: no histogram over -1.7e\+308 .. 1.6e\+308" -- -- stats wide.img --histogram

# colorize keeps a rotated geo-transform and the reference system.
printf '%s\n' '<VRTDataset rasterXSize="3" rasterYSize="1"><SRS>EPSG:32611</SRS>' \
  '<GeoTransform>1000, 0.8, 0.6, 2000, 0.6, -0.8</GeoTransform><VRTRasterBand dataType="Float64" band="1">' \
  '<SimpleSource><SourceFilename relativeToVRT="1">inf.img</SourceFilename><SourceBand>1</SourceBand>' \
  '</SimpleSource></VRTRasterBand></VRTDataset>' > rot.vrt
"$TIVRA" colorize rot.vrt rot.tif --stretch 0,1 > out.txt 2> err.txt || fail "colorize rotated: $(cat err.txt)"
gdalinfo rot.tif > info.txt 2>&1
grep -q "1000, 0.8, 0.6" info.txt && grep -q 'ID\["EPSG",32611\]\]$' info.txt || fail "rotation or CRS lost: $(cat info.txt)"

# Causes named: a byte-order mark before the header is no part of it; a
# name too long for its temporary says so.
printf '\357\273\277' > bom.csv && cat "$gcps" >> bom.csv
"$TIVRA" warp "$img" bom.tif --gcps bom.csv > out.txt 2> err.txt || fail "UTF-8 BOM refused: $(cat err.txt)"
long=$(printf 'x%.0s' $(seq 246)).tif
expect_failure "the name is too long: the temporary written beside it .* characters, more than the 255" "$long" -- \
  warp "$img" "$long" --gcps "$gcps"

# Huge longitudes are reduced exactly: 3.6e15 degrees is the meridian 0.
[ "$("$TIVRA" geodesic inverse 10 3.6e15 20 30)" = "$("$TIVRA" geodesic inverse 10 0 20 30)" ] ||
  fail "geodesic at longitude 3.6e15 differs from 0"
r=$(/usr/bin/python3 -c 'import math; print(repr(math.remainder(1e20, 360)))')
[ "$(echo "5 1e20 6 7" | "$TIVRA" geodesic inverse -)" = "$(echo "5 $r 6 7" | "$TIVRA" geodesic inverse -)" ] ||
  fail "geodesic at longitude 1e20 differs from $r"
finish
