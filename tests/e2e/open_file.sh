#!/usr/bin/env bash
# Choosing the second of three stored types and double-clicking its files
# starts the type's application with the file's full path as its only
# argument: blanks and quotes in the name arrive intact, and the list holds
# the type's files whatever the case of their ending, sorted by name, and
# names that are not UTF-8 reach the application byte for byte.
#
# usage: open_file.sh ORVANE ARGSTUB

source "$(dirname "$0")/lib.sh"
e2e_begin open_file "$@"

docs="$E2E_TMP/documents"
mkdir -p "$docs/letters" "$docs/reports/sub.txt" "$docs/notes"
touch "$docs/letters/dear.txt"
touch "$docs/reports/zeta.txt" "$docs/reports/alpha.TXT" "$docs/reports/it's a \"report\".txt" \
    "$docs/reports/summary.md" "$docs/reports/txt" "$docs/reports/Beta.Txt" \
    "$docs/reports/caf"$'\xe9'".txt" "$docs/reports/"$'\xff'".txt"
touch "$docs/notes/todo.md"

{
    printf '[Types]\nNumber Of Types=3\n'
    type_lines 0 Letters txt "$docs/letters/" "Letters to friends" "$ARGSTUB"
    type_lines 1 Reports txt "$docs/reports/" "Reports for the office" "$ARGSTUB"
    type_lines 2 Notes md "$docs/notes/" "Notes" "$ARGSTUB"
} | write_settings

step "start with three stored types"
start_orvane
wait_main_window

step "choose the second type, Reports, from the type list"
choose_main_type 1 3

# In order: alpha.TXT, Beta.Txt, caf\xe9.txt, it's a "report".txt, zeta.txt,
# \xff.txt (a byte no text holds sorts last). The folder sub.txt, the file
# "txt" and summary.md are not in the list.
step "double-click the file whose name holds blanks and quotes (fourth in the list)"
forget_started
open_main_file 3
expect_started_with "$docs/reports/it's a \"report\".txt"

step "double-click the names that are not UTF-8: the application gets their bytes"
forget_started
open_main_file 2
expect_started_with "$docs/reports/caf"$'\xe9'".txt"
forget_started
open_main_file 5
expect_started_with "$docs/reports/"$'\xff'".txt"

step "double-click the first file: the list ignores the case of the ending"
forget_started
open_main_file 0
expect_started_with "$docs/reports/alpha.TXT"

step "double-click the fifth file"
forget_started
open_main_file 4
expect_started_with "$docs/reports/zeta.txt"

step "choose the third type, Notes, and open its only file"
choose_main_type 2 3
forget_started
open_main_file 0
expect_started_with "$docs/notes/todo.md"

step "leave with File > Exit"
still_running
menu f x
expect_exit 0
expect_settings "Number Of Types" 3 "Type name 1" Reports "Type path 1" "$docs/reports/" \
    "Type app 1" "$ARGSTUB"
