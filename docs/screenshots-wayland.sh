#!/usr/bin/env bash
# Takes docs/screenshots/wayland-main.png and wayland-prefs.png: both windows
# of the built program on its native Wayland platform, on a private headless
# sway, with the same sample home folder of three types as screenshots.sh.
# Builds nothing.
#
# usage: docs/screenshots-wayland.sh [ORVANE]      (default: build/orvane)
#
# Needs sway, wtype, grim, jq, qt6-wayland and ImageMagick.

docs="$(cd "$(dirname "$0")" && pwd)"
orvane="${1:-$docs/../build/orvane}"
export ORVANE_E2E_OUTPUT="${ORVANE_E2E_OUTPUT:-${TMPDIR:-/tmp}/orvane-screenshots}"
export ORVANE_E2E_DISPLAY=wayland
# shellcheck source=SCRIPTDIR/../tests/e2e/lib.sh
source "$docs/../tests/e2e/lib.sh"
e2e_begin screenshots "$orvane" "$(type -P true)"
# shellcheck source=SCRIPTDIR/sample-home.sh
source "$docs/sample-home.sh"

# shoot WID NAME: the window's part of the screen to NAME.png.
shoot()
{
    local rect
    rect="$(swaymsg -t get_tree | jq -r ".. | objects | select(.id? == $1) | \"\(.rect.x),\(.rect.y) \(.rect.width)x\(.rect.height)\"")"
    sleep 0.5
    grim -g "$rect" "$E2E_TMP/shot.png" || fail "grim could not take the picture of window $1"
    keep_shot "$2"
}

step "start with three types and choose Photos"
start_orvane
wait_main_window
choose_main_type 1 3
# Tab takes the keyboard out of the type list: no blinking text cursor.
keys Tab
shoot "$MAIN" wayland-main

step "open Edit > Preferences and choose Photos in its type list"
menu d p
wait_window Preferences 300 200
PREF="$WID"
focus "$PREF"
keys Down Down Down Up Tab
shoot "$PREF" wayland-prefs
# The program is ended when the script ends.
