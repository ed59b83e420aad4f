# camera: a frame camera fitted to control points made from a known camera.
# Without noise the camera comes back exactly; on the bundled sample (image
# noise 0.5 px) within a few standard deviations; bad input fails clearly.
. "$(dirname "$0")/common.sh"

# param NAME: the value (second field) of the parameter row NAME.
param() { awk -v k="$1" '$1 == k && NF >= 3 { print $2; exit }'; }
sd() { awk -v k="$1" '$1 == k && NF >= 3 { print $3; exit }'; }

# Noise-free points of the helper's camera: its nine parameters come back.
truth=$("$HELPER" cameragcps exact.csv 30 0 7) || fail "helper failed"
out=$("$TIVRA" camera exact.csv) || fail "camera exited non-zero on exact points"
i=1
for name in f x0 y0 X0 Y0 Z0 omega phi kappa; do
  want=$(echo "$truth" | awk -v i=$i '{ print $i }')
  check_close "exact $name" "$(echo "$out" | param $name)" "$want" 1e-4
  i=$((i + 1))
done
echo "$out" | grep -q "30 control points, 25 used" || fail "point counts: $(echo "$out" | head -1)"
rms=$(echo "$out" | awk '/^RMS residual/ { print $4 + $7 }')
check_close "exact residuals" "$rms" 0 1e-4

# The bundled sample: sigma0 near the noise, every parameter within four
# standard deviations of the camera it was made from, check points listed.
out=$("$TIVRA" camera "$DATA/camera_frame.gcps.csv") || fail "camera exited non-zero on the sample"
check_close "sample sigma0" "$(echo "$out" | awk '/^sigma0/ { print $2 }')" 0.5 0.15
i=1
for want in 4200 2010.4 1495.7 500850 4180420 2350 2 -3 95; do
  name=$(echo "f x0 y0 X0 Y0 Z0 omega phi kappa" | awk -v i=$i '{ print $i }')
  s=$(echo "$out" | sd $name)
  check_close "sample $name" "$(echo "$out" | param $name)" "$want" "$(awk -v s="$s" 'BEGIN { print 4 * s }')"
  i=$((i + 1))
done
[ "$(echo "$out" | grep -c ' check ')" -eq 4 ] || fail "expected 4 check points in the residual table"

# Bad input: one line on standard error, a non-zero exit.
expect_error() {
  pattern=$1
  shift
  "$TIVRA" camera "$@" > out.txt 2> err.txt && fail "'camera $*' succeeded"
  grep -Eq "$pattern" err.txt || fail "'camera $*': message '$(cat err.txt)' does not match '$pattern'"
}
head -6 exact.csv > five.csv
sed 's/^4,1,\([^,]*\),/4,1,\1x,/' exact.csv > broken.csv
cut -d, -f1-6 exact.csv > flat.csv
expect_error "cannot open nothing.csv: No such file" nothing.csv
expect_error "needs at least 6 used control points, found 5" five.csv
expect_error "broken.csv line 5: img_x '[0-9.]+x' is not a number" broken.csv
expect_error "lie in one plane" flat.csv
expect_error "unknown option --model" exact.csv --model line
expect_error "expected one control point file"
finish
