#!/usr/bin/env bash
# The catalogue is stored when the program ends either way: by File > Exit,
# and by closing the main window through the window system (a window
# manager's close request). Closing the Preferences window that way only
# hides it. Each run changes something in the Preferences window, and the
# next run starts from what the previous one stored.

source "$(dirname "$0")/lib.sh"
e2e_begin store_on_close "$@"
require_tool evilwm # the window manager whose close request ends the second run

two_types

# ------------------------------------------------------------ File > Exit

step "first run: change the first type's description in Preferences"
start_main
change_pref_description 0 2 "Letters, old and new"

step "first run: File > Exit stores the change"
exit_by_menu
expect_settings \
    "Number Of Types" 2 \
    "Type name 0" Letters "Type desc 0" "Letters, old and new" "Type path 0" "$docs/letters/" \
    "Type name 1" Notes "Type desc 1" Notes "Type path 1" "$docs/notes/"

# ------------------------------------------------ the window system's close

step "second run, under a window manager"
start_window_manager
start_main
wait_for 10 "the window manager to frame the main window" framed "$MAIN"

step "closing the Preferences window through the window manager only hides it"
open_preferences
focus "$PREF"
keys ctrl+alt+Escape
wait_for 15 "the Preferences window to close" window_hidden "$PREF"
still_running
has_window "$MAIN_TITLE" 200 200 || fail "the main window went away with the Preferences window"

step "remove the second type, Notes, in Preferences (Yes to the question)"
open_preferences
choose_pref_type 1 2
pref_button "Remove Type"
answer_box Return
close_preferences

step "close the main window through the window manager: the change is stored"
focus "$MAIN"
keys ctrl+alt+Escape
expect_exit 0
expect_settings \
    "Number Of Types" 1 \
    "Type name 0" Letters "Type desc 0" "Letters, old and new" "Type path 0" "$docs/letters/" \
    "Type ext 0" txt "Type app 0" "$ARGSTUB"
expect_no_setting "Type name 1" "Type desc 1"
