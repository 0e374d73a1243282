#!/usr/bin/env bash
# A stored count of types that is not a number ("abc"): an error report (a
# box with the error icon) comes up before the main window; after OK the
# program runs on with no types. File > Exit stores a count of 0 and keeps
# the unreadable file, unchanged, as Orvane.conf.bak. The next start reads
# the new file without a report.

source "$(dirname "$0")/lib.sh"
e2e_begin bad_count "$@"

docs="$E2E_TMP/documents"
mkdir -p "$docs"
{
    printf '[Types]\nNumber Of Types=abc\n'
    type_lines 0 Letters txt "$docs/" "Letters to friends" "$ARGSTUB"
} | write_settings
original="$E2E_TMP/original.conf"
cp -- "$SETTINGS_FILE" "$original"

step "start: an error report comes up before the main window"
start_orvane
wait_box
report="$BOX"
has_no_window "$MAIN_TITLE" || fail "the main window is shown while the error report is up"

step "the report carries the error icon at its left"
import -window "$report" "$E2E_OUT/report.png" || fail "could not take a picture of the report"
geometry "$report"
convert "$E2E_OUT/report.png" -crop "60x${HEIGHT}+0+0" +repage "$E2E_OUT/report-icon.png"
red="$(red_fraction "$E2E_OUT/report-icon.png")"
note "red share of the report's left edge: $red"
awk -v r="$red" 'BEGIN { exit !(r > 0.02) }' ||
    fail "no error icon at the left of the report (red share $red; see $E2E_OUT/report.png)"

step "OK (Return) closes the report; the main window comes up"
answer_box Return
wait_main_window
still_running

step "the main window works: Edit > Preferences opens and Done closes it"
open_preferences
close_preferences

step "leave with File > Exit"
exit_by_menu
expect_settings "Number Of Types" 0
expect_no_setting "Type name 0"
[ -f "$SETTINGS_FILE.bak" ] || fail "there is no $SETTINGS_FILE.bak"
cmp -s "$original" "$SETTINGS_FILE.bak" ||
    fail "Orvane.conf.bak differs from the unreadable file:"$'\n'"$(diff "$original" "$SETTINGS_FILE.bak" | sed 's/^/    | /')"

step "start again: no report, the main window comes up at once"
start_main
has_no_window Orvane 150 60 || fail "a box titled \"Orvane\" is up at the second start"
exit_by_menu
expect_settings "Number Of Types" 0
