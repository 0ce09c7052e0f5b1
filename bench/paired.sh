#!/usr/bin/env bash
# Paired-end benchmark at the bundled size: quilm2splice -C2 with --mates and
# --bam against HISAT2 piped into samtools sort, on simulated pairs from the
# real 1 Mbp human region of ../shared/data, scored against their true origin.
#
#   bench/paired.sh [bin-folder] [runs]       # defaults: build/bin, 3 runs (or RUNS)
#   PAIRS=50000 bench/paired.sh build/bin 1   # fewer pairs, one run
#   OURS=0 bench/paired.sh                    # HISAT2 only
#   OURS_ARGS=-E3 bench/paired.sh             # more options of ours, for both of its runs
#
# Generates (once, kept in BENCH_PAIRED, default /tmp/quilm-bench-paired) PAIRS
# (default 200,000) pairs of 100-base mates with bench/simulate_reads.py (seed
# 11): inserts of 200 to 500 bases, three in four from the spliced transcript
# sequences of the annotation, the rest from the genome; 0 to 3 mismatches per
# mate, no indels; mate 1 on either strand. Also kept there: the two mates
# interleaved into one FASTQ, the truth table, and HISAT2's index of the
# region (hisat2-build -p2, built once).
#
# Every run times under GNU time, side by side and in alternating order:
#   ours        quilm2splice -C2 -D<mate 1> --mates=<mate 2> --bam=ours.bam in a
#               fresh work folder: the default path, rescue stage included (so
#               its time includes building its seed indexes; the peer's index
#               is built once beforehand)
#   ours-plain  the same with --no-rescue: the run's hits exported as they are
#   peer        hisat2 -p2 -x <index> -1 <mate 1> -2 <mate 2> | samtools sort -@2
# and scores the BAMs with bench/score_alignments.py: pairs with both mates
# placed correctly, pairs with FLAG 0x2 on both mates, reads placed correctly.
# It prints each run, the medians (wall, CPU, peak RSS of the largest process),
# the median of the runs' ratios of each of ours over the peer, the rescue
# stage's time (from the run's config.txt) and its share of the default run,
# then the last run's full score tables.
#
# Then the pairing overhead of the export: on the last --no-rescue run's outputs,
# quilm2sam --sort --unmapped --threads=2 with -D<mate 1> --mates=<mate 2>
# against the same export of the interleaved FASTQ as one single-end dataset
# (the same reads in the same numbering; the run's files read without its
# stamp, which names the mate files), `runs` times each in turns; it prints
# the medians and the median ratio paired/single (target: at most 1.10).
#
# HISAT2 comes from the Debian package hisat2 (apt-get install hisat2); without
# it the peer is skipped. samtools is needed for the scores. OURS=0 skips our
# side, for instance with a build whose quilm2splice has no --mates.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
bin=$(bench_bin "${1:-}")
runs=${2:-${RUNS:-3}}
pairs_n=${PAIRS:-200000}
ours=${OURS:-1}
ours_args=${OURS_ARGS:-}   # more options of ours, split at blanks
data=$(cd "$root/../shared/data" && pwd)
genome=$data/chr22_20M.fa
gtf=$data/chr22_20M.genes.gtf
cache=${BENCH_PAIRED:-/tmp/quilm-bench-paired}
score=$root/bench/score_alignments.py

