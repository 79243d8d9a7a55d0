# Shared helpers for the whole-process benchmarks: median wall time of
# repeated runs, in milliseconds with one decimal (date's nanoseconds; the
# two forks of date add about a millisecond to every sample alike).
#   median_ms RUNS command args...              standard output discarded
#   median_ms_to RUNS OUTFILE command args...   standard output into OUTFILE
# A failing command gives "nan" (shown as n/a), so a row whose tool cannot
# do the job yet does not end the run.
median_ms() {
  runs=$1; shift
  median_ms_to "$runs" /dev/null "$@"
}

median_ms_to() {
  runs=$1; out=$2; shift 2
  times=""
  i=0
  while [ "$i" -lt "$runs" ]; do
    start=$(date +%s%N)
    "$@" >"$out" 2>/dev/null || { echo "FAILED: $*" >&2; echo "nan"; return 0; }
    end=$(date +%s%N)
    times="$times $((end - start))"
    i=$((i + 1))
  done
  echo $times | tr ' ' '\n' | sort -n | awk '{a[NR]=$1} END {printf "%.1f\n", a[int((NR+1)/2)] / 1e6}'
}

# ImageMagick's own convert (a wrapper earlier on the PATH may stand in for it).
imagemagick() {
  if [ -x /usr/bin/convert ]; then /usr/bin/convert "$@"; else convert "$@"; fi
}

ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN { if (a ~ /^[0-9.]+$/ && b ~ /^[0-9.]+$/ && b > 0) printf "%.2f", a / b; else print "n/a" }'
}
