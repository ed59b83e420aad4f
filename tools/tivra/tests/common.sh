# Shared by the end-to-end scripts. The test registration passes TIVRA (the
# program), HELPER (tivra_test_data), DATA (the bundled data) and WORK (a
# scratch folder of this test, emptied first).
set -u
rm -rf "$WORK" && mkdir -p "$WORK" && cd "$WORK" || exit 1
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# check_close NAME ACTUAL EXPECTED TOLERANCE
check_close() {
  awk -v a="$2" -v e="$3" -v t="$4" 'BEGIN { d = a - e; if (d < 0) d = -d; exit !(a != "" && d <= t) }' ||
    fail "$1: got '$2', expected $3 (+- $4)"
}

# identity_gcps FILE SIZE: the four corners of a SIZE x SIZE image as
# control points of a map that is the image itself (y pointing down).
identity_gcps() {
  {
    echo "id,used,img_x,img_y,ref_x,ref_y"
    echo "1,1,0,0,0,0"
    echo "2,1,$2,0,$2,0"
    echo "3,1,0,$2,0,-$2"
    echo "4,1,$2,$2,$2,-$2"
  } > "$1"
}

finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
  exit 0
}
