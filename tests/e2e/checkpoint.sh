#!/usr/bin/env bash
# The desktop's session manager asks the program to save its data. At a
# checkpoint it stores the catalogue and goes on running, its main window
# still there and its Preferences still working. At a logout it stores the
# catalogue, tells the session manager it has, and ends with status 0 when
# told to. The tests' own session manager (tests/support/xsmp_manager) plays
# the desktop's part over XSMP.

source "$(dirname "$0")/lib.sh"
e2e_begin checkpoint "$@"
start_session_manager

two_types

# Until the session manager has written LINE COUNT times, or the program
# has ended (which the caller then reports).
reported_or_ended() { session_reported "$@" || orvane_ended; }

step "start under the session manager: it registers and makes the save a new client owes"
start_main
wait_for 15 "the program to register with the session manager" session_reported ready
grep -q '^registered ' "$SM_LOG" || fail "the program is ready without having registered:"$'\n'"$(session_log)"

step "change the first type's description: nothing is stored yet"
change_pref_description 0 2 "Letters, old and new"
expect_settings "Type desc 0" "Letters to friends" "Type desc 1" Notes

step "a checkpoint: the program stores the catalogue and goes on running"
session_command checkpoint
wait_for 15 "the program to finish its save" reported_or_ended "save-yourself-done success=1"
still_running
expect_settings \
    "Number Of Types" 2 \
    "Type name 0" Letters "Type desc 0" "Letters, old and new" "Type path 0" "$docs/letters/" \
    "Type name 1" Notes "Type desc 1" Notes "Type path 1" "$docs/notes/"
sleep 1
still_running
has_window "$MAIN_TITLE" 200 200 || fail "the main window went away at the checkpoint"

step "after the checkpoint, change the second type's description: nothing is stored yet"
change_pref_description 1 2 "Notes and lists"
expect_settings "Type desc 0" "Letters, old and new" "Type desc 1" Notes

step "a logout: the program stores the catalogue, says it is done, and ends with status 0 at Die"
session_command logout
wait_for 15 "the program to finish its save" reported_or_ended "save-yourself-done success=1" 2
session_reported "save-yourself-done success=1" 2 ||
    fail "the program ended before it told the session manager its save was done:"$'\n'"$(session_log)"
wait_for 5 "the session manager to send Die" session_reported die-sent
expect_exit 0
expect_settings \
    "Number Of Types" 2 \
    "Type name 0" Letters "Type desc 0" "Letters, old and new" "Type path 0" "$docs/letters/" \
    "Type name 1" Notes "Type desc 1" "Notes and lists" "Type path 1" "$docs/notes/"
wait_for 10 "the session manager to see the program go" \
    grep -qE '^connection-(closed|lost)' "$SM_LOG"
if session_reported "shutdown-cancelled" || grep -q '^interact-request' "$SM_LOG"; then
    fail "the program asked to interact or cancelled the logout:"$'\n'"$(session_log)"
fi
note "the session manager saw: $(tr '\n' ';' <"$SM_LOG")"
