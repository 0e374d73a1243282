#!/usr/bin/env bash
# Adding a type through Edit > Add New Type: the sample file is typed into
# the real file dialog, the name and description into the two boxes, and the
# application is the one the desktop associates with the sample (a desktop
# entry and a default-application list of the test's own). The new type
# opens its files with that application, and File > Exit stores it after the
# type that was there before.

source "$(dirname "$0")/lib.sh"
e2e_begin add_type "$@"

letters="$E2E_TMP/letters"
folder="$E2E_TMP/plain text files"
mkdir -p "$letters" "$folder"
touch "$letters/dear.txt"
printf 'a sample\n' >"$folder/sample.txt"
printf 'another\n' >"$folder/Second.TXT"
printf 'not text\n' >"$folder/picture.png"

{
    printf '[Types]\nNumber Of Types=1\n'
    type_lines 0 Letters txt "$letters/" "Letters to friends" /bin/true
} | write_settings
associate_stub_with text/plain

step "start with one stored type"
start_main

step "Edit > Add New Type: the sample's full path, then the name and the description"
add_type_by_menu "$folder/sample.txt" "Plain Text" "Notes, drafts and lists"

# The type list now holds two entries (the height of the drop-down list
# shows that); the new one is second. Its files are sample.txt and
# Second.TXT, in that order.
step "choose the new type and double-click its second file"
choose_main_type 1 2
expect_opens 1 "$folder/Second.TXT"

step "leave with File > Exit"
exit_by_menu
expect_settings \
    "Number Of Types" 2 \
    "Type name 0" Letters "Type ext 0" txt "Type path 0" "$letters/" \
    "Type desc 0" "Letters to friends" "Type app 0" /bin/true \
    "Type name 1" "Plain Text" "Type ext 1" txt "Type path 1" "$folder/" \
    "Type desc 1" "Notes, drafts and lists" "Type app 1" "$ARGSTUB"
