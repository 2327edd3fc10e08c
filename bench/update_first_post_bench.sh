#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Times `tenderdb update` of one row chosen by PRODUCT_CODE, as a whole process, on a generated
# tender of 50,500 positions against the same on the sample tender of 40, and writes the medians
# and their ratio to its section of bench/RESULTS.md. Each run is a fresh writer, so each pays
# whatever a writer's first post costs; the goal: at most 1.5 times the sample tender's figure.
# Also counts the pages each one reads (pread calls, by strace), which the machine's load does
# not blur.
# Run by hand: bench/update_first_post_bench.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/bench_lib.sh
runs=${RUNS:-20}
rounds=${ROUNDS:-5}
shared=${BRX_SHARED_DIR:-../shared}
bench_start "${1:-build}"
json=$work/times.json

"$tenderdb" generate --lots 500 --positions 50500 "$work/big.mdb" >/dev/null
cp "$shared/mdb/tender-sample.mdb" "$work/sample.mdb"
# A position in the middle of each tender: the first column of its dump is PRODUCT_CODE and a
# position has a MASTER_CODE (the second); lots have none.
middle_position() {
    "$tenderdb" dump "$1" PREDLOGENIA | awk -F, 'NR > 1 && $2 != "" { codes[n++] = $1 }
        END { print codes[int(n / 2)] }'
}
big_code=$(middle_position "$work/big.mdb")
sample_code=$(middle_position "$work/sample.mdb")
big_cmd="$tenderdb update $work/big.mdb PREDLOGENIA --where PRODUCT_CODE=$big_code --set PP1_NUMBER=12.5"
sample_cmd="$tenderdb update $work/sample.mdb PREDLOGENIA --where PRODUCT_CODE=$sample_code --set PP1_NUMBER=12.5"

pages_read() {
    strace -f -e trace=pread64 -o "$work/trace" $1 >/dev/null
    grep -c 'pread64(' "$work/trace"
}
big_reads=$(pages_read "$big_cmd")
sample_reads=$(pages_read "$sample_cmd")

# Rounds that each time both commands, so that other work on the machine weighs on both alike;
# every figure is the median over the rounds.
declare -A samples
for ((round = 1; round <= rounds; round++)); do
    hyperfine -N --warmup 3 --runs "$runs" --export-json "$json" --style none \
        -n big "$big_cmd" -n sample "$sample_cmd" >/dev/null
    add_samples "$json" big sample
done
load=$(cut -d' ' -f1-3 /proc/loadavg)
m_big=$(median "${samples[big]}")
m_sample=$(median "${samples[sample]}")
m_big_cpu=$(median "${samples[big.cpu]}")
m_sample_cpu=$(median "${samples[sample.cpu]}")
cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -1)

section=$(cat <<REPORT
<!-- update_first_post_bench.sh: begin -->
## tenderdb update of one row by PRODUCT_CODE: a fresh writer's first post

Written by \`bench/update_first_post_bench.sh\` on $(date -u +%Y-%m-%d) (commit $(git rev-parse --short HEAD)).

- Machine: $cpu, $(nproc) cores shared with other work; load average after the runs: $load
- Tenders: \`tenderdb generate --lots 500 --positions 50500\` and the sample tender (40
  positions); the position in the middle of each, found by PRODUCT_CODE (through its index
  where the tender has one)
- Each command as a whole process (hyperfine): $rounds rounds of $runs runs of each after 3
  warm-up runs, the two interleaved round by round; the figures are medians over the rounds

| tender | wall time | processor time (user + system) | pages read (pread calls) |
|---|---|---|---|
| 50,500 positions | $(printf '%.2f' "$m_big") ms | $(printf '%.2f' "$m_big_cpu") ms | $big_reads |
| sample, 40 positions | $(printf '%.2f' "$m_sample") ms | $(printf '%.2f' "$m_sample_cpu") ms | $sample_reads |

big / sample: **$(ratio "$m_big" "$m_sample")** in wall time, **$(ratio "$m_big_cpu" "$m_sample_cpu")**
in processor time (goal: at most 1.5).
<!-- update_first_post_bench.sh: end -->
REPORT
)

write_results_section update_first_post_bench.sh "$section"
echo "big $m_big ms ($big_reads reads), sample $m_sample ms ($sample_reads reads): ratio $(ratio "$m_big" "$m_sample")"
