#!/usr/bin/env bash
# Adding a type whose sample the desktop opens with an application that
# takes options: the type's application is the desktop entry itself, and
# opening a file starts it as the desktop does, options and all. Once the
# entry is gone, opening a file asks the two questions of a missing
# application (answered No, No: the type stays).

source "$(dirname "$0")/lib.sh"
e2e_begin add_entry_type "$@"

folder="$E2E_TMP/drafts"
mkdir -p "$folder"
printf 'a sample\n' >"$folder/sample.txt"
printf 'another\n' >"$folder/later.txt"

printf '[Types]\nNumber Of Types=0\n' | write_settings
associate_stub_with text/plain "\"$ARGSTUB\" --writer --new-window %U"
entry="$ENTRY"

step "start with no stored type"
start_main

step "Edit > Add New Type with the sample, a name and a description"
add_type_by_menu "$folder/sample.txt" Drafts "Unfinished texts"

# Its files are later.txt and sample.txt, in that order.
step "the new type opens its first file with the entry's options"
choose_main_type 0 1
expect_opens 0 --writer --new-window "$folder/later.txt"

step "the entry is removed: opening a file asks whether to look for the application"
rm -- "$entry"
open_main_file 1
answer_box Escape

step "then whether to delete the type: No keeps it"
answer_box Escape
still_running

step "leave with File > Exit: the entry's path is stored as the application"
exit_by_menu
expect_settings \
    "Number Of Types" 1 \
    "Type name 0" Drafts "Type ext 0" txt "Type path 0" "$folder/" \
    "Type desc 0" "Unfinished texts" "Type app 0" "$entry"
