# Usage: --help on every subcommand (exit 0, usage on standard output, no
# file written), help COMMAND, --version, option errors exit 2 with the
# usage, run-time errors exit 1 with a reason after the colon; stats --json
# and geodesic from standard input.
. "$(dirname "$0")/common.sh"
img="$DATA/landsat7_rgb_byte.tif" gcps="$DATA/landsat7_rgb_byte.gcps.csv"

mkdir help && cd help || exit 1
for cmd in palettes warp stats colorize geodesic magdec camera demo; do
  "$TIVRA" "$cmd" --help > out.txt 2> err.txt || fail "$cmd --help exited $?"
  grep -q "^usage: tivra $cmd" out.txt || fail "$cmd --help: no usage on standard output"
  [ -s err.txt ] && fail "$cmd --help wrote to standard error: $(cat err.txt)"
  "$TIVRA" help "$cmd" > help.txt || fail "help $cmd exited $?"
  cmp -s out.txt help.txt || fail "help $cmd differs from $cmd --help"
  rm -f out.txt err.txt help.txt
  [ -z "$(ls -A)" ] || fail "$cmd --help left files: $(ls -A)"
done
# --help wins wherever it stands, even where a file name is expected.
"$TIVRA" palettes --help > /dev/null && [ ! -e ./--help ] || fail "palettes --help wrote a file"
"$TIVRA" warp "$img" out.tif --help > /dev/null && [ ! -e out.tif ] || fail "warp IN OUT --help wrote out.tif"
cd .. || exit 1
"$TIVRA" help warp | grep -q -- "--window XOFF,YOFF,XSIZE,YSIZE" || fail "help warp lacks the warp options"
"$TIVRA" help nonesuch > /dev/null 2>&1
[ $? -eq 2 ] || fail "help nonesuch should exit 2"
"$TIVRA" --version | grep -Eq "^tivra [0-9]+\.[0-9]+\.[0-9]+ \(GDAL [0-9]" || fail "--version: '$("$TIVRA" --version)'"

# expect_usage_error ARGS...: exit 2, the message and the usage on stderr.
expect_usage_error() {
  "$TIVRA" "$@" > out.txt 2> err.txt
  rc=$?
  [ $rc -eq 2 ] || fail "'$*' exited $rc, expected 2"
  grep -q "^usage: tivra $1" err.txt || fail "'$*': no usage on standard error"
  [ "$(head -c 6 err.txt)" = "tivra " ] || fail "'$*': no message line"
}
echo 1 > one.txt
expect_usage_error colorize "$DATA/srtm30m_tujunga_int16.tif" c.png --stretch 5,5
expect_usage_error colorize "$DATA/srtm30m_tujunga_int16.tif" c.png --stretch 7,5
expect_usage_error colorize "$DATA/srtm30m_tujunga_int16.tif" c.png --co NOEQUALS
expect_usage_error warp "$img" w.tif
expect_usage_error warp "$img" w.tif --gcps "$gcps" --window 1,2,3
expect_usage_error warp "$img" w.tif --gcps "$gcps" --a-srs NOT:A:SYSTEM
expect_usage_error warp "$img" w.tif --gcps "$gcps" --background nan
expect_usage_error stats "$img" --bogus
expect_usage_error stats "$img" --nodata abc
expect_usage_error geodesic inverse 1 2 3
expect_usage_error magdec 1 2
expect_usage_error camera
expect_usage_error palettes
expect_usage_error palettes a.png b.png
[ -z "$(ls | grep -v -e '^out.txt$' -e '^err.txt$' -e '^one.txt$' -e '^help$')" ] || fail "usage errors left files: $(ls)"

# A truncated tiled TIFF: a run-time error with GDAL's reason after the colon.
"$HELPER" pattern tiled.tif 512 512 Float32 1 TILED=YES || fail "making the tiled TIFF"
head -c 300000 tiled.tif > trunc.tif
"$TIVRA" stats trunc.tif > out.txt 2> err.txt
rc=$?
[ $rc -eq 1 ] || fail "truncated TIFF: exit $rc, expected 1"
grep -Eq "^tivra: .*trunc\.tif.*: .*[A-Za-z]{3}" err.txt || fail "truncated TIFF: message '$(cat err.txt)' has no reason"

# --pixel-size out of range names the cause, in either direction.
"$TIVRA" warp "$img" p.tif --gcps "$gcps" --pixel-size 0.01 > out.txt 2> err.txt && fail "tiny pixel size accepted"
grep -q "choose a pixel size larger" err.txt || fail "--pixel-size 0.01: '$(cat err.txt)'"
"$TIVRA" warp "$img" p.tif --gcps "$gcps" --pixel-size 1e308 > out.txt 2> err.txt && fail "huge pixel size accepted"
grep -q "choose a pixel size smaller" err.txt || fail "--pixel-size 1e308: '$(cat err.txt)'"
grep -q -- "-0.000000" err.txt && fail "--pixel-size 1e308 prints '-0.000000'"

# stats --json: one object per band with full-precision numbers, the same
# as the text output.
"$TIVRA" stats "$img" --json > stats.json || fail "stats --json exited non-zero"
[ "$(head -c 1 stats.json)" = "{" ] && [ "$(tail -c 3 stats.json)" = "]}" ] || fail "stats --json is not one object"
[ "$(grep -c '"band": ' stats.json)" -eq 3 ] || fail "stats --json: 3 bands expected"
"$TIVRA" stats "$img" > stats.txt
mean=$(awk '$1 == "mean" { print $2; exit }' stats.txt)
grep -q "\"mean\": $mean," stats.json || fail "stats --json: band 1 mean is not $mean"
[ ${#mean} -ge 15 ] || fail "stats mean '$mean' is not printed at full precision"
if command -v python3 > /dev/null; then
  python3 -c 'import json, sys; json.load(open(sys.argv[1]))' stats.json || fail "stats --json is not valid JSON"
fi

# geodesic - : one answer a line, the same numbers as the one-problem form.
printf '34.0 -118.0 40.7 -74.0\n\n# comment\n-33.9 151.2 51.5 -0.1\n' | "$TIVRA" geodesic inverse - > lines.txt ||
  fail "geodesic inverse - exited non-zero"
[ "$(wc -l < lines.txt)" -eq 2 ] || fail "geodesic inverse -: 2 lines expected, got $(wc -l < lines.txt)"
one=$("$TIVRA" geodesic inverse 34.0 -118.0 40.7 -74.0 | awk '/^distance/ { print $2 }')
[ "$(head -1 lines.txt | cut -d' ' -f1)" = "$one" ] || fail "geodesic inverse -: '$(head -1 lines.txt)', distance $one"
echo "34 -118 65.9 3944000" | "$TIVRA" geodesic direct - | grep -Eq "^40\.[0-9]{9} -7[0-9]\.[0-9]{9} [0-9.]+$" ||
  fail "geodesic direct -"
printf '1 2 3 4\n1 2 x 4\n' | "$TIVRA" geodesic inverse - > out.txt 2> err.txt
[ $? -eq 1 ] && grep -q "standard input line 2: LAT2 'x' is not a number" err.txt || fail "geodesic bad line: '$(cat err.txt)'"
finish
