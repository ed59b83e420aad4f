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
finish
