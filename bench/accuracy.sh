#!/usr/bin/env bash
# Accuracy and speed of quilm2splice with and without --rescue, against
# HISAT2, on simulated RNA-seq reads of 100 and 50 bases from the real 1 Mbp
# human region of ../shared/data and its annotation, scored against their
# true origin; then the same on the shared reads_10k.fq.gz and its truth.
#
#   bench/accuracy.sh [bin-folder] [runs]       # defaults: build/bin, 3 runs (or RUNS)
#   READS=50000 bench/accuracy.sh build/bin 1   # fewer reads, one run
#   LENGTHS=100 INDELS=0.02 bench/accuracy.sh   # one read length, 2% of reads with an indel
#   MISMATCHES=1 INDELS=0.02 bench/accuracy.sh  # reads nearer reads_10k's error rate
#
# Generates once, in BENCH_ACCURACY (default /tmp/quilm-bench-accuracy), READS
# (default 200,000) single-end reads per length in LENGTHS (default "100 50")
# with bench/simulate_reads.py (seed 11): a quarter from the genome, the rest
# from the spliced transcripts, 0 to MISMATCHES (default 3) mismatches per
# read, a share INDELS (default 0.05) with one insertion or deletion of 1 to
# 3 bases; and HISAT2's
# index of the region (built once, not timed).
#
# Every run times under GNU time, in turns, each of ours in a fresh work
# folder (so its time includes building its seed indexes):
#   default   quilm2splice -C2 -L<length>
#   rescue    the same with --rescue
#   rescue+a  the same with --rescue --junctions=<the annotation>
#   bam-plain the same with --bam=out.bam --no-rescue (export timed too)
#   bam       the same with --bam=out.bam: the default path, rescue included
#   hisat2    hisat2 -p2 -x <index> -U <reads> | samtools view -b
# The timed runs write no BAM; the last run's outputs are then exported with
# quilm2sam --sort --unmapped (with --rescued=<output>-rescue for the rescue
# runs) and scored with bench/score_alignments.py: reads placed correctly,
# junction reads placed correctly (all their introns within 5 bases), and
# introns found (sensitivity; precision over all found introns and over those
# of two or more reads). It prints one line per configuration: median wall
# seconds, its ratio to the default run's median, and those scores.
#
# HISAT2 comes from the Debian package hisat2; without it the peer is
# skipped. samtools is needed for the scores.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
bin=$(bench_bin "${1:-}")
runs=${2:-${RUNS:-3}}
reads_n=${READS:-200000}
lengths=${LENGTHS:-100 50}
indels=${INDELS:-0.05}
mismatches=${MISMATCHES:-3}
data=$(cd "$root/../shared/data" && pwd)
genome=$data/chr22_20M.fa
gtf=$data/chr22_20M.genes.gtf
cache=${BENCH_ACCURACY:-/tmp/quilm-bench-accuracy}
score=$root/bench/score_alignments.py

