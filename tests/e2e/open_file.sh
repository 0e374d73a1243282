#!/usr/bin/env bash
# Choosing the second of three stored types and double-clicking its files
# starts the type's application with the file's full path as its only
# argument: blanks and quotes in the name arrive intact, and the list holds
# the type's files whatever the case of their ending, sorted by name, and
# names that are not UTF-8 reach the application byte for byte.

source "$(dirname "$0")/lib.sh"
e2e_begin open_file "$@"

store_types Letters Reports Notes
mkdir -p "$docs/reports/sub.txt"
touch "$docs/letters/dear.txt"
touch "$docs/reports/zeta.txt" "$docs/reports/alpha.TXT" "$docs/reports/it's a \"report\".txt" \
    "$docs/reports/summary.md" "$docs/reports/txt" "$docs/reports/Beta.Txt" \
    "$docs/reports/caf"$'\xe9'".txt" "$docs/reports/"$'\xff'".txt"
touch "$docs/notes/todo.md"

step "start with three stored types"
start_main

step "choose the second type, Reports, from the type list"
choose_main_type 1 3

# In order: alpha.TXT, Beta.Txt, caf\xe9.txt, it's a "report".txt, zeta.txt,
# \xff.txt (a byte no text holds sorts last). The folder sub.txt, the file
# "txt" and summary.md are not in the list.
step "double-click the file whose name holds blanks and quotes (fourth in the list)"
expect_opens 3 "$docs/reports/it's a \"report\".txt"

step "double-click the names that are not UTF-8: the application gets their bytes"
expect_opens 2 "$docs/reports/caf"$'\xe9'".txt"
expect_opens 5 "$docs/reports/"$'\xff'".txt"

step "double-click the first file: the list ignores the case of the ending"
expect_opens 0 "$docs/reports/alpha.TXT"

step "double-click the fifth file"
expect_opens 4 "$docs/reports/zeta.txt"

step "choose the third type, Notes, and open its only file"
choose_main_type 2 3
expect_opens 0 "$docs/notes/todo.md"

step "leave with File > Exit"
still_running
exit_by_menu
expect_settings "Number Of Types" 3 "Type name 1" Reports "Type path 1" "$docs/reports/" \
    "Type app 1" "$ARGSTUB"
