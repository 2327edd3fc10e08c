#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs the build into a temporary prefix and starts the installed client as a desktop does:
# through its desktop entry, on the DB.mdb of a tender in a folder whose name has spaces and
# Cyrillic letters, under a virtual X server so that its windows can be looked at from outside;
# before that, prints an offer of that tender with the installed brx-offer, without a display.
#
#   installed_client_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Waits up to 20 s for a visible window whose name matches the pattern; prints its id.
wait_for_window() {
    local pattern=$1 id
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n1) || true
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.2
    done
    return 1
}

# The installed client's processes, known by their program file, which lies in this test's
# own temporary prefix: the desktop entry starts the client detached from this script.
end_installed_clients() {
    local process
    for process in /proc/[0-9]*; do
        [ "$(readlink "$process/exe" 2>/dev/null)" = "$prefix/bin/brx-client" ] &&
            kill "${process#/proc/}" 2>/dev/null
    done
    return 0
}

visible_window_names() {
    local id
    for id in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
        xdotool getwindowname "$id"
    done
}

# The part that runs inside the virtual X server.
if [ "${1:-}" = --session ]; then
    prefix=$2 tender=$3 title=$4 log=$5
    trap end_installed_clients EXIT
    # On the virtual X server, whatever platform the tests around run on.
    unset QT_QPA_PLATFORM
    # Started from elsewhere: only the desktop entry's Exec brings the client to the tender. Its
    # output goes to a file, so that no pipe of the caller stays open while it runs.
    cd /
    PATH="$prefix/bin:$PATH" gio launch "$prefix/share/applications/brx-client.desktop" \
        "$tender/DB.mdb" >"$log" 2>&1
    main=$(wait_for_window '^ТЕНДИРО') || {
        visible_window_names >&2
        cat "$log" >&2
        fail "the main window did not show; the windows above did"
    }
    pid=$(xdotool getwindowpid "$main")

    [ "$(readlink "/proc/$pid/cwd")" = "$tender" ] ||
        fail "the client runs in $(readlink "/proc/$pid/cwd"), not in the tender's folder"
    [ "$(readlink "/proc/$pid/exe")" = "$prefix/bin/brx-client" ] ||
        fail "the running client is $(readlink "/proc/$pid/exe"), not the installed one"
    # The title as the window manager and the task bar see it, with nothing appended.
    shown=$(xdotool getwindowname "$main")
    [ "$shown" = "$title" ] || fail "the window is titled '$shown', expected '$title'"
    # A missing template or help text would have shown an error box instead of, or beside, the
    # main window.
    names=$(visible_window_names)
    [ "$names" = "$title" ] || fail "other windows are open beside the main window: $names"
    # The help text is read at every press of Помощ (F1); a missing or unreadable file shows an
    # error box instead of the help window.
    xdotool windowfocus --sync "$main" key F1
    wait_for_window '^Помощ$' >/dev/null || {
        visible_window_names >&2
        fail "F1 did not open the help window; the windows above are open"
    }
    names=$(visible_window_names | LC_ALL=C sort | tr '\n' '|')
    [ "$names" = "Помощ|$title|" ] || fail "beside the main and help windows: $names"
    exit 0
fi

build=$(realpath "$1")
source=$(realpath "$2")
work=$(mktemp -d "${TMPDIR:-/tmp}/brx-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/brx-client bin/brx-offer bin/tenderdb; do
    [ -x "$prefix/$file" ] || fail "$file is not installed"
done
desktop-file-validate "$prefix/share/applications/brx-client.desktop"
xmllint --noout "$prefix/share/icons/hicolor/scalable/apps/brx-client.svg"
appstreamcli validate --no-net "$prefix"/share/metainfo/*.metainfo.xml >/dev/null ||
    fail "the appstream metadata does not validate"
# Each program has its manual page, made from its --help, and says the version the project
# declares, without a display.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
for program in brx-client brx-offer tenderdb; do
    [ "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/$program" --version)" = \
        "$program $version" ] ||
        fail "$program --version does not say $version"
    page=$prefix/share/man/man1/$program.1.gz
    [ -f "$page" ] || fail "$program has no manual page"
done
MANPATH="$prefix/share/man" LC_ALL=C.UTF-8 man brx-offer 2>/dev/null | grep -q "template FILE.mdb LOT_CODE" ||
    fail "man brx-offer does not show the commands"
[ -f "$prefix/share/doc/brx-client/copyright" ] || fail "the copyright file is not installed"
# Everything delivered with the program lies in the data folder, byte for byte, where the client
# looks when its own folder lacks it.
if [ -d "$source/resources" ]; then
    (cd "$source/resources" && find . -type f) | while read -r file; do
        cmp -s "$source/resources/$file" "$prefix/share/brx-client/$file" ||
            fail "resources/$file is not installed to share/brx-client"
    done
fi

tender="$work/Търг 2026 – консумативи"
mkdir "$tender"
"$prefix/bin/tenderdb" create "$source/samples/tender-sample.json" "$tender/DB.mdb" >/dev/null
"$prefix/bin/tenderdb" update "$tender/DB.mdb" SPECS --where KONKURS=20270925 \
    --set "IME_NA_KONKURSA=Консумативи" --set "IME_NA_FIRMATA=Медика ООД" \
    --set KP1_NUMBER=10 --set "KP2_TEXT=по банков път" >/dev/null

# The installed brx-offer finds the installed templates and prints lot 1, every position of
# which is priced, without a display.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    "$prefix/bin/brx-offer" pdf "$tender/DB.mdb" 1 --type price -o "$work/offer.pdf" >/dev/null ||
    fail "the installed brx-offer did not print the price offer"
pdftotext "$work/offer.pdf" - | grep -q "Медика ООД" ||
    fail "the installed brx-offer's price offer does not name the company"

xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --session "$prefix" "$tender" \
    "ТЕНДИРО  (Велдора, Консумативи, Медика ООД)" "$work/client.log"
echo "installed brx-offer printed an offer; installed client started in the tender's folder with its title and no error"
