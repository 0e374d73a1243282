#!/usr/bin/env bash
# A type whose folder has gone: choosing it asks whether to go and change
# the path; "No" (Escape) removes the type. The type lists are filled again
# without it, the types after it move up and still work, and File > Exit
# stores the catalogue without it.

source "$(dirname "$0")/lib.sh"
e2e_begin missing_folder "$@"

store_types Letters "Old Reports" Notes
touch "$docs/letters/dear.txt" "$docs/notes/todo.md" "$docs/notes/list.md"
rm -rf -- "$docs/old reports"

step "start with three stored types, the second one's folder gone"
start_main

step "choosing the type whose folder is gone asks what to do"
choose_main_type 1 3

step "answer No (Escape): the type is removed"
answer_box Escape
still_running

# The list holds two entries now (its height shows that); the second is
# Notes, whose files are list.md and todo.md.
step "the type after the removed one moved up and opens its files"
choose_main_type 1 2
expect_opens 1 "$docs/notes/todo.md"

step "leave with File > Exit"
exit_by_menu
expect_settings \
    "Number Of Types" 2 \
    "Type name 0" Letters "Type path 0" "$docs/letters/" \
    "Type name 1" Notes "Type ext 1" md "Type path 1" "$docs/notes/" "Type desc 1" Notes \
    "Type app 1" "$ARGSTUB"
expect_no_setting "Type name 2" "Type path 2"
