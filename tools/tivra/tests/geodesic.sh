# geodesic: the program's argument order (latitude first) and output against
# known WGS 84 distances, a direct problem that returns to the start, nearly
# antipodal points and a very long direct problem.
. "$(dirname "$0")/common.sh"

# field LABEL: the number after the label at the start of a line.
field() { awk -v k="$1" 'index($0, k) == 1 { $0 = substr($0, length(k) + 1); print $1; exit }'; }

out=$("$TIVRA" geodesic inverse 0 0 1 0) || fail "inverse exited non-zero"
check_close "one degree of meridian" "$(echo "$out" | field "distance")" 110574.389 0.001
out=$("$TIVRA" geodesic inverse 0 0 0 1) || fail "inverse exited non-zero"
check_close "one degree of equator" "$(echo "$out" | field "distance")" 111319.491 0.001
check_close "azimuth east" "$(echo "$out" | field "azimuth 1")" 90 1e-9

out=$("$TIVRA" geodesic inverse 34.2 -118.2 25.0 -77.5) || fail "inverse exited non-zero"
d=$(echo "$out" | field "distance") az=$(echo "$out" | field "azimuth 1")
back=$("$TIVRA" geodesic direct 34.2 -118.2 "$az" "$d") || fail "direct exited non-zero"
check_close "direct latitude" "$(echo "$back" | field "latitude 2")" 25.0 1e-8
check_close "direct longitude" "$(echo "$back" | field "longitude 2")" -77.5 1e-8
check_close "direct azimuth" "$(echo "$back" | field "azimuth 2")" "$(echo "$out" | field "azimuth 2")" 1e-7

# Nearly antipodal points, which Vincenty's iteration alone cannot solve
# (reference: GeographicLib's GeodSolve on the same ellipsoid).
out=$("$TIVRA" geodesic inverse 0 0 0 179.5) || fail "nearly antipodal inverse exited non-zero"
check_close "nearly antipodal distance" "$(echo "$out" | field "distance")" 19980861.909 0.001

# Between antipodes the line taken leaves due north, an azimuth that comes
# out as a negative zero: it prints as 0.
out=$("$TIVRA" geodesic inverse 34 -118 -34 62) || fail "antipodal inverse exited non-zero"
echo "$out" | grep -q -- "-0\.0" && fail "a negative zero azimuth: $out"
check_close "antipodal azimuth" "$(echo "$out" | field "azimuth 1")" 0 0

# A thousand laps still end in [-180, 180) (reference: GeographicLib's Direct
# on the same ellipsoid).
out=$("$TIVRA" geodesic direct 0 0 45 4e10) || fail "long direct exited non-zero"
check_close "longitude after a thousand laps" "$(echo "$out" | field "longitude 2")" 88.123490093 1e-6
# The standard input form answers each line as the one-problem form would,
# digit for digit, and stops at the first bad line after answering those
# before it.
inverse_problems="34.2 -118.2 25.0 -77.5
# a comment
-33.9 151.2 51.5 -0.1

0 0 0 179.5
89.5 0 -90 179.5"
direct_problems="34.2 -118.2 95.3 3600000
# a comment
-33.9 151.2 -20 1.7e7

0 0 90 2e7
90 0 180 1000"
for form in inverse direct; do
  [ $form = inverse ] && problems=$inverse_problems || problems=$direct_problems
  answers=$(printf '%s\nnot a problem\n' "$problems" | "$TIVRA" geodesic $form - 2> "$WORK/err") &&
    fail "$form -: a bad line must end in a non-zero exit"
  grep -q "standard input line 7" "$WORK/err" || fail "$form -: the bad line is not named: $(cat "$WORK/err")"
  expected=$(echo "$problems" | grep -v '^#' | grep . | while read -r a b c d; do
    out=$("$TIVRA" geodesic $form "$a" "$b" "$c" "$d")
    if [ $form = inverse ]; then
      echo "$(echo "$out" | field distance) $(echo "$out" | field "azimuth 1") $(echo "$out" | field "azimuth 2")"
    else
      echo "$(echo "$out" | field "latitude 2") $(echo "$out" | field "longitude 2") $(echo "$out" | field "azimuth 2")"
    fi
  done)
  [ "$answers" = "$expected" ] || fail "$form -: answers differ from the single calls: $answers / $expected"
done
finish
