#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Times `brx-offer check` on a tender of 200 lots x 50,000 positions, every lot taken part in and
# prices as generated (a line for every unpriced position), against reading the positions
# table whole (`tenderdb dump` of PREDLOGENIA) in the same runs, and prints a section for
# bench/RESULTS.md. Run by hand: bench/offer_check_bench.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/bench_lib.sh
runs=${RUNS:-5}
bench_start "${1:-build}"
"$tenderdb" generate --lots 200 --positions 50000 "$work/DB.mdb" >/dev/null 2>&1
"$tenderdb" update "$work/DB.mdb" PREDLOGENIA --where-null MASTER_CODE --set PP2_TEXT=Да >/dev/null
lines=$("$brxoffer" check "$work/DB.mdb" | wc -l || true)

# brx-offer check exits 1 when it finds problems, which here it must.
hyperfine -N -i --warmup 1 --runs "$runs" --export-json "$work/times.json" --style none \
    -n check "$brxoffer check $work/DB.mdb" \
    -n read "$tenderdb dump $work/DB.mdb PREDLOGENIA" >/dev/null
median_of() { jq -r --arg n "$1" '.results[] | select(.command == $n) | .median * 1000' "$work/times.json"; }
check=$(median_of check)
read=$(median_of read)
cat <<REPORT
## brx-offer check on a tender of 200 lots x 50,000 positions

Written by \`bench/offer_check_bench.sh\` on $(date -u +%Y-%m-%d) (commit $(git rev-parse --short HEAD)).

- Machine: $(lscpu | sed -n 's/^Model name: *//p' | head -1), $(nproc) cores shared with other
  work; load average after the runs: $(cut -d' ' -f1-3 /proc/loadavg)
- Tender: \`tenderdb generate --lots 200 --positions 50000\`, every lot taken part in, prices as generated:
  $lines problem lines
- Each command as a whole process (hyperfine), $runs runs after 1 warm-up run, medians

| command | wall time |
|---|---|
| \`brx-offer check\` | $(printf '%.0f' "$check") ms |
| \`tenderdb dump\` of PREDLOGENIA (reference) | $(printf '%.0f' "$read") ms |

check / dump: **$(awk -v a="$check" -v b="$read" 'BEGIN { printf "%.2f", a / b }')**
REPORT
