#!/usr/bin/env bash
# Every way a session ends the program keeps the catalogue: SIGTERM, SIGHUP
# (with the name box still open: its unfinished rename is not stored) and
# SIGINT each save and end with status 0; a SIGINT that was ignored when the
# program started stays ignored. A second start shows the first copy and
# ends with 0; a lock left by a copy that was killed does not block the next.

source "$(dirname "$0")/lib.sh"
e2e_begin session_end "$@"

two_types

step "SIGTERM with Preferences open saves the rename and ends with 0"
start_main
rename_pref_type 1 2 "Notes T"
kill -TERM "$ORVANE_PID"
expect_exit 0
expect_settings "Number Of Types" 2 "Type name 0" Letters "Type name 1" "Notes T"

step "SIGHUP while the name box is open: the typed name is not stored"
start_main
rename_pref_type 1 2 "Notes H"
choose_pref_type 1 2
pref_button "Change Name"
wait_box
focus "$BOX"
keys ctrl+a
type_text "Unfinished"
kill -HUP "$ORVANE_PID"
expect_exit 0
expect_settings "Number Of Types" 2 "Type name 1" "Notes H"

step "a SIGINT ignored at start is ignored; one at its default saves"
start_main
kill -INT "$ORVANE_PID"
sleep 1
still_running
kill -TERM "$ORVANE_PID"
expect_exit 0
ORVANE_VIA=(env --default-signal=INT) # SIGINT at its default, as from a terminal (& ignores it)
start_main
ORVANE_VIA=()
rename_pref_type 1 2 "Notes I"
kill -INT "$ORVANE_PID"
expect_exit 0
expect_settings "Type name 1" "Notes I"

step "a second start shows the first copy and ends with 0"
start_main
first="$ORVANE_PID"
"$ORVANE" >>"$E2E_OUT/second.log" 2>&1
status=$?
[ "$status" = 0 ] || fail "the second start ended with $status"
[ "$(xdotool search --onlyvisible --name "^$MAIN_TITLE\$" | wc -l)" = 1 ] ||
    fail "the second start opened a window of its own"
orvane_running || fail "the first copy ended"

step "a copy killed outright leaves a lock the next start takes over"
kill -KILL "$first"
wait "$first" 2>/dev/null
ORVANE_PID=""
start_main

