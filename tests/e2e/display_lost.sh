#!/usr/bin/env bash
# The display server dies under a running program, its Preferences window
# open: the rename made there is saved before the process ends.

source "$(dirname "$0")/lib.sh"
e2e_begin display_lost "$@"

two_types

step "rename the second type, then kill the display server"
start_main
rename_pref_type 1 2 "Notes X"
kill_display KILL
wait_for 15 "the program to end" orvane_ended
wait "$ORVANE_PID"
note "the program ended with status $?"
ORVANE_PID=""
expect_settings "Number Of Types" 2 "Type name 0" Letters "Type name 1" "Notes X"
