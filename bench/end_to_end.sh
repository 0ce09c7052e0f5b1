#!/usr/bin/env bash
# End-to-end benchmark at the bundled size: quilm2splice -C2 against HISAT2 on
# the real 1 Mbp human region of ../shared/data.
#
#   bench/end_to_end.sh [bin-folder] [runs]      # defaults: build/bin, 5 runs
#   READS=50000 bench/end_to_end.sh /work/build-bench/bin 3
#
# Generates (once, kept in BENCH_E2E, default /tmp/quilm-bench-e2e) READS
# (default 200,000) RNA-like reads of 100 bases from the region and its
# annotation with bench/e2e_gen.py: three in four from the spliced transcript
# sequences, the rest from the genome, 0 to 3 mismatches, both strands.
#
# Every run times, side by side and in alternating order:
#   ours, fresh    quilm2splice -C2 in a new work folder (nothing to reuse)
#   ours, rerun    the same command again on that work folder, which reuses
#                  the seed index store the first run left in <work>/index
#   peer           hisat2-build -p2 of the region, then hisat2 -p2 mapping the
#                  same reads to SAM
# and prints each run, the medians, the ratios ours/peer, the reads each
# program placed and the store's size on disk per Mbp of genome.
# Targets: fresh at most 0.6 of the peer's time, rerun at most 0.4.
#
# HISAT2 comes from the Debian package hisat2: run as root, the script
# installs it with apt-get when it is missing; otherwise the comparison is
# skipped with a message and only our times are printed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
bin=$(bench_bin "${1:-}")
runs=${2:-5}
reads_n=${READS:-200000}
data=$(cd "$root/../shared/data" && pwd)
genome=$data/chr22_20M.fa
gtf=$data/chr22_20M.genes.gtf
cache=${BENCH_E2E:-/tmp/quilm-bench-e2e}

for p in quilm2splice quilm_x junctor; do
  [ -x "$bin/$p" ] || { echo "no $bin/$p: build the project first" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "needs GNU time (/usr/bin/time, Debian package time)" >&2; exit 1; }

peer=1
if ! command -v hisat2-build >/dev/null || ! command -v hisat2 >/dev/null; then
  if [ "$(id -u)" = 0 ]; then
    echo "installing hisat2 ..."
    DEBIAN_FRONTEND=noninteractive apt-get install -y hisat2 >/dev/null 2>&1 ||
      { apt-get update >/dev/null 2>&1 && DEBIAN_FRONTEND=noninteractive apt-get install -y hisat2 >/dev/null 2>&1; } || true
  fi
  if ! command -v hisat2-build >/dev/null || ! command -v hisat2 >/dev/null; then
    echo "hisat2 is not installed (as root: apt-get install hisat2): the comparison is skipped"
    peer=0
  fi
fi

mkdir -p "$cache"
reads=$cache/reads_$reads_n.fq
if [ ! -s "$reads" ]; then
  echo "generating $reads_n reads in $reads ..."
  python3 "$root/bench/e2e_gen.py" "$genome" "$gtf" "$reads.tmp" "$reads_n" 100 11
  mv "$reads.tmp" "$reads"
fi
mbp=$(awk '!/^>/ {n += length($0)} END {printf "%.3f", n / 1e6}' "$genome")

scratch=$(mktemp -d /tmp/quilm-bench-e2e-run.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
times=$scratch/times.txt   # case wall user sys maxrss-KiB
: > "$times"

# timed CASE COMMAND...: runs the command under GNU time in the current
# directory and appends its figures; stdout and stderr go to CASE.out/.err.
timed() {
  local case=$1; shift
  if ! /usr/bin/time -f "%e %U %S %M" -o "$scratch/t" "$@" > "$case.out" 2> "$case.err"; then
    echo "$case failed; its stderr:" >&2; tail -20 "$case.err" >&2; exit 1
  fi
  echo "$case $(cat "$scratch/t")" >> "$times"
}

ours_fresh_and_rerun() {
  local run=$1 dir=$scratch/ours$1
  rm -rf "$dir"; mkdir -p "$dir"; cd "$dir"
  timed ours_fresh "$bin/quilm2splice" -R"$genome" -D"$reads" -O"$dir/out" -W"$dir/work" -C2
  cp config.txt config.fresh.txt
  timed ours_rerun "$bin/quilm2splice" -R"$genome" -D"$reads" -O"$dir/out" -W"$dir/work" -C2
  if [ -d "$dir/work/index" ]; then du -sk "$dir/work/index" | cut -f1 > "$scratch/store_kib"; fi
  if [ "$run" -lt "$runs" ]; then rm -rf "$dir/work" "$dir"/out-*; fi
  cd "$scratch"
}

peer_build_and_map() {
  local run=$1 dir=$scratch/peer$1
  rm -rf "$dir"; mkdir -p "$dir"; cd "$dir"
  timed peer_build hisat2-build -p2 "$genome" "$dir/idx"
  timed peer_map hisat2 -p2 -x "$dir/idx" -U "$reads" -S "$dir/out.sam"
  if [ "$run" -lt "$runs" ]; then rm -f "$dir"/idx.* "$dir/out.sam"; fi
  cd "$scratch"
}

echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "genome $mbp Mbp ($(basename "$genome")), $reads_n reads of 100 bases, $runs runs"
for run in $(seq 1 "$runs"); do
  # Alternate which program goes first so that a drift in the machine's
  # load falls on both.
  if [ "$peer" = 1 ] && [ $((run % 2)) = 0 ]; then
    peer_build_and_map "$run"; ours_fresh_and_rerun "$run"
  else
    ours_fresh_and_rerun "$run"; [ "$peer" = 0 ] || peer_build_and_map "$run"
  fi
  awk -v r="$run" '{last[$1] = $2} END {
      printf "run %d: ours fresh %.2f s, rerun %.2f s", r, last["ours_fresh"], last["ours_rerun"]
      if ("peer_map" in last) printf "; hisat2-build %.2f s + hisat2 %.2f s", last["peer_build"], last["peer_map"]
      printf "\n" }' "$times"
