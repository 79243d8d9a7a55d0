# Shared helpers for the whole-process benchmarks: median wall time of
# repeated runs, in milliseconds.
#   median_ms RUNS command args...
median_ms() {
  runs=$1; shift
  times=""
  i=0
  while [ "$i" -lt "$runs" ]; do
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || { echo "FAILED: $*" >&2; echo "nan"; return; }
    end=$(date +%s%N)
    times="$times $(( (end - start) / 1000000 ))"
    i=$((i + 1))
  done
  echo $times | tr ' ' '\n' | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'
}

# ImageMagick's own convert (a wrapper earlier on the PATH may stand in for it).
imagemagick() {
  if [ -x /usr/bin/convert ]; then /usr/bin/convert "$@"; else convert "$@"; fi
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
