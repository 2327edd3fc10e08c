# SPDX-License-Identifier: Apache-2.0
# Shell functions shared by the benchmark scripts; sourced, not run.

# Sets $build to BUILD, $tenderdb and $brxoffer to its programs, and stops when one is missing;
# makes $work, a scratch folder removed when the script ends.
bench_start() {
    local program
    build=$1
    tenderdb="$build/tools/tenderdb"
    brxoffer="$build/tools/brx-offer"
    for program in "$tenderdb" "$brxoffer"; do
        [ -x "$program" ] || { echo "no $program: build first (cmake --build $build)" >&2; exit 1; }
    done
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
}

# Writes DIR/DB.mdb: a generated tender of one lot of POSITIONS positions, taken part in and
# every position priced, with the company and the tender parameters filled in as the bidder
# would before exporting or printing. Needs $tenderdb.
offer_tender() {
    local dir=$1 positions=$2
    "$tenderdb" generate --lots 1 --positions "$positions" --description "$dir/generated.json" \
        "$dir/generated.mdb" >/dev/null
    jq '.SPECS[0] += {"IME_NA_FIRMATA": "ЕТ Иван", "KP1_NUMBER": 30, "KP2_NUMBER": 30,
                      "KP3_NUMBER": 30, "KP4_NUMBER": 30, "KP1_TEXT": "да", "KP2_TEXT": "да",
                      "KP3_TEXT": "да", "KP4_TEXT": "да"}' "$dir/generated.json" >"$dir/DB.json"
    "$tenderdb" create "$dir/DB.json" "$dir/DB.mdb" >/dev/null
}

# Writes DIR/DB.mdb as offer_tender does, but with every offer parameter in the price offer and
# filled in at every position: three long texts (up to 250 characters, '&' and '<' among them)
# and two numbers beside the price, six offered values a position. Needs $tenderdb.
long_offer_tender() {
    local dir=$1 positions=$2
    offer_tender "$dir" "$positions"
    jq '.SPECS[0] += {"PP1_OFERTA": 2,
            "PP2_TIP": 2, "PP2_OFERTA": 2, "PP2_OGRANICHENIE": 5, "PP2_IME": "Търговско наименование",
            "PP3_TIP": 2, "PP3_OFERTA": 2, "PP3_OGRANICHENIE": 5, "PP3_IME": "Производител",
            "PP4_TIP": 3, "PP4_OFERTA": 2, "PP4_OGRANICHENIE": 2, "PP4_RAZRYAD": 2,
            "PP4_IME": "Срок на доставка (дни)",
            "PP5_TIP": 2, "PP5_OFERTA": 2, "PP5_OGRANICHENIE": 0,
            "PP5_IME": "Описание на предлаганото изделие",
            "PP6_TIP": 3, "PP6_OFERTA": 2, "PP6_OGRANICHENIE": 3, "PP6_RAZRYAD": 0,
            "PP6_IME": "Гаранционен срок (месеци)"}
        | .PREDLOGENIA |= map(if .MASTER_CODE then . + {
            "PP2_TEXT": ("„" + .IME + "“ – модел " + (.PRODUCT_CODE | tostring)
                + ", серия „Стандарт & Плюс“, каталожен номер BG-" + (.PRODUCT_CODE | tostring)
                + "/2027, в опаковка <стерилна>")[0:250],
            "PP3_TEXT": ("„Медицинска техника & Консумативи“ ЕООД, гр. Пловдив, бул. „Христо Ботев“ № "
                + ((.PRODUCT_CODE % 200) | tostring) + ", производствена база в гр. Асеновград; "
                + "сертификат ISO 13485:2016 № " + (.PRODUCT_CODE | tostring)
                + ", СЕ маркировка, декларация за съответствие на производителя")[0:250],
            "PP4_NUMBER": ((.PRODUCT_CODE % 97) + 1.25),
            "PP5_TEXT": ("Изделието отговаря на техническата спецификация: " + .IME + "; "
                + (.INFO1 // "") + "; " + (.INFO2 // "") + "; срок на годност не по-малко от 24 "
                + "месеца от датата на доставка, съхранение при температура от 5 до 25 °C")[0:250],
            "PP6_NUMBER": (12 + (.PRODUCT_CODE % 25))} else . end)' \
        "$dir/DB.json" >"$dir/long.json"
    "$tenderdb" create --force "$dir/long.json" "$dir/DB.mdb" >/dev/null
}

# Replaces the section of bench/RESULTS.md between the lines "<!-- NAME: begin -->" and
# "<!-- NAME: end -->" with SECTION, which holds both lines; appends it when there is none.
# RESULTS.md is shared by the benchmarks: the others' sections stay as they are.
write_results_section() {
    local name=$1 section=$2 results=bench/RESULTS.md
    [ -f "$results" ] || printf '# Benchmark results\n\n' >"$results"
    if grep -qF "<!-- $name: begin -->" "$results"; then
        awk -v section="$section" -v begin="<!-- $name: begin -->" -v end="<!-- $name: end -->" '
            $0 == begin { print section; skip = 1; next }
            $0 == end { skip = 0; next }
            !skip' "$results" >"$results.new"
        mv "$results.new" "$results"
    else
        printf '\n%s\n' "$section" >>"$results"
    fi
}

# The median of the numbers in the text $1 (separated by spaces), with three decimals.
median() {
    tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -g |
        awk '{ v[NR] = $1 } END { printf "%.3f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# $1 / $2, with two decimals.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# Appends to the caller's associative array `samples`, for each NAME of hyperfine's JSON file
# $1: its median wall time to samples[NAME] and its mean processor time (user + system) to
# samples[NAME.cpu], both in milliseconds. Processor time suffers less than wall time when other
# work shares the machine.
add_samples() {
    local json=$1 name
    shift
    for name in "$@"; do
        samples[$name]+="$(jq -r --arg n "$name" '.results[] | select(.command == $n) | .median * 1000' "$json") "
        samples[$name.cpu]+="$(jq -r --arg n "$name" '.results[] | select(.command == $n) | (.user + .system) * 1000' "$json") "
    done
}
