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
# --partial and --merge: the sums of windows covering the raster merge into
# the whole raster's figures; for integer samples exactly, no-data left out
# in every window (the DEM's hole falls into two of them).
"$HELPER" dem dem.tif || fail "making the DEM"
"$TIVRA" stats dem.tif > dem.txt || fail "dem: stats"
n=0
for win in 0,0,33,20 33,0,27,20 0,20,60,30; do
  n=$((n + 1))
  "$TIVRA" stats dem.tif --partial --window "$win" > "dem$n.part" || fail "dem: --partial --window $win"
done
"$TIVRA" stats --merge dem1.part dem2.part dem3.part > merged.txt || fail "dem: --merge"
grep -q "^merged 3 partial file(s), 1 band(s) Int16$" merged.txt || fail "merge header: $(head -1 merged.txt)"
for key in count minimum maximum mean "std dev"; do
  want=$(grep "^  $key " dem.txt) got=$(grep "^  $key " merged.txt)
  [ -n "$want" ] && [ "$got" = "$want" ] || fail "merged '$got', whole '$want'"
done
grep -q "^  count    2964$" merged.txt || fail "merged count leaves the 36 no-data samples out: $(grep count merged.txt)"
# One window alone, or the whole raster without --window, is a partial too.
"$TIVRA" stats dem.tif --partial > whole.part && "$TIVRA" stats --merge whole.part --json > whole.json ||
  fail "whole-raster partial"
grep -q '"count": 2964, "minimum": 500, "maximum": 608' whole.json || fail "whole partial: $(cat whole.json)"
# Refusals: a window off the raster (exit 1), a window without --partial and
# --merge with an input (exit 2), a file that is not a partial, and partials
# of different band layouts (exit 1, naming the file).
"$TIVRA" stats dem.tif --partial --window 50,0,20,20 > out.txt 2> err.txt
[ $? = 1 ] && grep -q "is not inside the 60 x 50 raster" err.txt || fail "window off the raster: $(cat err.txt)"
"$TIVRA" stats dem.tif --window 0,0,10,10 > out.txt 2> err.txt; [ $? = 2 ] || fail "--window without --partial accepted"
"$TIVRA" stats dem.tif --merge dem1.part > out.txt 2> err.txt; [ $? = 2 ] || fail "--merge with an input accepted"
"$TIVRA" stats --merge dem.txt > out.txt 2> err.txt
[ $? = 1 ] && grep -q "dem.txt:1: not the partial sums" err.txt || fail "merging a report: $(cat err.txt)"
"$TIVRA" stats "$DATA/landsat7_rgb_byte.tif" --partial --window 0,0,10,10 > rgb.part || fail "rgb partial"
"$TIVRA" stats --merge dem1.part rgb.part > out.txt 2> err.txt
[ $? = 1 ] && grep -q "rgb.part.*3 band(s) of UInt8, the first file 1 of Int16" err.txt || fail "mixed partials: $(cat err.txt)"
sed 's/^band 1 [0-9]*/band 1 x/' dem1.part > bad.part
"$TIVRA" stats --merge bad.part > out.txt 2> err.txt
[ $? = 1 ] && grep -q "bad.part:4: expected band" err.txt || fail "malformed partial: $(cat err.txt)"
finish
