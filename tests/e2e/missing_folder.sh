#!/usr/bin/env bash
# A type whose folder has gone: choosing it asks whether to go and change
# the path; "No" (Escape) removes the type. The type lists are filled again
# without it, the types after it move up and still work, and File > Exit
# stores the catalogue without it.
#
# usage: missing_folder.sh ORVANE ARGSTUB

source "$(dirname "$0")/lib.sh"
e2e_begin missing_folder "$@"

docs="$E2E_TMP/documents"
mkdir -p "$docs/letters" "$docs/old reports" "$docs/notes"
touch "$docs/letters/dear.txt" "$docs/old reports/q1.txt" "$docs/notes/todo.md" "$docs/notes/list.md"

{
    printf '[Types]\nNumber Of Types=3\n'
    type_lines 0 Letters txt "$docs/letters/" "Letters to friends" "$ARGSTUB"
    type_lines 1 "Old Reports" txt "$docs/old reports/" "Reports nobody reads" "$ARGSTUB"
    type_lines 2 Notes md "$docs/notes/" "Notes" "$ARGSTUB"
} | write_settings
rm -rf -- "$docs/old reports"

step "start with three stored types, the second one's folder gone"
start_orvane
wait_main_window

step "choosing the type whose folder is gone asks what to do"
choose_main_type 1 3
wait_box
focus "$BOX"

step "answer No (Escape): the type is removed"
keys Escape
wait_for 15 "the question to close" window_hidden "$BOX"
still_running

# The list holds two entries now (its height shows that); the second is
# Notes, whose files are list.md and todo.md.
step "the type after the removed one moved up and opens its files"
choose_main_type 1 2
forget_started
open_main_file 1
expect_started_with "$docs/notes/todo.md"

step "leave with File > Exit"
menu f x
expect_exit 0
expect_settings \
    "Number Of Types" 2 \
    "Type name 0" Letters "Type path 0" "$docs/letters/" \
    "Type name 1" Notes "Type ext 1" md "Type path 1" "$docs/notes/" "Type desc 1" Notes \
    "Type app 1" "$ARGSTUB"
expect_no_setting "Type name 2" "Type path 2"