[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "runs must be a positive number, not '$runs'" >&2; exit 1; }
[[ $pairs_n =~ ^[1-9][0-9]*$ ]] || { echo "PAIRS must be a positive number, not '$pairs_n'" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs GNU time (/usr/bin/time, Debian package time)" >&2; exit 1; }
command -v samtools >/dev/null || { echo "needs samtools for the scores (apt-get install samtools)" >&2; exit 1; }
if [ "$ours" = 1 ]; then
  for p in quilm2splice quilm2sam quilm_x junctor; do
    [ -x "$bin/$p" ] || { echo "no $bin/$p: build the project first" >&2; exit 1; }
  done
  for p in quilm2splice quilm2sam; do
    "$bin/$p" --help 2>&1 | grep -q -- '--mates=' ||
      { echo "$bin/$p --help lists no --mates= option: this build cannot map pairs (OURS=0 runs HISAT2 only)" >&2; exit 1; }
  done
fi
peer=1
if ! command -v hisat2 >/dev/null || ! command -v hisat2-build >/dev/null; then
  echo "hisat2 is not installed (apt-get install hisat2): the comparison is skipped"
  peer=0
fi
[ "$ours" = 1 ] || [ "$peer" = 1 ] || { echo "nothing to run: OURS=0 and no hisat2" >&2; exit 1; }

mkdir -p "$cache"
base=$cache/pairs_$pairs_n
r1=${base}_1.fq r2=${base}_2.fq both=${base}_both.fq truth=${base}_truth.tsv
if [ ! -s "$truth" ]; then
  echo "generating $pairs_n pairs in ${base}_* ..."
  python3 "$root/bench/simulate_reads.py" "$genome" "$gtf" --count="$pairs_n" --seed=11 \
    --reads="$r1.tmp" --mates="$r2.tmp" --interleaved="$both.tmp" --truth="$truth.tmp"
  mv "$r1.tmp" "$r1"; mv "$r2.tmp" "$r2"; mv "$both.tmp" "$both"; mv "$truth.tmp" "$truth"
fi
idx=$cache/hisat2/region
if [ "$peer" = 1 ] && [ ! -s "$idx.done" ]; then
  echo "building the HISAT2 index of the region in $cache/hisat2 ..."
  mkdir -p "$cache/hisat2"
  hisat2-build -p2 "$genome" "$idx" > "$cache/hisat2/build.log" 2>&1 ||
    { echo "hisat2-build failed; see $cache/hisat2/build.log" >&2; exit 1; }
  date > "$idx.done"
fi

scratch=$(mktemp -d /tmp/quilm-bench-paired-run.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
times=$scratch/times.txt     # case wall user sys maxrss-KiB
scores=$scratch/scores.txt   # case pairs-correct% proper% reads-correct%
rescue=$scratch/rescue.txt   # rescue-stage-s wall-s of each default run
: > "$times"; : > "$scores"; : > "$rescue"

# timed CASE COMMAND...: runs the command under GNU time in the current
# directory and appends its figures; stdout and stderr go to CASE.out/.err.
timed() {
  local case=$1; shift
  if ! /usr/bin/time -f "%e %U %S %M" -o "$scratch/t" "$@" > "$case.out" 2> "$case.err"; then
    echo "$case failed in $PWD; its stderr:" >&2; tail -20 "$case.err" >&2; exit 1
  fi
  echo "$case $(cat "$scratch/t")" >> "$times"
}

# scored CASE BAM: appends the three figures of a BAM to the scores.
scored() {
  python3 "$score" "$2" "$truth" --kv > "$2.kv"
  awk -F= -v c="$1" '{v[$1] = $2} END {print c, v["pairs_correct_pct"], v["pairs_proper_pct"], v["all_reads_correct_pct"]}' \
    "$2.kv" >> "$scores"
}

# ours_run CASE RUN [OPTION...]: one of our runs with --bam, in a fresh folder.
ours_run() {
  local case=$1 run=$2 dir=$scratch/$1$2
  shift 2
  mkdir -p "$dir"; cd "$dir"
  # shellcheck disable=SC2086  # ours_args is split into options on purpose
  timed "$case" "$bin/quilm2splice" -R"$genome" -D"$r1" --mates="$r2" -O"$dir/out" -W"$dir/work" -C2 \
    --bam="$dir/$case.bam" "$@" $ours_args
  scored "$case" "$dir/$case.bam"
  if [ "$case" = ours ]; then
    # A rescue stage that found nothing to rescue starts no workers and
    # writes no time line: 0 s.
    local rescue_s
    rescue_s=$(bench_rescue_seconds "$dir/config.txt")
    echo "${rescue_s:-0} $(nth ours 2 "$times" | tail -1)" >> "$rescue"
  fi
  # The last run's outputs serve the export measurement.
  if [ "$run" -lt "$runs" ]; then rm -rf "$dir"; fi
  cd "$scratch"
}

# ours_both RUN: the default --bam run and the one without the rescue stage,
# in turns.
ours_both() {
  if [ $(($1 % 2)) = 0 ]; then
    ours_run ours-plain "$1" --no-rescue; ours_run ours "$1"
  else
    ours_run ours "$1"; ours_run ours-plain "$1" --no-rescue
  fi
}

peer_run() {
  local run=$1 dir=$scratch/peer$1
  mkdir -p "$dir"; cd "$dir"
  timed peer bash -c 'set -o pipefail; hisat2 -p2 -x "$1" -1 "$2" -2 "$3" 2> hisat2.err | samtools sort -@2 -o "$4" -' \
    _ "$idx" "$r1" "$r2" "$dir/peer.bam"
  scored peer "$dir/peer.bam"
  if [ "$run" -lt "$runs" ]; then rm -rf "$dir"; fi
  cd "$scratch"
}

# nth CASE FIELD FILE: the field of every line of CASE, in run order.
nth() { awk -v c="$1" -v k="$2" '$1 == c {print $k}' "$3"; }
# ratios A B FIELD FILE: the run-by-run ratios of A's field over B's.
ratios() { paste <(nth "$1" "$3" "$4") <(nth "$2" "$3" "$4") | awk '{print $1 / $2}'; }

echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "genome $(basename "$genome"), $pairs_n pairs of 100-base mates (inserts 200-500), $runs runs"
for run in $(seq 1 "$runs"); do
  # Alternate which program goes first so that a drift in the machine's
  # load falls on both.
  if [ $((run % 2)) = 0 ]; then
    [ "$peer" = 0 ] || peer_run "$run"; [ "$ours" = 0 ] || ours_both "$run"
  else
    [ "$ours" = 0 ] || ours_both "$run"; [ "$peer" = 0 ] || peer_run "$run"
  fi
  awk -v r="$run" 'FNR == NR {wall[$1] = $2; next} {s[$1] = sprintf("pairs correct %s%%, properly paired %s%%, reads correct %s%%", $2, $3, $4)}
    END {
      printf "run %d:", r
      n = split("ours ours-plain peer", c, " ")
      for (i = 1; i <= n; i++) {
        if (!(c[i] in wall)) continue
        printf " %s %.2f s (%s", c[i], wall[c[i]], s[c[i]]
        if (c[i] != "peer" && ("peer" in wall)) printf "; ratio to peer %.2f", wall[c[i]] / wall["peer"]
        printf ");"
      }
      printf "\n" }' "$times" "$scores"
done

echo
echo "medians of $runs runs:"
printf "  %-56s %8s %9s %9s %9s %9s %9s\n" "" "wall" "CPU" "peak RSS" "pairs ok" "proper" "reads ok"
for c in ours ours-plain peer; do
  grep -q "^$c " "$times" || continue
  case $c in
    ours) label="ours: quilm2splice -C2 --mates --bam $ours_args" ;;
    ours-plain) label="ours-plain: the same with --no-rescue" ;;
    peer) label="peer: hisat2 -p2 | samtools sort -@2" ;;
  esac
  printf "  %-56s %6.2f s %7.2f s %5.0f MiB %8.2f%% %8.2f%% %8.2f%%\n" "$label" \
    "$(nth $c 2 "$times" | bench_median)" "$(awk -v c=$c '$1 == c {print $3 + $4}' "$times" | bench_median)" \
    "$(nth $c 5 "$times" | bench_median | awk '{print $1 / 1024}')" \
    "$(nth $c 2 "$scores" | bench_median)" "$(nth $c 3 "$scores" | bench_median)" "$(nth $c 4 "$scores" | bench_median)"
