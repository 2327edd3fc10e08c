#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Times `brx-offer xml` on two lots of 10,000 priced positions against what the export cannot do
# without: reading the lot from the tender file (`tenderdb dump` of its positions) and writing
# the offer's bytes (`cp` of the offer file), and writes the medians and ratios to its section of
# bench/RESULTS.md. The first lot is priced only, as `tenderdb generate` makes it; in the second
# every position offers six values, three of them long texts. The goal: the export costs at most
# 1.5 times that reference in processor time and twice in wall time, on both lots.
# Run by hand: bench/offer_export_bench.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/bench_lib.sh
positions=${POSITIONS:-10000}
runs=${RUNS:-10}
rounds=${ROUNDS:-5}
bench_start "${1:-build}"
json=$work/times.json
lots=(priced long)
declare -A bytes
for lot in "${lots[@]}"; do
    mkdir "$work/$lot"
    if [ "$lot" = long ]; then
        long_offer_tender "$work/$lot" "$positions"
    else
        offer_tender "$work/$lot" "$positions"
    fi
    LC_ALL=bg_BG.UTF-8 "$brxoffer" xml "$work/$lot/DB.mdb" 1 --type price \
        -o "$work/$lot/offer.xml" >/dev/null
    bytes[$lot]=$(stat -c %s "$work/$lot/offer.xml")
done

# Several rounds, each timing every command on both lots in turn, so that other work on the
# machine weighs on each alike; every figure is the median over the rounds.
declare -A samples
for ((round = 1; round <= rounds; round++)); do
    for lot in "${lots[@]}"; do
        dir=$work/$lot
        # The export makes its file durable before it replaces an old one; cp does not sync.
        LC_ALL=bg_BG.UTF-8 hyperfine -N --warmup 2 --runs "$runs" --export-json "$json" \
            --style none \
            -n "$lot-export" "$brxoffer xml $dir/DB.mdb 1 --type price -o $dir/export.xml" \
            -n "$lot-read" "$tenderdb dump $dir/DB.mdb PREDLOGENIA" \
            -n "$lot-write" "cp $dir/offer.xml $dir/copy.xml" \
            -n "$lot-durable" "dd if=$dir/offer.xml of=$dir/durable.xml conv=fsync status=none" \
            >/dev/null
        add_samples "$json" "$lot-export" "$lot-read" "$lot-write" "$lot-durable"
    done
done
load=$(cut -d' ' -f1-3 /proc/loadavg)
sum() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a + b }'; }
ms() { printf '%.2f' "$(median "${samples[$1]}")"; }
cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -1)

# The table and the ratios of one lot; prints its ratios to standard output too.
lot_report() {
    local lot=$1 title=$2
    local export=$(median "${samples[$lot-export]}") export_cpu=$(median "${samples[$lot-export.cpu]}")
    local reference reference_cpu durable_reference
    reference=$(sum "$(median "${samples[$lot-read]}")" "$(median "${samples[$lot-write]}")")
    reference_cpu=$(sum "$(median "${samples[$lot-read.cpu]}")" \
        "$(median "${samples[$lot-write.cpu]}")")
    durable_reference=$(sum "$(median "${samples[$lot-read]}")" \
        "$(median "${samples[$lot-durable]}")")
    echo "$lot: export / (read + write) $(ratio "$export" "$reference") wall," \
        "$(ratio "$export_cpu" "$reference_cpu") processor" >&2
    cat <<LOT
### $title

The price offer is ${bytes[$lot]} bytes.

| command | wall time | processor time (user + system) |
|---|---|---|
| \`brx-offer xml\` | $(ms "$lot-export") ms | $(ms "$lot-export.cpu") ms |
| \`tenderdb dump\` (read the lot) | $(ms "$lot-read") ms | $(ms "$lot-read.cpu") ms |
| \`cp\` (write the bytes) | $(ms "$lot-write") ms | $(ms "$lot-write.cpu") ms |
| \`dd conv=fsync\` (write the bytes and sync them) | $(ms "$lot-durable") ms | $(ms "$lot-durable.cpu") ms |

export / (read + write): **$(ratio "$export" "$reference")** in wall time (goal: at most 2),
**$(ratio "$export_cpu" "$reference_cpu")** in processor time (goal: at most 1.5);
export / (read + synced write): $(ratio "$export" "$durable_reference") in wall time.
LOT
}

section=$(cat <<REPORT
<!-- offer_export_bench.sh: begin -->
## brx-offer xml on a lot of $positions positions

Written by \`bench/offer_export_bench.sh\` on $(date -u +%Y-%m-%d) (commit $(git rev-parse --short HEAD)).

- Machine: $cpu, $(nproc) cores shared with other work; load average after the runs: $load
- Tenders: \`tenderdb generate --lots 1 --positions $positions\` with the company and tender
  parameters filled in, one lot taken part in, every position priced; the second also with
  every offer parameter in the price offer and filled in at every position (three texts of up
  to 250 characters and two numbers beside the price)
- Each command as a whole process (hyperfine): $rounds rounds of $runs runs of each after 2
  warm-up runs, the two lots in turn; the figures are medians over the rounds
- Reference, measured in the same runs: reading the lot (\`tenderdb dump\` of PREDLOGENIA, which
  holds only that lot) plus writing the offer's bytes (\`cp\` of the offer file)

$(lot_report priced "Priced positions")

$(lot_report long "Six offered values a position, three of them long texts")
<!-- offer_export_bench.sh: end -->
REPORT
)

write_results_section offer_export_bench.sh "$section"
