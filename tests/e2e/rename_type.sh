#!/usr/bin/env bash
# Renaming a type in the Preferences window: Change Name offers the old name
# (a person adds to it); Escape keeps the old name. The renamed type keeps
# its folder, ending and application, and File > Exit stores the new name in
# its place among the others.
#
# usage: rename_type.sh ORVANE ARGSTUB

source "$(dirname "$0")/lib.sh"
e2e_begin rename_type "$@"

docs="$E2E_TMP/documents"
mkdir -p "$docs/letters" "$docs/reports" "$docs/notes"
touch "$docs/letters/dear.txt" "$docs/reports/q1.txt" "$docs/reports/q2.txt" "$docs/notes/todo.md"

{
    printf '[Types]\nNumber Of Types=3\n'
    type_lines 0 Letters txt "$docs/letters/" "Letters to friends" "$ARGSTUB"
    type_lines 1 Reports txt "$docs/reports/" "Reports for the office" "$ARGSTUB"
    type_lines 2 Notes md "$docs/notes/" "Notes" "$ARGSTUB"
} | write_settings

step "start with three stored types and open Edit > Preferences"
start_orvane
wait_main_window
open_preferences

step "choose the second type, Reports, in the Preferences window"
choose_pref_type 1 3

step "Change Name, then Escape: nothing changes"
pref_button "Change Name"
wait_box
focus "$BOX"
keys Escape
wait_for 15 "the name box to close" window_hidden "$BOX"

step "Change Name again: add \" 2026\" to the offered old name and press Return"
pref_button "Change Name"
wait_box
focus "$BOX"
keys End
type_text " 2026"
keys Return
wait_for 15 "the name box to close" window_hidden "$BOX"

step "Done closes the Preferences window"
pref_button Done
wait_for 15 "the Preferences window to close" window_hidden "$PREF"

step "the renamed type still opens its own files with its application"
choose_main_type 1 3
forget_started
open_main_file 1
expect_started_with "$docs/reports/q2.txt"

step "leave with File > Exit"
menu f x
expect_exit 0
expect_settings \
    "Number Of Types" 3 \
    "Type name 0" Letters "Type path 0" "$docs/letters/" \
    "Type name 1" "Reports 2026" "Type ext 1" txt "Type path 1" "$docs/reports/" \
    "Type desc 1" "Reports for the office" "Type app 1" "$ARGSTUB" \
    "Type name 2" Notes "Type ext 2" md "Type path 2" "$docs/notes/"
