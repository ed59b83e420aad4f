# stats: the program's figures agree with the library's GetStatistics, on
# each bundled raster, and with the independently known extremes of the DEMs.
. "$(dirname "$0")/common.sh"

for f in srtm30m_tujunga_int16.tif dem10m_bigsur_float32.tif landsat7_rgb_byte.tif; do
  "$TIVRA" stats "$DATA/$f" --histogram > "$f.txt" || { fail "$f: stats exited non-zero"; continue; }
  "$HELPER" libstats "$DATA/$f" > "$f.lib" || { fail "$f: libstats"; continue; }
  while read -r _ band _ count _ min _ max _ mean _ std; do
    got=$(awk -v b="band $band" '$0 == b { on = 1; next } /^band / { on = 0 }
      on && $1 == "count" { c = $2 } on && $1 == "minimum" { mn = $2 } on && $1 == "maximum" { mx = $2 }
      on && $1 == "mean" { m = $2 } on && $1 == "std" { s = $3 }
      END { print c, mn, mx, m, s }' "$f.txt")
    # Both print full precision, so the same double reads back from each.
    echo "$got" | awk -v w="$count $min $max $mean $std" '{ split(w, e, " "); for (i = 1; i <= 5; ++i) if ($i + 0 != e[i] + 0) exit 1 }' ||
      fail "$f band $band: tivra '$got', library '$count $min $max $mean $std'"
  done < "$f.lib"
  [ "$(grep -c '|' "$f.txt")" -ge 16 ] || fail "$f: no histogram"
done
grep -q "minimum  555$" srtm30m_tujunga_int16.tif.txt && grep -q "maximum  2014$" srtm30m_tujunga_int16.tif.txt ||
  fail "tujunga extremes are not 555 and 2014"
grep -q "count    262144$" srtm30m_tujunga_int16.tif.txt || fail "tujunga count is not 512 x 512"
# The Landsat file marks 0 as no-data: about two thirds of the pixels count.
grep -q "^no-data 0$" landsat7_rgb_byte.tif.txt || fail "landsat no-data not taken from the file"
[ "$(awk '$1 == "count" { print $2; exit }' landsat7_rgb_byte.tif.txt)" -lt 400000 ] || fail "landsat no-data pixels counted"
"$TIVRA" stats "$DATA/landsat7_rgb_byte.tif" --nodata -1 > all.txt
[ "$(awk '$1 == "count" { print $2; exit }' all.txt)" = 567938 ] || fail "landsat with --nodata -1 should count all pixels"

# Uncompressed YCbCr with chroma subsampling (tests/data/README.md): the
# strip file reads as grey levels 100..130 in each band; the tiled one reads
# or fails with a reason, never a crash.
"$TIVRA" stats "$TESTDATA/ycbcr_subsampled_strip.tif" > ycbcr.txt || fail "YCbCr strip: exit $?"
[ "$(grep -c '^  minimum  100$' ycbcr.txt) $(grep -c '^  maximum  130$' ycbcr.txt)" = "3 3" ] ||
  fail "YCbCr strip: $(cat ycbcr.txt)"
"$TIVRA" stats "$TESTDATA/ycbcr_subsampled_tiled.tif" > ycbcr.txt 2> err.txt
rc=$?
[ $rc -eq 0 ] || { [ $rc -eq 1 ] && grep -Eq "^tivra: .+: .*[a-z]{3}" err.txt; } || fail "YCbCr tiled: exit $rc, '$(cat err.txt)'"

# Full precision: a Float32 sample of 0.1 is 0.100000001490116..., and the
# text shows every digit needed to read that double back.
gdal_create -q -of GTiff -outsize 3 2 -bands 1 -ot Float32 -burn 0.1 tenth.tif || fail "gdal_create"
"$TIVRA" stats tenth.tif --nodata -1 > tenth.txt || fail "stats of 0.1"
grep -q "^  mean     0.10000000149011612$" tenth.txt || fail "0.1 as Float32: $(grep mean tenth.txt)"
finish
