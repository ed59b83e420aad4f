# warp --window: four windows of the output grid, each written to a file of
# its own and mosaicked by GDAL, equal the whole-image warp sample for
# sample, for several mappings, interpolations and sample types; each window
# reads only the part of the source it needs.
. "$(dirname "$0")/common.sh"
img="$DATA/landsat7_rgb_byte.tif" gcps="$DATA/landsat7_rgb_byte.gcps.csv"

"$HELPER" pattern ramp.tif 240 180 Float32 2 || fail "making the ramp"
{
  echo "id,used,img_x,img_y,ref_x,ref_y"
  id=0
  for x in 10 80 150 230; do
    for y in 10 90 170; do
      id=$((id + 1))
      echo "$id,1,$x,$y,$((1000 + 8 * x + 3 * y + x * y / 40)),$((5000 + 2 * x - 9 * y))"
    done
  done
} > ramp.gcps.csv

# mosaic_check LABEL IN GCPS OPTIONS...
mosaic_check() {
  label=$1 in=$2 points=$3
  shift 3
  fitopts="$*"
  "$TIVRA" warp "$in" whole.tif --gcps "$points" "$@" > whole.txt || { fail "$label: whole warp"; return; }
  set -- $(sed -n 's/^output \([0-9]*\) x \([0-9]*\) pixels.*/\1 \2/p' whole.txt) "$@"
  w=$1 h=$2
  shift 2
  # Uneven quarters, so that window edges fall at odd positions.
  cx=$((w * 3 / 7)) cy=$((h * 4 / 9))
  n=0 smaller=0
  for win in "0,0,$cx,$cy" "$cx,0,$((w - cx)),$cy" "0,$cy,$cx,$((h - cy))" "$cx,$cy,$((w - cx)),$((h - cy))"; do
    n=$((n + 1))
    "$TIVRA" warp "$in" "part$n.tif" --gcps "$points" "$@" --window "$win" > "part$n.txt" ||
      { fail "$label: window $win"; return; }
    grep -q "reading source window" "part$n.txt" || fail "$label: window $win: no source window line"
  done
  # Each quarter reads less than the whole source.
  for n in 1 2 3 4; do
    s=$(sed -n 's/.*reading source window \([0-9]*\),\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\3 \4/p' "part$n.txt")
    set -- $s $("$HELPER" info "$in")
    [ "$(($1 * $2))" -lt "$(($3 * $4))" ] || fail "$label: window $n reads $1 x $2 of a $3 x $4 source"
  done
  rm -f mosaic.vrt
  gdalbuildvrt -q mosaic.vrt part1.tif part2.tif part3.tif part4.tif || { fail "$label: gdalbuildvrt"; return; }
  set -- $("$HELPER" diff whole.tif mosaic.vrt)
  [ "$1" = 0 ] && [ "$2" -gt 0 ] || fail "$label: mosaic differs from the whole image: $*"
  # The same windows from one saved fit: --save-fit alone writes the fit
  # and the grid, and --load-fit windows need neither the points nor the
  # options that made them.
  rm -f fit.txt fit*.tif
  "$TIVRA" warp "$in" --gcps "$points" $fitopts --save-fit fit.txt > fit.out || { fail "$label: --save-fit"; return; }
  [ -e fit.txt ] && ! ls .fit* > /dev/null 2>&1 || fail "$label: fit file missing or temporary left"
  n=0
  for win in "0,0,$cx,$cy" "$cx,0,$((w - cx)),$cy" "0,$cy,$cx,$((h - cy))" "$cx,$cy,$((w - cx)),$((h - cy))"; do
    n=$((n + 1))
    "$TIVRA" warp "$in" "fit$n.tif" --load-fit fit.txt --window "$win" > "fit$n.txt" ||
      { fail "$label: --load-fit window $win"; return; }
    grep -q "^fit loaded from fit.txt" "fit$n.txt" || fail "$label: no fit line"
  done
  rm -f fitmosaic.vrt
  gdalbuildvrt -q fitmosaic.vrt fit1.tif fit2.tif fit3.tif fit4.tif || { fail "$label: gdalbuildvrt of fit windows"; return; }
  set -- $("$HELPER" diff whole.tif fitmosaic.vrt)
  [ "$1" = 0 ] && [ "$2" -gt 0 ] || fail "$label: windows of the loaded fit differ from the whole image: $*"
}

mosaic_check "landsat second cubic" "$img" "$gcps" --method second --interp cubic
mosaic_check "landsat affine nearest" "$img" "$gcps" --method affine --interp nearest --pixel-size 45
mosaic_check "ramp projective bilinear" ramp.tif ramp.gcps.csv --method projective --pixel-size 7
mosaic_check "ramp third cubic cells" ramp.tif ramp.gcps.csv --method pseudoaffine --cells 2x2 --interp cubic

# A window outside the grid is a run-time error naming the grid's size.
"$TIVRA" warp "$img" bad.tif --gcps "$gcps" --window 0,0,99999,10 > out.txt 2> err.txt && fail "window outside the grid accepted"
grep -q "is not inside the output grid of" err.txt || fail "window outside: '$(cat err.txt)'"
[ -e bad.tif ] && fail "window outside: output written"
# --load-fit refusals: with the points or an option the fit fixes (exit 2);
# a fit made for another source size, or a file that is not a fit (exit 1).
"$TIVRA" warp "$img" --gcps "$gcps" --method second --save-fit lfit.txt > /dev/null || fail "--save-fit"
"$TIVRA" warp "$img" x.tif --load-fit lfit.txt --gcps "$gcps" > out.txt 2> err.txt
[ $? = 2 ] && grep -q "replaces --gcps" err.txt || fail "--load-fit with --gcps: $(head -1 err.txt)"
"$TIVRA" warp "$img" x.tif --load-fit lfit.txt --interp nearest > out.txt 2> err.txt
[ $? = 2 ] && grep -q "interp is fixed by the fit file" err.txt || fail "--load-fit with --interp: $(head -1 err.txt)"
"$TIVRA" warp ramp.tif x.tif --load-fit lfit.txt > out.txt 2> err.txt
[ $? = 1 ] && grep -q "the fit is for a source of 791 x 718 pixels, this one has 240 x 180" err.txt ||
  fail "fit of another source: $(cat err.txt)"
grep -v "^grid" lfit.txt > nogrid.txt
"$TIVRA" warp "$img" x.tif --load-fit nogrid.txt > out.txt 2> err.txt
[ $? = 1 ] && grep -q "no grid or no mapping" err.txt || fail "fit without a grid: $(cat err.txt)"
sed 's/^global 4 /global 4 x/' lfit.txt > badnum.txt
"$TIVRA" warp "$img" x.tif --load-fit badnum.txt > out.txt 2> err.txt
[ $? = 1 ] && grep -q "badnum.txt:8: malformed 'global' line" err.txt || fail "malformed fit: $(cat err.txt)"
[ -e x.tif ] && fail "a refused fit left an output"
finish
