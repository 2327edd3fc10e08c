#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Times `tenderdb dump` against `mdb-export` on the biggest table (by row count) of the shared
# Jet 4 files, both as whole processes, and writes the medians and their ratios to its section
# of bench/RESULTS.md.
# Run by hand: bench/dump_vs_mdb_export.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/bench_lib.sh
build=${1:-build}
tenderdb="$build/tools/tenderdb"
shared=${BRX_SHARED_DIR:-../shared}
runs=${RUNS:-30}
rounds=${ROUNDS:-7}
[ -x "$tenderdb" ] || { echo "no $tenderdb: build first (cmake --build $build)" >&2; exit 1; }

# The biggest table: the row counts of every table in every file the engine reads (Jet 3 files
# are refused and so left out).
best_rows=-1
for file in "$shared"/mdb/real/*.mdb "$shared"/mdb/*.mdb; do
    schema=$("$tenderdb" schema "$file" 2>/dev/null) || continue
    while read -r name rows; do
        if [ "$rows" -gt "$best_rows" ]; then
            best_rows=$rows best_file=$file best_table=$name
        fi
    done < <(sed -n 's/^table \(.*\) (\([0-9]*\) rows, .*/\1 \2/p' <<<"$schema")
done
echo "biggest table: $best_table in $best_file ($best_rows rows)"

# Several rounds, each timing both commands, so that other work on the machine weighs on both
# alike; every figure is the median over the rounds.
json=$(mktemp)
trap 'rm -f "$json"' EXIT
declare -A samples
for ((round = 1; round <= rounds; round++)); do
    hyperfine -N --warmup 5 --runs "$runs" --export-json "$json" --style none \
        -n tenderdb "$tenderdb dump $best_file $best_table" \
        -n mdb-export "mdb-export $best_file $best_table" >/dev/null
    add_samples "$json" tenderdb mdb-export
done
load=$(cut -d' ' -f1-3 /proc/loadavg)
ours=$(median "${samples[tenderdb]}")
theirs=$(median "${samples[mdb-export]}")
ours_cpu=$(median "${samples[tenderdb.cpu]}")
theirs_cpu=$(median "${samples[mdb-export.cpu]}")
ratio=$(ratio "$theirs" "$ours")
cpu_ratio=$(awk -v a="$theirs_cpu" -v b="$ours_cpu" 'BEGIN { printf "%.2f", a / b }')
cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -1)

section=$(cat <<REPORT
<!-- dump_vs_mdb_export.sh: begin -->
## tenderdb dump against mdb-export

Written by \`bench/dump_vs_mdb_export.sh\` on $(date -u +%Y-%m-%d) (commit $(git rev-parse --short HEAD)).

- Machine: $cpu, $(nproc) cores
- Table: \`$best_table\` of \`$(basename "$best_file")\`, $best_rows rows (the biggest of the shared Jet 4 files)
- Each command as a whole process (hyperfine): $rounds rounds of $runs runs of both after 5 warm-up
  runs each; the figures are medians over the rounds
- mdbtools $(dpkg-query -W -f='${Version}' mdbtools 2>/dev/null || echo "version unknown"); load average after the runs: $load

| command | wall time | processor time (user + system) |
|---|---|---|
| \`tenderdb dump\` | $(printf '%.2f' "$ours") ms | $(printf '%.2f' "$ours_cpu") ms |
| \`mdb-export\` | $(printf '%.2f' "$theirs") ms | $(printf '%.2f' "$theirs_cpu") ms |

mdb-export / tenderdb: **$ratio** in wall time, **$cpu_ratio** in processor time (above 1 means
tenderdb is faster).

The table is small, so both figures are mostly process start-up and the reading of the file's
catalog; the test suite checks that the two outputs agree.
<!-- dump_vs_mdb_export.sh: end -->
REPORT
)

write_results_section dump_vs_mdb_export.sh "$section"
echo "tenderdb $ours ms ($ours_cpu ms cpu), mdb-export $theirs ms ($theirs_cpu ms cpu), ratio $ratio ($cpu_ratio cpu)"
