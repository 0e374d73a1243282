# shellcheck shell=bash
# The end-to-end helpers on Wayland. lib.sh sources this file when
# ORVANE_E2E_DISPLAY=wayland and the helpers below take the place of their
# X11 namesakes: the program runs natively on a private headless sway, keys
# come from wtype, screenshots from grim, and windows are found in sway's
# tree (swaymsg -t get_tree, read with jq). A window here is sway's
# container id, as it is the X window id on X11.
#
# The headless compositor has no pointer, so only the keyboard drives the
# program; the helpers that click fail with a message saying so.

# shellcheck disable=SC2034 # read by e2e_begin in lib.sh
E2E_NAME_PREFIX=wayland. # the logs go to e2e-output/wayland.<test name>/
COMPOSITOR_PID=""
COMPOSITOR_DIR=""

check_display_tools()
{
    local tool
    for tool in sway swaymsg wtype grim jq; do
        command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed (packages sway, wtype, grim, jq)"
    done
    local plugins
    plugins="$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)"
    [ -e "$plugins/platforms/libqwayland-generic.so" ] ||
        skip "Qt's Wayland platform is not installed (package qt6-wayland)"
}

# sway refuses to run as root, so as root it runs as nobody in a folder of
# its own that the test's own user (root) can still reach. The program, wtype
# and grim find it through absolute paths in WAYLAND_DISPLAY and SWAYSOCK.
start_display()
{
    COMPOSITOR_DIR="$E2E_TMP/compositor"
    mkdir -p "$COMPOSITOR_DIR"
    cat >"$COMPOSITOR_DIR/config" <<'EOF'
xwayland disable
output HEADLESS-1 resolution 1024x768 position 0 0
default_border none
default_floating_border none
focus_on_window_activation focus
# The main window is small and of a fixed size, as the boxes over it.
for_window [title="^Orvane 1\.02$"] floating enable
EOF
    local as_user=()
    if [ "$(id -u)" = 0 ]; then
        id nobody >/dev/null 2>&1 || skip "sway does not run as root, and there is no user nobody to run it as"
        command -v setpriv >/dev/null 2>&1 || skip "setpriv is not installed (package util-linux)"
        chmod 711 "$E2E_TMP"
        chown -R nobody "$COMPOSITOR_DIR"
        as_user=(setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups)
    fi
    chmod 700 "$COMPOSITOR_DIR"
    env -i PATH="$PATH" HOME="$COMPOSITOR_DIR" XDG_RUNTIME_DIR="$COMPOSITOR_DIR" \
        WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        "${as_user[@]}" sway -c "$COMPOSITOR_DIR/config" >"$E2E_OUT/sway.log" 2>&1 &
    COMPOSITOR_PID=$!
    local deadline=$((SECONDS + 10)) socket
    while ((SECONDS < deadline)); do
        kill -0 "$COMPOSITOR_PID" 2>/dev/null ||
            skip "sway could not start headless here: $(tail -n 3 "$E2E_OUT/sway.log" | tr '\n' ' ')"
        socket="$(find "$COMPOSITOR_DIR" -maxdepth 1 -name 'sway-ipc.*.sock' -print -quit)"
        if [ -S "$COMPOSITOR_DIR/wayland-1" ] && [ -n "$socket" ] &&
            SWAYSOCK="$socket" swaymsg -t get_version >/dev/null 2>&1; then
            export WAYLAND_DISPLAY="$COMPOSITOR_DIR/wayland-1" SWAYSOCK="$socket"
            export QT_QPA_PLATFORM=wayland
            unset DISPLAY
            return 0
        fi
        sleep 0.1
    done
    skip "sway did not answer within 10s (see $E2E_OUT/sway.log)"
}

kill_display()
{
    [ -n "$COMPOSITOR_PID" ] && { kill -"$1" "$COMPOSITOR_PID"; wait "$COMPOSITOR_PID"; } 2>/dev/null
    COMPOSITOR_PID=""
}

display_running() { [ -n "$COMPOSITOR_PID" ]; }

screenshot() { grim "$1" 2>/dev/null; }