done
awk '{print $1, $2, $3 + $4}' "$times" > "$scratch/wall_cpu"
if [ "$ours" = 1 ] && [ "$peer" = 1 ]; then
  for c in ours ours-plain; do
    printf "ratio %s/peer, median of the runs' ratios: wall %.2f, CPU %.2f\n" "$c" \
      "$(ratios "$c" peer 2 "$scratch/wall_cpu" | bench_median)" "$(ratios "$c" peer 3 "$scratch/wall_cpu" | bench_median)"
  done
fi
if [ "$ours" = 1 ]; then
  printf "rescue stage of the default run: median %.2f s, %.1f%% of its wall time (median of the runs' shares);" \
    "$(awk '{print $1}' "$rescue" | bench_median)" "$(awk '{print 100 * $1 / $2}' "$rescue" | bench_median)"
  printf " ours/ours-plain, median of the runs' ratios: wall %.2f\n" \
    "$(ratios ours ours-plain 2 "$scratch/wall_cpu" | bench_median)"
fi
echo "load average at the end of the runs: $(cut -d' ' -f1-3 /proc/loadavg)"

for c in ours ours-plain peer; do
  [ -s "$scratch/${c}$runs/$c.bam" ] || continue
  echo
  echo "scores of the last run, $c:"
  python3 "$score" "$scratch/${c}$runs/$c.bam" "$truth" | sed 's/^./  &/'
done

[ "$ours" = 1 ] || exit 0
echo
echo "pairing overhead of the export (quilm2sam --sort --unmapped --threads=2 on the last --no-rescue run's outputs):"
run_out=$scratch/ours-plain$runs/out
# The run's stamp names the two mate files, so the export refuses the
# interleaved one beside it: the single-end export reads the same six files
# under a name without the stamp.
unstamped=$scratch/unstamped/out
mkdir -p "$scratch/unstamped"
for f in quilm2high quilm2low quilm2mutil splice-high splice-low splice-mutil; do
  ln -s "$run_out-$f" "$unstamped-$f"
done
export_paired() { timed export_paired "$bin/quilm2sam" -R"$genome" -D"$r1" --mates="$r2" -O"$run_out" \
                  -o "$scratch/x_paired.bam" --sort --unmapped --threads=2; }
export_single() { timed export_single "$bin/quilm2sam" -R"$genome" -D"$both" -O"$unstamped" \
                  -o "$scratch/x_single.bam" --sort --unmapped --threads=2; }
cd "$scratch"
for i in $(seq 1 "$runs"); do
  if [ $((i % 2)) = 0 ]; then export_single; export_paired; else export_paired; export_single; fi
done
for c in export_paired export_single; do
  printf "  %-46s %6.2f s %7.2f s CPU %5.0f MiB\n" \
    "$([ $c = export_paired ] && echo "-D<mate 1> --mates=<mate 2>" || echo "-D<interleaved mates> (single-end)")" \
    "$(nth $c 2 "$times" | bench_median)" "$(awk -v c=$c '$1 == c {print $3 + $4}' "$times" | bench_median)" \
    "$(nth $c 5 "$times" | bench_median | awk '{print $1 / 1024}')"
done
echo "  records: paired $(samtools view -c "$scratch/x_paired.bam"), single-end $(samtools view -c "$scratch/x_single.bam")"
ratio=$(ratios export_paired export_single 2 "$times" | bench_median)
printf "  ratio paired/single-end, median of the runs' ratios: %.3f (target <= 1.10)\n" "$ratio"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
