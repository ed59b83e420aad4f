# Interruption: SIGINT, SIGTERM and SIGHUP during the read, the resampling
# or the write end the program with 128 + the signal and leave no output,
# no temporary and no side file behind.
. "$(dirname "$0")/common.sh"

# A raster whose compressed write takes a while.
"$HELPER" pattern big.tif 2500 2500 Float32 2 || fail "making the source"
identity_gcps big.gcps.csv 2500

# interrupt SIGNAL NUMBER PHASE: PHASE is early (at once), resample (after
# the summary) or write (once the temporary exists).
interrupt() {
  sig=$1 num=$2 phase=$3
  "$TIVRA" warp big.tif out.tif --gcps big.gcps.csv --interp cubic --co COMPRESS=DEFLATE --co ZLEVEL=9 \
    > log.txt 2>&1 &
  pid=$!
  i=0
  while [ $i -lt 400 ]; do
    case $phase in
      early) break ;;
      resample) grep -q "^RMS residual" log.txt && break ;;
      write) ls -A | grep -q '^\.out\.tmp' && break ;;
    esac
    kill -0 $pid 2> /dev/null || break
    sleep 0.05
    i=$((i + 1))
  done
  kill -s "$sig" $pid 2> /dev/null
  wait $pid
  rc=$?
  if [ $rc -eq 0 ]; then
    echo "note: $sig $phase: the run finished before the signal" >&2
    rm -f out.tif
  else
    [ $rc -eq $((128 + num)) ] || fail "$sig during $phase: exit $rc, expected $((128 + num))"
  fi
  left=$(ls -A | grep -v -e '^big\.tif$' -e '^big\.gcps\.csv$' -e '^log\.txt$')
  [ -z "$left" ] || fail "$sig during $phase left: $left"
  rm -f $left
}

for phase in early resample write; do
  interrupt INT 2 $phase
  interrupt TERM 15 $phase
  interrupt HUP 1 $phase
done
finish
