#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The carry of an offer from an older tender file as the bidder goes through it on screen: the
# client started on the amended file under a virtual X server, the lots page reached from the
# keyboard, "Пренасяне от друг файл..." pressed, the old file chosen in the file dialog, the
# preview's question answered Yes, and the offer check opening with what is left; then the files
# are read from outside.
#
#   carry_gui_road.sh BUILD_DIR SOURCE_DIR [SCREENSHOT_DIR]
#
# With SCREENSHOT_DIR, the question with the preview and the offer check are saved there as PNG.
set -euo pipefail

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Waits up to 20 s for a visible window of process $pid whose name matches the pattern; prints
# its id.
wait_for_window() {
    local pattern=$1 id name
    for _ in $(seq 100); do
        for id in $(xdotool search --onlyvisible --pid "$pid" --name '.' 2>/dev/null); do
            name=$(xdotool getwindowname "$id" 2>/dev/null) || continue
            [[ $name =~ $pattern ]] && { echo "$id"; return 0; }
        done
        sleep 0.2
    done
    return 1
}

window_names() {
    local id
    for id in $(xdotool search --onlyvisible --pid "$pid" --name '.' 2>/dev/null); do
        xdotool getwindowname "$id"
    done
}

# The part that runs inside the virtual X server.
if [ "${1:-}" = --session ]; then
    build=$2 work=$3
    unset QT_QPA_PLATFORM
    cd "$work"
    LC_ALL=bg_BG.UTF-8 "$build/app/brx-client" >"$work/client.log" 2>&1 &
    pid=$!
    trap 'kill "$pid" 2>/dev/null || true' EXIT

    main=$(wait_for_window '^ТЕНДИРО') || { cat "$work/client.log" >&2; fail "no main window"; }
    # The tender is read once the window shows, behind a progress window on a slow machine:
    # keys sent before that is over could go to it. Wait for the main window to stand alone.
    alone=0
    for _ in $(seq 100); do
        if [ "$(window_names | wc -l)" -eq 1 ]; then
            alone=$((alone + 1))
            [ "$alone" -ge 5 ] && break
        else
            alone=0
        fi
        sleep 0.2
    done
    # From the company page to the lots page, whose grid takes the focus; past the buttons of
    # lot 1, which is taken part in ("Деклариране участие" is disabled), to the carry's.
    xdotool windowfocus --sync "$main" key --delay 150 ctrl+Tab Tab Tab Tab Tab space
    dialog=
    for _ in $(seq 100); do
        dialog=$(xdotool search --onlyvisible --pid "$pid" --name '.' | grep -vx "$main" | head -n1) &&
            [ -n "$dialog" ] && break
        sleep 0.2
    done
    [ -n "$dialog" ] || fail "no file dialog opened; windows: $(window_names | tr '\n' '|')"
    sleep 0.5
    # The file dialog starts with its file name input focused.
    xdotool windowfocus --sync "$dialog" type --delay 20 "$work/old.mdb"
    xdotool key Return
    question=$(wait_for_window '^Потвърждение$') ||
        fail "no question with the preview; windows: $(window_names | tr '\n' '|')"
    import -window "$question" "$work/preview.png" 2>/dev/null || true
    # Yes is the default answer.
    xdotool windowfocus --sync "$question" key Return
    check=$(wait_for_window '^Проверка на офертата$') ||
        fail "the offer check did not open; windows: $(window_names | tr '\n' '|')"
    import -window "$check" "$work/check.png" 2>/dev/null || true
    echo "$check" >"$work/check-window"
    exit 0
fi

build=$(realpath "$1")
source=$(realpath "$2")
work=$(mktemp -d "${TMPDIR:-/tmp}/brx-carry.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/tools/tenderdb" create "$source/tests/offer/carry/old-tender.json" "$work/old.mdb" >/dev/null
"$build/tools/tenderdb" create "$source/tests/offer/carry/new-tender.json" "$work/DB.mdb" >/dev/null
old_sum=$(sha256sum <"$work/old.mdb")

xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --session "$build" "$work"
[ -s "$work/check-window" ] || fail "the road did not reach the offer check"

# What the file holds now, read by mdb-export: the price of position 5 and the participation in
# lot 2 carried, the company named; the old file as it was.
prices=$(mdb-export "$work/DB.mdb" PREDLOGENIA | awk -F, 'NR == 1 {
        for (i = 1; i <= NF; ++i) column[$i] = i; next }
    { print $column["PRODUCT_CODE"] "=" $column["PP1_NUMBER"] "/" $column["PP2_TEXT"] }')
grep -qx '105=5/"E"' <<<"$prices" || fail "position 5 was not carried: $prices"
grep -qx '200=/"Да"' <<<"$prices" || fail "the participation in lot 2 was not carried: $prices"
mdb-export "$work/DB.mdb" SPECS | grep -q '"Медикс ООД"' || fail "the company name was not carried"
[ "$(sha256sum <"$work/old.mdb")" = "$old_sum" ] || fail "the old file changed"
"$build/tools/tenderdb" check "$work/DB.mdb" >/dev/null || fail "the new file is not sound"
if [ -n "${3:-}" ]; then
    mkdir -p "$3"
    cp "$work"/preview.png "$work"/check.png "$3"/ 2>/dev/null || true
fi
echo "carried on screen: file dialog, preview, Yes, offer check; the files read back"