[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "runs must be a positive number, not '$runs'" >&2; exit 1; }
[[ $reads_n =~ ^[1-9][0-9]*$ ]] || { echo "READS must be a positive number, not '$reads_n'" >&2; exit 1; }
[[ $mismatches =~ ^[0-9]+$ ]] || { echo "MISMATCHES must be a number, not '$mismatches'" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs GNU time (/usr/bin/time, Debian package time)" >&2; exit 1; }
command -v samtools >/dev/null || { echo "needs samtools for the scores (apt-get install samtools)" >&2; exit 1; }
for p in quilm2splice quilm2sam quilm_x junctor quilm_rescue; do
  [ -x "$bin/$p" ] || { echo "no $bin/$p: build the project first" >&2; exit 1; }
done
peer=1
if ! command -v hisat2 >/dev/null || ! command -v hisat2-build >/dev/null; then
  echo "hisat2 is not installed (apt-get install hisat2): the comparison is skipped"
  peer=0
fi

mkdir -p "$cache"
idx=$cache/hisat2/region
if [ "$peer" = 1 ] && [ ! -s "$idx.done" ]; then
  echo "building HISAT2's index of the region (once) ..."
  mkdir -p "$cache/hisat2"
  hisat2-build -q -p 2 "$genome" "$idx" >/dev/null
  touch "$idx.done"
fi

# simulate <length>: the reads and truth of one length, made once.
simulate() {
  local base=$cache/reads_${reads_n}_$1_${mismatches}_$indels
  if [ ! -s "$base.tsv" ]; then
    echo "generating $reads_n reads of $1 bases in $base.* ..." >&2
    python3 "$root/bench/simulate_reads.py" "$genome" "$gtf" --count="$reads_n" --seed=11 \
      --length="$1" --max-mismatches="$mismatches" --indel-share="$indels" --reads="$base.fq.tmp" --truth="$base.tsv.tmp" 2>&2
    mv "$base.fq.tmp" "$base.fq"
    mv "$base.tsv.tmp" "$base.tsv"
  fi
  echo "$base"
}

# run_ours <folder> <reads> <length> [options...]: one timed run; prints wall seconds.
run_ours() {
  local folder=$1 reads=$2 length=$3
  shift 3
  rm -rf "$folder"
  mkdir -p "$folder"
  (cd "$folder" && /usr/bin/time -f "%e" -o time.txt "$bin/quilm2splice" -R"$genome" -D"$reads" \
    -Oout -Wwork -C2 -L"$length" "$@" >stdout.txt 2>stderr.txt) ||
    { echo "quilm2splice failed in $folder:" >&2; tail -3 "$folder/stderr.txt" >&2; exit 1; }
  cat "$folder/time.txt"
}

run_peer() {
  local folder=$1 reads=$2
  rm -rf "$folder"
  mkdir -p "$folder"
  /usr/bin/time -f "%e" -o "$folder/time.txt" bash -c \
    "hisat2 -p 2 -x '$idx' -U '$reads' 2>'$folder/stderr.txt' | samtools view -b -o '$folder/out.bam' -"
  cat "$folder/time.txt"
}


# scores <bam> <truth>: correct%, junction%, sensitivity, precision, precision >=2 reads.
scores() {
  python3 "$score" "$1" "$2" --kv 2>/dev/null | awk -F= '
    {v[$1]=$2}
    END {printf "%7s %8s %7s %7s %7s", v["all_reads_correct_pct"], v["junction_reads_correct_pct"],
         v["introns_sensitivity_pct"], v["introns_precision_pct"], v["introns_ge2_precision_pct"]}'
}

export_ours() {
  local folder=$1 reads=$2 rescued=()
  [ -e "$folder/out-rescue" ] && rescued=(--rescued="$folder/out-rescue")
  "$bin/quilm2sam" -R"$genome" -D"$reads" -O"$folder/out" -o "$folder/out.bam" --sort --unmapped \
    "${rescued[@]}" 2>/dev/null
}

# bench_set <name> <reads> <truth> <length> <runs>
bench_set() {
  local name=$1 reads=$2 truth=$3 length=$4 n=$5 work=$cache/runs
  declare -A times=()
  local configs=(default rescue rescue+a bam-plain bam)
  [ "$peer" = 1 ] && configs+=(hisat2)
  for ((r = 1; r <= n; r++)); do
    for c in "${configs[@]}"; do
      case $c in
        default) t=$(run_ours "$work/$c" "$reads" "$length") ;;
        rescue) t=$(run_ours "$work/$c" "$reads" "$length" --rescue) ;;
        rescue+a) t=$(run_ours "$work/$c" "$reads" "$length" --rescue --junctions="$gtf") ;;
        bam-plain) t=$(run_ours "$work/$c" "$reads" "$length" --bam=out.bam --no-rescue) ;;
        bam) t=$(run_ours "$work/$c" "$reads" "$length" --bam=out.bam) ;;
        hisat2) t=$(run_peer "$work/$c" "$reads") ;;
      esac
      times[$c]+="$t "
    done
  done
  local base
  base=$(tr ' ' '\n' <<<"${times[default]}" | grep . | bench_median)
  echo
  echo "$name ($n runs; correct and junction reads in %, introns: sensitivity, precision, precision >=2 reads)"
  printf "%-9s %7s %6s %7s %8s %7s %7s %7s\n" config wall_s ratio correct junction i_sens i_prec i_prec2
  for c in "${configs[@]}"; do
    case $c in hisat2 | bam*) ;; *) export_ours "$work/$c" "$reads" ;; esac
    local m
    m=$(tr ' ' '\n' <<<"${times[$c]}" | grep . | bench_median)
    printf "%-9s %7.2f %6.2f %s\n" "$c" "$m" "$(awk -v a="$m" -v b="$base" 'BEGIN {print a / b}')" \
      "$(scores "$work/$c/out.bam" "$truth")"
  done
  # The rescue stage's share of the default --bam run (its last run).
  local rescue_s
  rescue_s=$(bench_rescue_seconds "$work/bam/config.txt")
  echo "rescue stage: ${rescue_s:-?} s of the last bam run's $(cat "$work/bam/time.txt") s;" \
    "bam / bam-plain: $(awk -v a="$(tr ' ' '\n' <<<"${times[bam]}" | grep . | bench_median)" \
      -v b="$(tr ' ' '\n' <<<"${times[bam-plain]}" | grep . | bench_median)" 'BEGIN {printf "%.2f", a / b}')"
}

for length in $lengths; do
  base=$(simulate "$length")
  bench_set "simulated, $reads_n reads of $length bases, 0-$mismatches mismatches, $indels with an indel" \
    "$base.fq" "$base.tsv" "$length" "$runs"
done
bench_set "reads_10k.fq.gz (10,000 reads of 100 bases)" "$data/reads_10k.fq.gz" \
  "$data/reads_10k.truth.tsv" 100 "$runs"
