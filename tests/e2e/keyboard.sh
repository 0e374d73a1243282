#!/usr/bin/env bash
# The keyboard alone: Tab to the type list, choose a type with the arrows,
# Tab to its files, choose one with Down and open it with Enter, then leave
# through the menu's mnemonics. Once more with a 14 pt desktop font, where
# the windows are larger and no pixel position of the small font holds.

source "$(dirname "$0")/lib.sh"
e2e_begin keyboard "$@"

store_types Letters Reports
touch "$docs/letters/dear.txt" "$docs/reports/alpha.txt" "$docs/reports/beta.txt"

open_with_keys()
{
    step "at ${1} pt: Tab to the type list, Down twice chooses Reports"
    focus "$MAIN"
    keys Tab Down Down
    step "at ${1} pt: Tab to the files; the first Down chooses alpha.txt and Enter opens it"
    keys Tab
    forget_started
    keys Down Return
    expect_started_with "$docs/reports/alpha.txt"
    step "at ${1} pt: Down and keypad Enter open beta.txt"
    forget_started
    keys Down KP_Enter
    expect_started_with "$docs/reports/beta.txt"
    step "at ${1} pt: leave with Alt+F, X"
    still_running
    exit_by_menu
}

step "start with the 7.5 pt font"
start_main
open_with_keys 7.5

step "start again with a 14 pt font"
use_font 14
start_orvane
wait_window "$MAIN_TITLE" 200 200
MAIN="$WID"
geometry "$MAIN"
((WIDTH >= 314 * 14 / 8)) || fail "at 14 pt the main window is only $WIDTH pixels wide, as wide as at 7.5 pt"
open_with_keys 14
