# Faults on write: an output that outgrows the file-size limit (a full disk
# as far as the program can tell) ends the run with status 1 and a reason;
# the previous output is still whole, and no temporary or side file is left.
. "$(dirname "$0")/common.sh"

"$HELPER" pattern src.tif 600 600 Float32 1 || fail "making the source"
identity_gcps src.gcps.csv 600

# The previous output: a small, complete raster.
"$HELPER" pattern out.tif 10 10 Byte 1 || fail "making the previous output"
before=$(cksum < out.tif)

# 64 blocks are far below the 1.4 MB a Float32 600 x 600 output needs; the
# limit's signal is ignored, so that writes fail with EFBIG as they would
# with ENOSPC on a full disk.
( trap '' XFSZ; ulimit -f 64; exec "$TIVRA" warp src.tif out.tif --gcps src.gcps.csv ) > log.txt 2>&1
rc=$?
[ $rc -eq 1 ] || fail "exit $rc under a file-size limit, expected 1: $(cat log.txt)"
grep -q "out.tif" log.txt || fail "no reason naming the output: $(cat log.txt)"
[ "$(cksum < out.tif)" = "$before" ] || fail "the previous output was changed"
left=$(ls -A | grep -v -e '^src\.tif$' -e '^src\.gcps\.csv$' -e '^log\.txt$' -e '^out\.tif$')
[ -z "$left" ] || fail "left behind: $left"

# The same without the signal ignored by the caller: the program ignores it.
( ulimit -f 64; exec "$TIVRA" warp src.tif out.tif --gcps src.gcps.csv ) > log.txt 2>&1
rc=$?
[ $rc -eq 1 ] && grep -q "out.tif.*File too large" log.txt || fail "exit $rc under a file-size limit: $(cat log.txt)"
[ -z "$(ls -A | grep '\.tmp')" ] || fail "temporary left under a file-size limit: $(ls -A)"

# Without the limit the same run replaces it.
"$TIVRA" warp src.tif out.tif --gcps src.gcps.csv > log.txt 2>&1 || fail "the run without a limit: $(cat log.txt)"
[ "$(cksum < out.tif)" != "$before" ] || fail "the output was not replaced"

# Results that cannot reach standard output fail the run.
"$TIVRA" stats src.tif > /dev/full 2> log.txt
rc=$?
[ $rc -eq 1 ] && grep -q "cannot write standard output: No space left on device" log.txt ||
  fail "stats > /dev/full: exit $rc, $(cat log.txt)"

# A symbolic link is written through: its target gets the output, the link
# stays. A FIFO is refused, not replaced.
mkdir -p real && ln -sf real/target.tif link.tif
"$TIVRA" warp src.tif link.tif --gcps src.gcps.csv > log.txt 2>&1 || fail "through a link: $(cat log.txt)"
[ -L link.tif ] && [ -f real/target.tif ] && [ -z "$(ls -A real | grep -v '^target\.tif')" ] ||
  fail "the link was replaced: $(ls -lA . real)"
mkfifo pipe.tif
timeout 20 "$TIVRA" warp src.tif pipe.tif --gcps src.gcps.csv > log.txt 2>&1
rc=$?
[ $rc -eq 1 ] && [ -p pipe.tif ] && grep -q "pipe.tif is a FIFO" log.txt || fail "FIFO output: exit $rc, $(cat log.txt)"
rm -rf real link.tif pipe.tif

# Another process's temporaries, whose names start with this one's, are
# left alone (the shell's exec keeps the process id).
sh -c 'touch .cut.tif.tmp${$}7 .cut.tmp${$}-07.tif .cut.tmp${$}-01; exec "$0" warp src.tif cut.tif --gcps src.gcps.csv' "$TIVRA" > log.txt 2>&1 ||
  fail "run beside a foreign temporary: $(cat log.txt)"
[ "$(ls -A | grep -c '^\.cut\.')" -eq 3 ] && [ -z "$(ls | grep '^cut' | grep -v '^cut\.tif$')" ] || fail "foreign temporaries moved: $(ls -A)"
rm -f .cut.* cut.tif*

# Formats whose side files replace the extension get them in place; a
# virtual raster, which would refer to memory that is gone, is refused.
for f in ENVI:img:hdr EHdr:bil:hdr AAIGrid:asc:prj; do
  IFS=: read -r driver ext side << EOF
$f
EOF
  "$TIVRA" warp src.tif "side.$ext" --gcps src.gcps.csv --of "$driver" --a-srs EPSG:32611 > log.txt 2>&1 ||
    fail "$driver: $(cat log.txt)"
  [ -f "side.$side" ] && [ -z "$(ls -A | grep '^\.')" ] && gdalinfo "side.$ext" > /dev/null 2>&1 ||
    fail "$driver output broken: $(ls -A)"
  rm -f side.*
done
"$TIVRA" warp src.tif out.vrt --gcps src.gcps.csv > log.txt 2>&1 && fail "VRT output accepted"
grep -q "the VRT format refers to other rasters" log.txt || fail "VRT: $(cat log.txt)"
finish
