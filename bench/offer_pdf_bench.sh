#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Times `brx-offer pdf` of a lot of 1,000 priced positions, the price and the technical offer,
# against `brx-offer xml` of the same lot measured in the same runs: the same program start,
# file reading and checks, without laying out and painting pages. Writes the medians, pages per
# second and the ratios to its section of bench/RESULTS.md.
# Run by hand: bench/offer_pdf_bench.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/bench_lib.sh
positions=${POSITIONS:-1000}
runs=${RUNS:-5}
rounds=${ROUNDS:-3}
bench_start "${1:-build}"
json=$work/times.json
offer_tender "$work" "$positions"
"$brxoffer" pdf "$work/DB.mdb" 1 --type price -o "$work/price.pdf" >/dev/null
"$brxoffer" pdf "$work/DB.mdb" 1 --type technical -o "$work/technical.pdf" >/dev/null
pages() { pdfinfo "$1" | sed -n 's/^Pages: *//p'; }
pages_price=$(pages "$work/price.pdf")
pages_technical=$(pages "$work/technical.pdf")

price_cmd="$brxoffer pdf $work/DB.mdb 1 --type price -o $work/price.pdf"
technical_cmd="$brxoffer pdf $work/DB.mdb 1 --type technical -o $work/technical.pdf"
xml_cmd="$brxoffer xml $work/DB.mdb 1 --type price -o $work/offer.xml"
# Several rounds, each timing all three, so that other work on the machine weighs on each alike;
# every figure is the median over the rounds.
declare -A samples
for ((round = 1; round <= rounds; round++)); do
    LC_ALL=bg_BG.UTF-8 hyperfine -N --warmup 1 --runs "$runs" --export-json "$json" --style none \
        -n price "$price_cmd" -n technical "$technical_cmd" -n xml "$xml_cmd" >/dev/null
    for name in price technical xml; do
        samples[$name]+="$(jq -r --arg n "$name" '.results[] | select(.command == $n) | .median' "$json") "
    done
done
load=$(cut -d' ' -f1-3 /proc/loadavg)
divide() { awk -v a="$1" -v b="$2" -v f="$3" 'BEGIN { printf f, a / b }'; }
m_price=$(median "${samples[price]}")
m_technical=$(median "${samples[technical]}")
m_xml=$(median "${samples[xml]}")
cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")

section=$(cat <<REPORT
<!-- offer_pdf_bench.sh: begin -->
## brx-offer pdf of a 1,000-position lot

Written by \`bench/offer_pdf_bench.sh\` on $(date -u +%Y-%m-%d) (commit $(git rev-parse --short HEAD)).

- Machine: $cpu, $(nproc) cores shared with other work; load average after the runs: $load;
  offscreen platform, ${build_type:-default} build
- Tender: \`tenderdb generate --lots 1 --positions $positions\` with the company and tender
  parameters filled in, one lot taken part in, every position priced; the shipped templates
- Each command as a whole process (hyperfine): $rounds rounds of $runs runs of each after 1
  warm-up run; the figures are medians over the rounds
- Reference, measured in the same runs: \`brx-offer xml\` of the same lot (program start,
  reading the lot, the checks and writing a file, without layout and painting)

| command | pages | wall time | pages per second |
|---|---|---|---|
| \`brx-offer pdf --type price\` | $pages_price | $m_price s | $(divide "$pages_price" "$m_price" %.1f) |
| \`brx-offer pdf --type technical\` | $pages_technical | $m_technical s | $(divide "$pages_technical" "$m_technical" %.1f) |
| \`brx-offer xml --type price\` (reference) | – | $m_xml s | – |

pdf / xml: **$(divide "$m_price" "$m_xml" %.1f)** for the price offer,
**$(divide "$m_technical" "$m_xml" %.1f)** for the technical offer.
<!-- offer_pdf_bench.sh: end -->
REPORT
)

write_results_section offer_pdf_bench.sh "$section"
echo "price $m_price s ($pages_price pages), technical $m_technical s ($pages_technical pages), xml $m_xml s"
