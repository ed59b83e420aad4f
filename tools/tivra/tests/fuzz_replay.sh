# The seeds and past findings of the program's fuzz targets (fuzz/corpus and
# fuzz/regressions: raster, gcps, fit, partial, geodesic), replayed through
# the program itself: each input is read or refused with status 1 and a reason, never a crash.
. "$(dirname "$0")/common.sh"

"$HELPER" pattern src.tif 40 30 Byte 1 || fail "making the source"

# replay KIND FILE: what the program makes of one input.
replay() {
  case $1 in
    raster) "$TIVRA" stats "$2" > log.txt 2>&1 ;;
    gcps) "$TIVRA" warp src.tif out.tif --gcps "$2" > log.txt 2>&1 ;;
    fit) "$TIVRA" warp src.tif out.tif --load-fit "$2" > log.txt 2>&1 ;;
    partial) "$TIVRA" stats --merge "$2" "$2" > log.txt 2>&1 ;;
    # The first byte chooses the problem (odd: direct), as in the target.
    geodesic)
      first=$(od -An -tu1 -N1 "$2")
      [ $((${first:-0} % 2)) -eq 1 ] && problem=direct || problem=inverse
      tail -c +2 "$2" | "$TIVRA" geodesic $problem - > log.txt 2>&1 ;;
  esac
  rc=$?
  if [ $rc -eq 1 ]; then
    grep -q . log.txt || fail "$2: refused without a reason"
  elif [ $rc -ne 0 ]; then
    fail "$2: exit $rc: $(tail -n 3 log.txt)"
  fi
  rm -f out.tif out.tif.aux.xml
}

n=0
for kind in raster gcps fit partial geodesic; do
  for f in "$FUZZ/corpus/$kind"/* "$FUZZ/regressions/$kind"/*; do
    [ -f "$f" ] || continue
    replay $kind "$f"
    n=$((n + 1))
  done
done
[ $n -ge 20 ] || fail "only $n inputs found below $FUZZ"
finish
