# Helpers shared by every benchmark script in bench/; sourced, not run.
#
#   bench_bin [DIR]              the programs' folder as an absolute path
#                                (default: build/bin of the source tree)
#   bench_data DEFAULT           the data cache: $BENCH_DATA, else DEFAULT;
#                                created, kept between runs
#   bench_median                 median of the numbers on stdin: the middle
#                                one, or the mean of the two middle ones for
#                                an even count (0 for none)
#   bench_tree PID               PID and all its descendants
#   bench_run CASE LOG CMD...    runs CMD under GNU time in the current
#                                directory, sampling the memory of its process
#                                tree four times a second; appends to LOG:
#                                CASE wall-s cpu-s peak-rss-KiB worker-rss-KiB machine-pss-KiB
#   bench_need_hisat2            0 when hisat2 and hisat2-build are there
#                                (installs them with apt-get as root)
#   bench_hisat2_index FA DIR    builds HISAT2's index of FA in DIR once
#                                (DIR/idx.*; the build's time in DIR/build.time)
#   bench_score BAM TRUTH        "placed-correct% junction-correct% unmapped%"
#   bench_rescue_seconds CONFIG  the rescue stage's seconds from a run's
#                                config.txt; nothing when it ran none

bench_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

bench_bin() {
  local dir=${1:-$bench_root/build/bin}
  [ -d "$dir" ] || { echo "bench: no programs folder '$dir' (run make build first)" >&2; return 1; }
  (cd "$dir" && pwd)
}

bench_data() {
  local dir=${BENCH_DATA:-$1}
  mkdir -p "$dir" && (cd "$dir" && pwd)
}

bench_median() {
  sort -g | awk '{v[NR] = $1} END {if (NR == 0) print 0; else if (NR % 2) print v[(NR + 1) / 2];
                                  else print (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

bench_tree() {
  ps -e -o pid=,ppid= | awk -v top="$1" '{ kids[$2] = kids[$2] " " $1 }
    END { queue[1] = top; n = 1
          for (i = 1; i <= n; i++) { print queue[i]; m = split(kids[queue[i]], k, " ")
                                     for (j = 1; j <= m; j++) queue[++n] = k[j] } }'
}

# Worker peak: the largest RSS that one quilm_x, junctor or quilm_rescue
# process (or a hisat2-align process) reached; machine peak: the largest sum
# of Pss over the tree in one sample, so that pages shared by several
# processes (a mapped index) count once.
bench_run() {
  local case=$1 log=$2
  shift 2
  local samples times pid
  samples=$(mktemp) times=$(mktemp)
  /usr/bin/time -f "%e %U %S %M" -o "$times" "$@" > "$case.out" 2> "$case.err" &
  pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    bench_tree "$pid" | while read -r p; do
      awk -v c="$(cat "/proc/$p/comm" 2>/dev/null || true)" \
        '/^Rss:/ {r = $2} /^Pss:/ {s = $2} END {if (r != "") print c, r, s}' \
        "/proc/$p/smaps_rollup" 2>/dev/null || true
    done | awk '{ pss += $3; if ($1 ~ /^(quilm_x|junctor|quilm_rescue|hisat2-align)/ && $2 > w) w = $2 }
                END { print w + 0, pss + 0 }' >> "$samples"
    sleep 0.25
  done
  if ! wait "$pid"; then
    echo "$case failed; its stderr:" >&2
    tail -20 "$case.err" >&2
    rm -f "$samples" "$times"
    return 1
  fi
  awk -v c="$case" -v t="$(cat "$times")" '
    { if ($1 > w) w = $1; if ($2 > p) p = $2 }
    END { split(t, x, " "); printf "%s %s %.2f %s %d %d\n", c, x[1], x[2] + x[3], x[4], w, p }' \
    "$samples" >> "$log"
  rm -f "$samples" "$times"
}

bench_need_hisat2() {
  if ! command -v hisat2-build > /dev/null || ! command -v hisat2 > /dev/null; then
    if [ "$(id -u)" = 0 ]; then
      echo "installing hisat2 ..." >&2
      DEBIAN_FRONTEND=noninteractive apt-get install -y hisat2 > /dev/null 2>&1 ||
        { apt-get update > /dev/null 2>&1 &&
          DEBIAN_FRONTEND=noninteractive apt-get install -y hisat2 > /dev/null 2>&1; } || true
    fi
  fi
  command -v hisat2-build > /dev/null && command -v hisat2 > /dev/null
}

bench_hisat2_index() {
  local fa=$1 dir=$2
  [ -e "$dir/idx.done" ] && return 0
  echo "building HISAT2's index of $(basename "$fa") (once, kept in $dir) ..." >&2
  mkdir -p "$dir"
  /usr/bin/time -f "%e %U %S %M" -o "$dir/build.time" \
    hisat2-build -q -p 2 "$fa" "$dir/idx" > "$dir/build.log" 2>&1 ||
    { echo "hisat2-build failed; see $dir/build.log" >&2; return 1; }
  touch "$dir/idx.done"
}

bench_score() {
  python3 "$(dirname "${BASH_SOURCE[0]}")/score_alignments.py" "$1" "$2" --kv 2> /dev/null |
    awk -F= '{v[$1] = $2} END {printf "%s %s %s", v["all_reads_correct_pct"],
                                      v["junction_reads_correct_pct"], v["all_reads_unmapped_pct"]}'
}

bench_rescue_seconds() {
  { sed -n 's/^The Time of rescue 14 seed used : \([0-9.]*\) sec$/\1/p' "$1" 2> /dev/null || true; } |
    tail -1
}
