#!/usr/bin/env bash
# Renaming a type in the Preferences window: Change Name offers the old name
# (a person adds to it); Escape keeps the old name. The renamed type keeps
# its folder, ending and application, and File > Exit stores the new name in
# its place among the others.

source "$(dirname "$0")/lib.sh"
e2e_begin rename_type "$@"

store_types Letters Reports Notes
touch "$docs/letters/dear.txt" "$docs/reports/q1.txt" "$docs/reports/q2.txt" "$docs/notes/todo.md"

step "start with three stored types and open Edit > Preferences"
start_main
open_preferences

step "choose the second type, Reports, in the Preferences window"
choose_pref_type 1 3

step "Change Name, then Escape: nothing changes"
pref_button "Change Name"
answer_box Escape

step "Change Name again: add \" 2026\" to the offered old name and press Return"
pref_button "Change Name"
fill_box End " 2026"

step "Done closes the Preferences window"
close_preferences

step "the renamed type still opens its own files with its application"
choose_main_type 1 3
expect_opens 1 "$docs/reports/q2.txt"

step "leave with File > Exit"
exit_by_menu
expect_settings \
    "Number Of Types" 3 \
    "Type name 0" Letters "Type path 0" "$docs/letters/" \
    "Type name 1" "Reports 2026" "Type ext 1" txt "Type path 1" "$docs/reports/" \
    "Type desc 1" "Reports for the office" "Type app 1" "$ARGSTUB" \
    "Type name 2" Notes "Type ext 2" md "Type path 2" "$docs/notes/"
