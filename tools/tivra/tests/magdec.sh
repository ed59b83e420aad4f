# magdec: test values of the models' reports through the program (decimal
# and calendar dates, text and JSON), the geographic pole, a date after the
# models' years, the model file found through the installation home (the
# build tree here), and bad input.
. "$(dirname "$0")/common.sh"

# field LABEL: the number after the label at the start of a line.
field() { awk -v k="$1" 'index($0, k) == 1 { $0 = substr($0, length(k) + 1); print $1; exit }'; }
# json KEY: the value of a key of the one-line JSON object.
json() { sed -n "s/.*\"$1\": \([^,}]*\).*/\1/p"; }

# Report test values (WMM2025 at 2025.0, 0 km, 80 N 0 E; WMM2020 at 2022.5,
# 100 km, 80 S 240 E): declination in degrees, annual change in arcmin/year
# (0.52 and -0.09 deg/year in the tables).
out=$("$TIVRA" magdec 80 0 0 2025.0) || fail "magdec exited non-zero"
check_close "declination at 80 N" "$(echo "$out" | field "declination")" 1.28 0.01
check_close "annual change at 80 N" "$(echo "$out" | field "annual change")" 31.2 0.6
echo "$out" | grep -q "^model          WMM2025 (2025.0 to 2030.0)" || fail "model line: $out"
out=$("$TIVRA" magdec -80 240 100000 2022.5 --json) || fail "magdec --json exited non-zero"
check_close "declination at 80 S" "$(echo "$out" | json declination_deg)" 68.55 0.01
check_close "annual change at 80 S" "$(echo "$out" | json annual_change_arcmin_per_year)" -5.4 0.6
[ "$(echo "$out" | json model)" = '"WMM2020"' ] || fail "JSON model: $out"
case "$out" in "{"*"}") ;; *) fail "not one JSON object: $out" ;; esac

# 31 December 2024 is day 366 of 366, the decimal year 2025.0 exactly.
a=$("$TIVRA" magdec 40 -105 1600 2024-12-31 --json) || fail "calendar date exited non-zero"
b=$("$TIVRA" magdec 40 -105 1600 2025 --json) || fail "decimal date exited non-zero"
[ "$(echo "$a" | json declination_deg)" = "$(echo "$b" | json declination_deg)" ] || fail "$a differs from $b"
[ "$(echo "$a" | json date)" = '"2024-12-31"' ] || fail "date not echoed: $a"

# At the geographic pole the declination is undefined, and not an error.
out=$("$TIVRA" magdec 90 0 0 2026-01-01 --json) || fail "pole exited non-zero"
[ "$(echo "$out" | json declination_deg)" = null ] || fail "declination at the pole: $out"
[ "$(echo "$out" | json annual_change_arcmin_per_year)" = null ] || fail "change at the pole: $out"
"$TIVRA" magdec -90 0 0 2026-01-01 | grep -q "^declination    undefined" || fail "text form at the pole"

# After the last model's years the last model is extrapolated, with a warning.
"$TIVRA" magdec 40 -105 1600 2031.5 > out.txt 2> err.txt || fail "2031.5 exited non-zero"
grep -q "outside the years of WMM2025 (2025.0 to 2030.0)" err.txt || fail "no warning: $(cat err.txt)"
grep -q "^model          WMM2025" out.txt || fail "model after the years: $(cat out.txt)"

# expect_failure STATUS MESSAGE-PATTERN -- ARGUMENTS...
expect_failure() {
  status=$1 pattern=$2
  shift 3
  "$TIVRA" magdec "$@" > out.txt 2> err.txt
  got=$?
  [ "$got" -eq "$status" ] || fail "'magdec $*' exited $got, expected $status"
  grep -Eq "$pattern" err.txt || fail "'magdec $*': message '$(cat err.txt)' does not match '$pattern'"
  [ -s out.txt ] && fail "'magdec $*' printed a result"
}
expect_failure 2 "LAT 'north' is not a number" -- north 0 0 2025.0
expect_failure 2 "HEIGHT_M 'inf' is not a number" -- 0 0 inf 2025.0
expect_failure 2 "DATE 'tomorrow' is neither YYYY-MM-DD nor a decimal year" -- 0 0 0 tomorrow
expect_failure 2 "DATE '2025-6-1' is neither" -- 0 0 0 2025-6-1
expect_failure 2 "expected LAT LON HEIGHT_M DATE" -- 0 0 2025.0
expect_failure 2 "unknown option --xml" -- 0 0 0 2025.0 --xml
expect_failure 1 "LAT must lie between -90 and 90 degrees" -- 90.5 0 0 2025.0
expect_failure 1 "DATE 2025-02-29 is not a day of the calendar" -- 0 0 0 2025-02-29

# The program's own home is the build tree (the parent of its folder), which
# holds the model file. A home without it, and one whose copy is cut short,
# make the program fail.
build_home=$(dirname "$(dirname "$TIVRA")")
[ -f "$build_home/Resource/WMM.cof" ] || fail "no WMM.cof in the build tree's home $build_home"
mkdir -p home/Config home/Resource && echo "<TivraConfiguration/>" > home/Config/TivraConfiguration.xml
export TIVRA_HOME="$PWD/home"
expect_failure 1 "cannot use the magnetic model $PWD/home/Resource/WMM.cof" -- 0 0 0 2025.0
cof=home/Resource/WMM.cof good="$build_home/Resource/WMM.cof"
head -c 4000 "$good" > $cof
expect_failure 1 "WMM.cof: line 50: not a record of 80 characters" -- 0 0 0 2025.0
# A model file is refused as a whole, with the line at fault: a header
# alone, a NaN or infinite coefficient, a repeated line, a line short of
# numbers (the same 80 characters, blanks for the number).
head -1 "$good" > $cof
expect_failure 1 "line 2: expected the coefficients 1 0 of WMM2020, found the end" -- 0 0 0 2025.0
sed '3s/ -1450.7/     nan/' "$good" > $cof
expect_failure 1 "line 3: a coefficient is not a finite number" -- 0 0 0 2025.0
sed '12s/282\.0/-inf /' "$good" > $cof
grep -q -- '-inf' $cof || fail "no infinity placed in line 12"
expect_failure 1 "line 12: a coefficient is not a finite number" -- 0 0 0 2025.0
sed '5p' "$good" | head -182 > $cof
expect_failure 1 "line 6: expected the coefficients 2 2 of WMM2020, found 2 1" -- 0 0 0 2025.0
sed '7s/^\(.\{15\}\)\(.\{10\}\)/\1          /' "$good" > $cof
expect_failure 1 "line 7: expected the coefficients 3 0 of WMM2020: the line lacks a number" -- 0 0 0 2025.0
unset TIVRA_HOME

# Longitudes far beyond a turn are reduced exactly: 3.6e15 is 1e13 turns,
# the meridian 0; 1e20 is the meridian its exact remainder names.
a=$("$TIVRA" magdec 40 0 0 2025.0 --json) && b=$("$TIVRA" magdec 40 3.6e15 0 2025.0 --json) ||
  fail "magdec at a huge longitude failed"
[ "$(echo "$a" | json declination_deg)" = "$(echo "$b" | json declination_deg)" ] || fail "3.6e15 is not 0: $a $b"
finish
