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

# Without the limit the same run replaces it.
"$TIVRA" warp src.tif out.tif --gcps src.gcps.csv > log.txt 2>&1 || fail "the run without a limit: $(cat log.txt)"
[ "$(cksum < out.tif)" != "$before" ] || fail "the output was not replaced"
finish
