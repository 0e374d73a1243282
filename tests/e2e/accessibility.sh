#!/usr/bin/env bash
# A screen reader can tell what every control is for. Read over the desktop's
# accessibility bus (AT-SPI): the main window's type list is named by its
# label "Type to open:" (and stays labelled by it once a type is chosen), the
# file list is "List of this type:", the chosen type's description reaches
# the reader, the preferences window's buttons carry their captions and the
# About box exposes its text. The trees read are left in the output folder.

source "$(dirname "$0")/lib.sh"
e2e_begin accessibility "$@"
command -v gdbus >/dev/null 2>&1 || skip "gdbus is not installed (package libglib2.0-bin)"
command -v dbus-daemon >/dev/null 2>&1 || skip "dbus-daemon is not installed (package dbus-daemon)"
[ -x /usr/libexec/at-spi-bus-launcher ] || skip "the accessibility bus is missing (package at-spi2-core)"

mkdir -p "$HOME/letters" && touch "$HOME/letters/dear.txt" "$HOME/letters/thanks.txt"
{ printf "[Types]\nNumber Of Types=1\n"; type_lines 0 Letters txt "$HOME/letters/" "Letters to friends" "$ARGSTUB"; } | write_settings

step "start a session bus of the test's own and the program with its accessibility bridge on"
bus="$(dbus-daemon --session --fork --print-address=1 --print-pid=1)" || fail "dbus-daemon did not start"
export DBUS_SESSION_BUS_ADDRESS="${bus%%$'\n'*}"
BUS_PID="${bus##*$'\n'}"
# The accessibility bus and its registry end with the session bus.
end_bus() { local status=$?; kill "$BUS_PID" 2>/dev/null; (exit "$status"); e2e_cleanup; }
trap end_bus EXIT
unset NO_AT_BRIDGE && export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
start_main

# A reply of one string, ('text',) or (<'text'>,), as text.
unquote() { local s="${1#\(}"; s="${s%,\)}"; s="${s#<}"; s="${s%>}"; printf '%s' "${s:1:${#s}-2}"; }
a11y_bus() { A11Y="$(unquote "$(timeout 5 gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
    --method org.a11y.Bus.GetAddress 2>/dev/null)")" && [ -n "$A11Y" ]; }
# The program's connection, once it has made itself known to the registry.
registered() { APP="$(timeout 5 gdbus call --address "$A11Y" --dest org.a11y.atspi.Registry --object-path \
    /org/a11y/atspi/accessible/root --method org.a11y.atspi.Accessible.GetChildren 2>/dev/null |
    grep -oE "':[0-9.]+'" | head -n 1 | tr -d "'")" && [ -n "$APP" ]; }
wait_for 20 "the accessibility bus" a11y_bus
wait_for 20 "the program on the accessibility registry" registered

# atspi PATH METHOD [ARGUMENT]...: a call to the program's object PATH.
atspi() { local path="$1"; shift; timeout 10 gdbus call --address "$A11Y" --dest "$APP" --object-path "$path" --method "$@" 2>/dev/null; }
objects() { grep -oE "/org/a11y/atspi/accessible/[0-9a-z_]+"; }
# property PATH NAME, one at a time: Properties.GetAll crashes the bridge of Qt 6.4.
property() { unquote "$(atspi "$1" org.freedesktop.DBus.Properties.Get org.a11y.atspi.Accessible "$2")"; }

# tree PATH: "role|name" of PATH and of all below it, one a line, indented;
# the entries of lists and menus are left out. A combo box adds the labels it
# is labelled by, a label its description.
tree()
{
    local path="$1" indent="${2:-}" role child
    role="$(unquote "$(atspi "$path" org.a11y.atspi.Accessible.GetRoleName)")"
    printf '%s%s|%s\n' "$indent" "$role" "$(property "$path" Name)"
    case "$role" in
    'combo box')
        for child in $(atspi "$path" org.a11y.atspi.Accessible.GetRelationSet | grep -oE "\((uint32 )?2, \[[^]]*\]" | objects); do
            printf '%s  labelled by|%s\n' "$indent" "$(property "$child" Name)"
        done
        return 0 ;;
    label) printf '%s  description|%s\n' "$indent" "$(property "$path" Description)" ;;
    list | 'menu bar' | table | tree) return 0 ;;
    esac
    for child in $(atspi "$path" org.a11y.atspi.Accessible.GetChildren | objects); do tree "$child" "$indent  "; done
}

# window_shows FILE TITLE TEXT: the tree of the program's window named TITLE
# goes to FILE in the output folder, and holds TEXT.
window_shows()
{
    local window
    TREE="$E2E_OUT/$1" && : >"$TREE"
    for window in $(atspi /org/a11y/atspi/accessible/root org.a11y.atspi.Accessible.GetChildren | objects); do
        [ "$(property "$window" Name)" = "$2" ] && tree "$window" >>"$TREE"
    done
    grep -qF -- "$3" "$TREE"
}

PROBLEMS=""
# expect LINE...: each "role|name" is a line of the tree just read.
expect() { local line; for line in "$@"; do
    sed 's/^ *//' "$TREE" | grep -qxF -- "$line" || PROBLEMS+=$'\n'"    ${TREE##*/}: no \"$line\""; done; }

step "the main window's type list and file list carry their labels"
wait_for 20 "the main window on the accessibility bus" window_shows main.txt "$MAIN_TITLE" "combo box|"
expect "frame|$MAIN_TITLE" "combo box|Type to open:" "labelled by|Type to open:" "list|List of this type:"

step "choose a type: the type list stays labelled, its description reaches the reader"
choose_main_type 0 1
wait_for 20 "the chosen type on the accessibility bus" window_shows main-chosen.txt "$MAIN_TITLE" "combo box|Letters"
expect "labelled by|Type to open:" "list|List of this type:"
grep -q "|Letters to friends$" "$TREE" ||
    PROBLEMS+=$'\n'"    ${TREE##*/}: the description \"Letters to friends\" is neither a name nor a description"

step "the preferences window's buttons carry their captions"
open_preferences
wait_for 20 "the preferences window on the accessibility bus" window_shows preferences.txt Preferences "push button|"
expect "dialog|Preferences" "push button|Opens with..." "push button|Done" "push button|Change Name" "push button|Change Path" \
    "push button|Change Description" "push button|Remove Type"
close_preferences

step "the About box exposes its text"
menu h a
wait_box
wait_for 20 "the About box on the accessibility bus" window_shows about.txt Orvane "push button|"
grep -q "|Version 1.02" "$TREE" || PROBLEMS+=$'\n'"    about.txt: no \"Version 1.02\""
keys Return
wait_for 10 "the About box to close" window_hidden "$BOX"

step "every control was named"
[ -z "$PROBLEMS" ] || fail "a screen reader is not told what these are:$PROBLEMS"

step "leave with File > Exit"
exit_by_menu
