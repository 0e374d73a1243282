#!/usr/bin/env bash
# Adding a type whose sample the desktop opens with an application that
# takes options: the type's application is the desktop entry itself, and
# opening a file starts it as the desktop does, options and all. Once the
# entry is gone, opening a file asks the two questions of a missing
# application (answered No, No: the type stays).
#
# usage: add_entry_type.sh ORVANE ARGSTUB

source "$(dirname "$0")/lib.sh"
e2e_begin add_entry_type "$@"

folder="$E2E_TMP/drafts"
mkdir -p "$folder"
printf 'a sample\n' >"$folder/sample.txt"
printf 'another\n' >"$folder/later.txt"

printf '[Types]\nNumber Of Types=0\n' | write_settings
entry="$XDG_DATA_HOME/applications/orvane-e2e-writer.desktop"
cat >"$entry" <<ENTRY
[Desktop Entry]
Type=Application
Name=Writer with options
Exec="$ARGSTUB" --writer --new-window %U
MimeType=text/plain;
ENTRY
printf '[Default Applications]\ntext/plain=orvane-e2e-writer.desktop\n' >"$XDG_CONFIG_HOME/mimeapps.list"

step "start with no stored type"
start_orvane
wait_main_window

step "Edit > Add New Type with the sample, a name and a description"
menu d a
wait_window Open 300 200
dialog="$WID"
focus "$dialog"
type_text "$folder/sample.txt"
keys Return
wait_for 15 "the file dialog to close" window_hidden "$dialog"
for answer in "Drafts" "Unfinished texts"; do
    wait_box
    focus "$BOX"
    type_text "$answer"
    keys Return
    wait_for 15 "the box to close" window_hidden "$BOX"
done

# Its files are later.txt and sample.txt, in that order.
step "the new type opens its first file with the entry's options"
choose_main_type 0 1
forget_started
open_main_file 0
expect_started_with --writer --new-window "$folder/later.txt"

step "the entry is removed: opening a file asks whether to look for the application"
rm -- "$entry"
open_main_file 1
wait_box
first="$BOX"
focus "$first"
keys Escape
wait_for 15 "the first question to close" window_hidden "$first"

step "then whether to delete the type: No keeps it"
wait_box
focus "$BOX"
keys Escape
wait_for 15 "the second question to close" window_hidden "$BOX"
still_running

step "leave with File > Exit: the entry's path is stored as the application"
menu f x
expect_exit 0
expect_settings \
    "Number Of Types" 1 \
    "Type name 0" Drafts "Type ext 0" txt "Type path 0" "$folder/" \
    "Type desc 0" "Unfinished texts" "Type app 0" "$entry"
