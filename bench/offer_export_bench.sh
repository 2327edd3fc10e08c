#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Times `brx-offer xml` on a lot of 10,000 priced positions against what the export cannot do
# without: reading the lot from the tender file (`tenderdb dump` of its positions) and writing
# the offer's bytes (`cp` of the offer file), and writes the medians and ratios to its section of
# bench/RESULTS.md. The goal: the export costs at most twice that reference.
# Run by hand: bench/offer_export_bench.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/bench_lib.sh
positions=${POSITIONS:-10000}
runs=${RUNS:-10}
rounds=${ROUNDS:-5}
bench_start "${1:-build}"
json=$work/times.json
offer_tender "$work" "$positions"
"$brxoffer" xml "$work/DB.mdb" 1 --type price -o "$work/offer.xml" >/dev/null
bytes=$(stat -c %s "$work/offer.xml")

export_cmd="$brxoffer xml $work/DB.mdb 1 --type price -o $work/export.xml"
read_cmd="$tenderdb dump $work/DB.mdb PREDLOGENIA"
write_cmd="cp $work/offer.xml $work/copy.xml"
# The export makes its file durable before it replaces an old one; cp does not sync.
durable_cmd="dd if=$work/offer.xml of=$work/durable.xml conv=fsync status=none"
# Several rounds, each timing all three, so that other work on the machine weighs on each alike;
# every figure is the median over the rounds.
declare -A samples
for ((round = 1; round <= rounds; round++)); do
    LC_ALL=bg_BG.UTF-8 hyperfine -N --warmup 2 --runs "$runs" --export-json "$json" --style none \
        -n export "$export_cmd" -n read "$read_cmd" -n write "$write_cmd" \
        -n durable "$durable_cmd" >/dev/null
    add_samples "$json" export read write durable
done
load=$(cut -d' ' -f1-3 /proc/loadavg)
sum() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a + b }'; }
for key in export read write durable export.cpu read.cpu write.cpu durable.cpu; do
    declare "m_${key/./_}=$(median "${samples[$key]}")"
done
reference=$(sum "$m_read" "$m_write")
reference_cpu=$(sum "$m_read_cpu" "$m_write_cpu")
durable_reference=$(sum "$m_read" "$m_durable")
cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -1)

section=$(cat <<REPORT
<!-- offer_export_bench.sh: begin -->
## brx-offer xml on a lot of $positions positions

Written by \`bench/offer_export_bench.sh\` on $(date -u +%Y-%m-%d) (commit $(git rev-parse --short HEAD)).

- Machine: $cpu, $(nproc) cores shared with other work; load average after the runs: $load
- Tender: \`tenderdb generate --lots 1 --positions $positions\` with the company and tender
  parameters filled in, one lot taken part in, every position priced; the price offer is
  $bytes bytes
- Each command as a whole process (hyperfine): $rounds rounds of $runs runs of each after 2
  warm-up runs; the figures are medians over the rounds
- Reference, measured in the same runs: reading the lot (\`tenderdb dump\` of PREDLOGENIA, which
  holds only that lot) plus writing the offer's bytes (\`cp\` of the offer file)

| command | wall time | processor time (user + system) |
|---|---|---|
| \`brx-offer xml\` | $(printf '%.2f' "$m_export") ms | $(printf '%.2f' "$m_export_cpu") ms |
| \`tenderdb dump\` (read the lot) | $(printf '%.2f' "$m_read") ms | $(printf '%.2f' "$m_read_cpu") ms |
| \`cp\` (write the bytes) | $(printf '%.2f' "$m_write") ms | $(printf '%.2f' "$m_write_cpu") ms |
| \`dd conv=fsync\` (write the bytes and sync them) | $(printf '%.2f' "$m_durable") ms | $(printf '%.2f' "$m_durable_cpu") ms |

export / (read + write): **$(ratio "$m_export" "$reference")** in wall time,
**$(ratio "$m_export_cpu" "$reference_cpu")** in processor time (goal: at most 2);
export / (read + synced write): $(ratio "$m_export" "$durable_reference") in wall time;
export / cp alone: $(ratio "$m_export" "$m_write") in wall time.
<!-- offer_export_bench.sh: end -->
REPORT
)

write_results_section offer_export_bench.sh "$section"
echo "export $m_export ms, read $m_read ms, write $m_write ms: ratio $(ratio "$m_export" "$reference")"
