#!/usr/bin/env bash
# Retakes the README's screenshots, docs/screenshots/main.png and
# docs/screenshots/preferences.png, and the same windows in a 14 pt font
# (main-14pt.png, preferences-14pt.png), from the built program on a private X
# server (Xvfb), with a sample home folder of three types. Builds nothing.
#
# usage: docs/screenshots.sh [ORVANE]      (default: build/orvane)
#
# Needs Xvfb, xdotool and ImageMagick (packages xvfb, xdotool, imagemagick).
# The program's log goes to $ORVANE_E2E_OUTPUT/screenshots/ (by default in
# the temporary folder).

docs="$(cd "$(dirname "$0")" && pwd)"
orvane="${1:-$docs/../build/orvane}"
export ORVANE_E2E_OUTPUT="${ORVANE_E2E_OUTPUT:-${TMPDIR:-/tmp}/orvane-screenshots}"
# shellcheck source=SCRIPTDIR/../tests/e2e/lib.sh
source "$docs/../tests/e2e/lib.sh"
# No type's application is started here: "true" stands in for the
# argument-recording stub of the tests.
e2e_begin screenshots "$orvane" "$(type -P true)"
# shellcheck source=SCRIPTDIR/sample-home.sh
source "$docs/sample-home.sh"

# A window has finished drawing when two pictures of it a moment apart agree.
settled()
{
    local before after
    before="$(import -window "$1" rgb:- 2>/dev/null | md5sum)"
    sleep 0.3
    after="$(import -window "$1" rgb:- 2>/dev/null | md5sum)"
    [ "$before" = "$after" ]
}

# shoot WID NAME: the window's picture to docs/screenshots/NAME.png.
shoot()
{
    wait_for 15 "the window to finish drawing" settled "$1"
    import -window "$1" "$E2E_TMP/shot.png" || fail "import could not take the picture of window $1"
    keep_shot "$2"
}

step "start with three types and choose Photos"
start_orvane
wait_main_window
choose_main_type 1 3
# Tab takes the keyboard out of the type list: no blinking text cursor in
# the pictures.
focus "$MAIN"
keys Tab
shoot "$MAIN" main

step "open Edit > Preferences, choose Photos, point at Remove Type"
open_preferences
choose_pref_type 1 3
focus "$PREF"
keys Tab
xdotool mousemove --window "$PREF" 200 $((PREF_BUTTON_TOP["Remove Type"] + 8)) \
    mousemove --window "$PREF" 268 $((PREF_BUTTON_TOP["Remove Type"] + 8))
shoot "$PREF" preferences
# The hint line, 17 pixels high at the foot of the window, holds dark text.
ink="$(convert "$shots/preferences.png" -crop 337x17+8+232 -colorspace Gray -threshold 50% -negate -format '%[fx:mean]' info:)"
[ "$ink" != 0 ] || fail "the hint line is empty while the pointer is on Remove Type"

step "leave"
pref_button Done
wait_for 10 "the preferences window to close" window_hidden "$PREF"
menu f x
expect_exit 0

# The same two windows in a 14 pt desktop font, reached with the keyboard:
# the pixel positions of the small font do not hold there.
step "start again with a 14 pt font and choose Photos with the keyboard"
use_font 14
start_orvane
wait_window "$MAIN_TITLE" 200 200
MAIN="$WID"
focus "$MAIN"
keys Tab Down Down Tab
shoot "$MAIN" main-14pt

step "open Edit > Preferences with the keyboard and choose Photos"
menu d p
wait_window Preferences 300 200
PREF="$WID"
focus "$PREF"
keys Down Down Tab
shoot "$PREF" preferences-14pt
keys Tab Tab Tab space # the files, Opens with..., Done
wait_for 10 "the preferences window to close" window_hidden "$PREF"
menu f x
expect_exit 0