done

col() { awk -v c="$1" -v k="$2" '$1 == c {print $k}' "$times" | bench_median; }
fresh=$(col ours_fresh 2) rerun=$(col ours_rerun 2)
echo
echo "medians of $runs runs (wall s / CPU s / peak RSS of the largest process):"
for c in ours_fresh ours_rerun; do
  awk -v c="$c" '$1 == c {print $3 + $4}' "$times" | bench_median > "$scratch/cpu"
  printf "  %-28s %7.2f s  %7.2f s CPU  %5.0f MiB\n" "quilm2splice -C2, ${c#ours_}" \
    "$(col "$c" 2)" "$(cat "$scratch/cpu")" "$(awk -v k="$(col "$c" 5)" 'BEGIN {print k / 1024}')"
done
if [ "$peer" = 1 ]; then
  # The peer's time of a run is its index build plus its mapping.
  awk '$1 == "peer_build" {b[++nb] = $2; bc[nb] = $3 + $4} $1 == "peer_map" {m[++nm] = $2; mc[nm] = $3 + $4}
       END {for (i = 1; i <= nb; i++) print b[i] + m[i], bc[i] + mc[i]}' "$times" > "$scratch/peer_sum"
  peer_total=$(cut -d' ' -f1 "$scratch/peer_sum" | bench_median)
  peer_cpu=$(cut -d' ' -f2 "$scratch/peer_sum" | bench_median)
  for c in peer_build peer_map; do
    awk -v c="$c" '$1 == c {print $3 + $4}' "$times" | bench_median > "$scratch/cpu"
    printf "  %-28s %7.2f s  %7.2f s CPU  %5.0f MiB\n" "$([ $c = peer_build ] && echo 'hisat2-build -p2' || echo 'hisat2 -p2')" \
      "$(col "$c" 2)" "$(cat "$scratch/cpu")" "$(awk -v k="$(col "$c" 5)" 'BEGIN {print k / 1024}')"
  done
  printf "  %-28s %7.2f s  %7.2f s CPU\n" "hisat2-build + hisat2" "$peer_total" "$peer_cpu"
  echo
  fresh_cpu=$(awk '$1 == "ours_fresh" {print $3 + $4}' "$times" | bench_median)
  rerun_cpu=$(awk '$1 == "ours_rerun" {print $3 + $4}' "$times" | bench_median)
  awk -v f="$fresh" -v r="$rerun" -v p="$peer_total" -v m="$(col peer_map 2)" \
      -v fc="$fresh_cpu" -v rc="$rerun_cpu" -v pc="$peer_cpu" 'BEGIN {
    printf "ratio ours/peer, fresh work folder: %.2f (target <= 0.6); by CPU time %.2f\n", f / p, fc / pc
    printf "ratio ours/peer, store reused:      %.2f (target <= 0.4); by CPU time %.2f\n", r / p, rc / pc
    printf "(rerun against hisat2 mapping alone, its index kept: %.2f)\n", r / m }'
fi
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"

echo
last=$scratch/ours$runs
if [ -s "$scratch/store_kib" ]; then
  awk -v k="$(cat "$scratch/store_kib")" -v g="$mbp" 'BEGIN {
    printf "seed index store: %.1f MiB on disk for %s Mbp = %.1f MiB per Mbp of genome\n", k / 1024, g, k / 1024 / g }'
else
  echo "seed index store: none in the work folder (<work>/index) after the runs"
fi
placed=$(awk '$1 ~ /^[0-9]+$/ && NF == 2 {seen[$1] = 1} END {print length(seen)}' "$last"/out-quilm2* "$last"/out-splice-*)
awk -v n="$placed" -v t="$reads_n" 'BEGIN {printf "reads placed: quilm2splice %d of %d (%.1f%%)", n, t, 100 * n / t}'
if [ "$peer" = 1 ]; then
  printf ", hisat2 %s" "$(grep -o '[0-9.]*% overall alignment rate' "$scratch/peer$runs/peer_map.err" || echo '?')"
fi
echo
echo "stage times of the last fresh run (config.txt):"
grep 'Time' "$last/config.fresh.txt" | sed 's/^/  /'
echo "and of its rerun:"
grep 'Time' "$last/config.txt" | sed 's/^/  /'
