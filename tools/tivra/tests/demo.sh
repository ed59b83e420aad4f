# demo: `tivra` without arguments writes the demo into ./tivra-demo, with a
# near-exact fit and a rectified image close to the original.
. "$(dirname "$0")/common.sh"

"$TIVRA" > report.txt 2> errors.txt || fail "demo exited non-zero: $(cat errors.txt)"
for f in original.png distorted.png distorted.gcps.csv rectified.tif rectified.png tujunga_elevation.png \
  bigsur_elevation.png; do
  [ -s "tivra-demo/$f" ] || fail "tivra-demo/$f missing"
done
[ -z "$(ls -A tivra-demo | grep '\.tmp')" ] || fail "temporary files left behind"
rms=$(awk '/second-order fit/ { print $7 + 0, $10 + 0 }' report.txt)
set -- $rms
check_close "fit RMS x" "${1:-}" 0 1e-3
check_close "fit RMS y" "${2:-}" 0 1e-3
mad=$(awk '/mean absolute difference/ { gsub(",", ""); print $5 }' report.txt)
check_close "mean absolute difference (red)" "${mad:-}" 0 8
set -- $("$HELPER" info tivra-demo/rectified.tif)
[ "$1 $2 $3 $9" = "791 718 3 32618" ] || fail "rectified.tif: '$*'"
# The command the demo prints to repeat the rectification by hand gives
# rectified.tif again: the same grid, reference system and samples.
cmd=$(sed -n '/to repeat the rectification by hand/,$p' report.txt | sed 1d | tr -d '\\\n' | sed 's/^ *tivra //')
[ -n "$cmd" ] || fail "no command to repeat by hand"
eval "\"\$TIVRA\" $cmd" > again.txt || fail "the printed command failed: $cmd"
[ "$("$HELPER" info rectified2.tif)" = "$("$HELPER" info tivra-demo/rectified.tif)" ] ||
  fail "by hand: '$("$HELPER" info rectified2.tif)', demo: '$("$HELPER" info tivra-demo/rectified.tif)'"
set -- $("$HELPER" diff rectified2.tif tivra-demo/rectified.tif)
[ "${1:-}" = 0 ] || fail "by hand: $* samples differ from the demo's rectified.tif"
finish