# The program's windows as lines of: id, width, height, x, y, title.
windows()
{
    swaymsg -t get_tree 2>/dev/null | jq -r '.. | objects | select(.pid? and (.type == "con" or .type == "floating_con"))
        | [.id, .rect.width, .rect.height, .rect.x, .rect.y, (.name // "")] | @tsv'
}

window_shown() { windows | cut -f1 | grep -qx "$1"; }

geometry()
{
    local id w h rest
    while IFS=$'\t' read -r id w h rest; do
        if [ "$id" = "$1" ]; then
            WIDTH="$w" HEIGHT="$h"
            return 0
        fi
    done < <(windows)
    fail "there is no window $1"
}

window_focused() { [ "$(swaymsg -t get_tree 2>/dev/null | jq -r '.. | objects | select(.focused? == true) | .id')" = "$1" ]; }

focus()
{
    swaymsg "[con_id=$1] focus" >/dev/null 2>&1
    wait_for 5 "window $1 to have the keyboard" window_focused "$1"
}

# wtype is a keyboard of its own that comes and goes with each call: it
# waits a little first, for the program to take the new keyboard.
keys()
{
    local args=(-s 250) key part mods
    for key in "$@"; do
        mods=()
        while [[ "$key" == *+?* ]]; do
            part="${key%%+*}"
            key="${key#*+}"
            case "$part" in
            ctrl | control) mods+=(ctrl) ;;
            super) mods+=(logo) ;;
            *) mods+=("$part") ;;
            esac
        done
        for part in "${mods[@]}"; do args+=(-M "$part"); done
        args+=(-k "$key")
        for part in "${mods[@]}"; do args+=(-m "$part"); done
        args+=(-s 40)
    done
    wtype "${args[@]}" || fail "wtype could not send the keys $*"
}

type_text() { wtype -s 250 -d 25 "$1" || fail "wtype could not type \"$1\""; }

no_pointer() { fail "$1 needs a pointer, and the headless compositor has none; use the keyboard"; }

click() { no_pointer "a click at $2,$3"; }
double_click() { no_pointer "a double-click at $2,$3"; }
choose_from_list() { no_pointer "choosing from a drop-down list"; }

# Where the keyboard is in the main window, for the two helpers below: at
# start nothing of its own has it, then the type list or the file list.
MAIN_FOCUS=start

# choose_main_type POSITION COUNT: the type list takes the keyboard; Down
# as often as it has entries reaches the last one from wherever it is (the
# type list is editable, so Home moves only its text cursor), and Up goes
# back from there.
# shellcheck disable=SC2046 # one key a word
choose_main_type()
{
    local moves=()
    focus "$MAIN"
    case "$MAIN_FOCUS" in
    start) moves=(Tab) ;;
    files) moves=(shift+Tab) ;;
    esac
    keys "${moves[@]}" $(list_moves "$1" "$2")
    MAIN_FOCUS=types
}

# list_moves POSITION COUNT: the keys that choose the POSITION-th of COUNT.
list_moves()
{
    local i
    for ((i = 0; i < $2; i++)); do echo Down; done
    for ((i = $1 + 1; i < $2; i++)); do echo Up; done
}

# open_main_file ROW: the file list takes the keyboard, Home and Up choose
# its first file (Home alone leaves it unchosen when it was current already),
# Down each next one, and Enter opens it.
open_main_file()
{
    local row="$1" i moves=()
    focus "$MAIN"
    case "$MAIN_FOCUS" in
    start) moves=(Tab Tab) ;;
    types) moves=(Tab) ;;
    esac
    moves+=(Home Up)
    for ((i = 0; i < row; i++)); do moves+=(Down); done
    moves+=(Return)
    keys "${moves[@]}"
    MAIN_FOCUS=files
}

# In Preferences the keyboard goes, with Tab, from the type list (which has
# it when the window opens) to the folders, the files and then the buttons in
# the order of their indexes, which is not the order on the screen. PREF_AT
# is the place that has it now, the type list being 0.
PREF_BUTTONS=("Opens with..." "Done" "Change Name" "Change Path" "Change Description" "Remove Type")
PREF_AT=0

# pref_move PLACE KEYS...: Tab or Shift+Tab from PREF_AT to PLACE, then KEYS.
pref_move()
{
    local place="$1" moves=() i
    shift
    for ((i = PREF_AT; i < place; i++)); do moves+=(Tab); done
    for ((i = PREF_AT; i > place; i--)); do moves+=(shift+Tab); done
    focus "$PREF"
    keys "${moves[@]}" "$@"
    PREF_AT="$place"
}

# choose_pref_type POSITION COUNT: as choose_main_type, in Preferences.
# shellcheck disable=SC2046 # one key a word
choose_pref_type() { pref_move 0 $(list_moves "$1" "$2"); }

# pref_button NAME: the button takes the keyboard and Space presses it. Only
# enabled buttons take it, so a type must have been chosen.
pref_button()
{
    local i
    for i in "${!PREF_BUTTONS[@]}"; do
        if [ "${PREF_BUTTONS[$i]}" = "$1" ]; then
            pref_move $((3 + i)) space
            return 0
        fi
    done
    fail "Preferences has no button \"$1\""
}
