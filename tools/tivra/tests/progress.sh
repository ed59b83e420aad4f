# Progress: on a terminal, one bar over the whole warp (read, resampling of
# each band, write) that never moves backwards, drawn after the summary.
. "$(dirname "$0")/common.sh"

"$HELPER" pattern multi.tif 1500 1500 Float32 3 || fail "making the source"
echo "id,used,img_x,img_y,ref_x,ref_y" > multi.gcps.csv
echo "1,1,0,0,0,0
2,1,1500,0,1500,100
3,1,0,1500,-100,-1500
4,1,1500,1500,1400,-1400" >> multi.gcps.csv
# script gives the program a terminal; its output comes back with the
# carriage returns of the bar.
script -qec "'$TIVRA' warp multi.tif out.tif --gcps multi.gcps.csv --interp cubic --quiet" /dev/null > tty.txt ||
  fail "warp under script exited non-zero"
tr '\r' '\n' < tty.txt | sed -n 's/^warp .*\] *\([0-9]*\)%.*/\1/p' > percents.txt
[ "$(wc -l < percents.txt)" -ge 10 ] || fail "only $(wc -l < percents.txt) progress updates"
awk 'NR > 1 && $1 < last { print "backwards: " last " -> " $1; bad = 1 } { last = $1 } END { exit bad }' percents.txt ||
  fail "the bar moved backwards"
[ "$(tail -1 percents.txt)" = 100 ] || fail "the bar ends at $(tail -1 percents.txt)"
[ "$(head -1 percents.txt)" -lt 25 ] || fail "nothing shown during the read (first $(head -1 percents.txt) %)"
# The summary comes before the bar.
first_bar=$(tr '\r' '\n' < tty.txt | grep -n '^warp ' | head -1 | cut -d: -f1)
summary=$(tr '\r' '\n' < tty.txt | grep -n '^output ' | head -1 | cut -d: -f1)
[ -n "$summary" ] && [ -n "$first_bar" ] && [ "$summary" -lt "$first_bar" ] || fail "the summary is not printed before the bar"
finish
