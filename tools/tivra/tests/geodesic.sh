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

# A thousand laps still end in [-180, 180): -271.876511172 is this meridian.
out=$("$TIVRA" geodesic direct 0 0 45 4e10) || fail "long direct exited non-zero"
check_close "longitude after a thousand laps" "$(echo "$out" | field "longitude 2")" 88.123488828 1e-6
finish
