# Shared helpers for the end-to-end tests. Each test script, run as
# SCRIPT.sh ORVANE ARGSTUB, sources this file, calls e2e_begin with its name
# and those two paths, and drives the real program on a private X server
# with xdotool, as a person at the keyboard and mouse would.
#
# Its logs, the settings file and a screenshot on failure go to
# ${ORVANE_E2E_OUTPUT:-$PWD/e2e-output}/<test name>/, emptied at the start;
# ORVANE_E2E_KEEP=1 keeps the temporary home folder too.
# Exit codes: 0 passed, 1 failed, 77 a tool the test needs is missing.

set -u
set -o pipefail

readonly E2E_SKIP=77
readonly MAIN_TITLE='Orvane 1.02'
readonly MENU_FREE_HEIGHT=263 # the main window's client area below its menu bar
readonly LIST_ROW_HEIGHT=12   # one row of a list (files, types) in the dialog font

E2E_NAME=""
E2E_OUT=""
E2E_TMP=""
ORVANE=""
ARGSTUB=""
XVFB_PID=""
WM_PID=""
ORVANE_PID=""
WATCHDOG_PID=""
SM_PID=""
SM_IN=""
SM_LOG=""
SETTINGS_FILE=""
STEP="starting"

note() { printf '[%s] %s\n' "$E2E_NAME" "$*"; }

# Names what the test is doing now; a failure message repeats it.
step()
{
    STEP="$*"
    note "step: $*"
}

skip()
{
    note "SKIPPED: $*"
    exit "$E2E_SKIP"
}

# Ends the test as failed: prints the message, the step and where the
# screenshot and logs are.
fail()
{
    local message="$*"
    trap - USR1
    {
        printf '\n[%s] FAILED while: %s\n' "$E2E_NAME" "$STEP"
        printf '[%s]   %s\n' "$E2E_NAME" "$message"
    } >&2
    if display_running && [ -n "$E2E_OUT" ]; then
        local shot="$E2E_OUT/failure.png"
        if screenshot "$shot"; then
            printf '[%s]   screenshot: %s\n' "$E2E_NAME" "$shot" >&2
        else
            printf '[%s]   (no screenshot: the screenshot tool is missing or failed)\n' "$E2E_NAME" >&2
        fi
        printf '[%s]   visible windows: %s\n' "$E2E_NAME" "$(describe_windows)" >&2
    fi
    if [ -n "$E2E_OUT" ]; then
        printf '[%s]   logs: %s\n' "$E2E_NAME" "$E2E_OUT" >&2
    fi
    exit 1
}

# ----------------------------------------------------------------- waiting

# wait_for SECONDS DESCRIPTION COMMAND... : runs COMMAND every tenth of a
# second until it succeeds; fails the test when it has not within SECONDS.
wait_for()
{
    local seconds="$1" what="$2"
    shift 2
    local deadline=$((SECONDS + seconds))
    while :; do
        if "$@"; then
            return 0
        fi
        if ((SECONDS >= deadline)); then
            fail "timed out after ${seconds}s waiting for $what"
        fi
        sleep 0.1
    done
}

# ------------------------------------------------------------- start, stop

# e2e_begin NAME ORVANE ARGSTUB
e2e_begin()
{
    E2E_NAME="${E2E_NAME_PREFIX:-}$1"
    ORVANE="${2:-}"
    ARGSTUB="${3:-}"
    [ -x "$ORVANE" ] || { note "the program to test is not executable: '$ORVANE'"; exit 1; }
    [ -x "$ARGSTUB" ] || { note "the argument stub is not executable: '$ARGSTUB'"; exit 1; }
    check_display_tools

    E2E_OUT="${ORVANE_E2E_OUTPUT:-$PWD/e2e-output}/$E2E_NAME"
    rm -rf -- "$E2E_OUT"
    mkdir -p -- "$E2E_OUT"
    E2E_OUT="$(cd "$E2E_OUT" && pwd)"
    E2E_TMP="$(mktemp -d "${TMPDIR:-/tmp}/orvane-e2e.XXXXXX")"

    trap e2e_cleanup EXIT
    trap 'fail "interrupted"' INT TERM
    trap 'fail "the test ran longer than ${ORVANE_E2E_LIMIT:-90}s"' USR1
    start_watchdog "${ORVANE_E2E_LIMIT:-90}"

    private_environment
    start_display
    note "display ${WAYLAND_DISPLAY:-$DISPLAY}, home $HOME, output $E2E_OUT"
}

start_watchdog()
{
    local limit="$1" test_shell=$$
    (
        trap - EXIT INT TERM USR1
        end=$((SECONDS + limit))
        while ((SECONDS < end)); do
            sleep 1
            kill -0 "$test_shell" 2>/dev/null || exit 0
        done
        kill -USR1 "$test_shell" 2>/dev/null
    ) &
    WATCHDOG_PID=$!
}

# A home, configuration and data folders of the test's own, so that nothing
# of the machine's user is read or changed. The system's MIME database stays
# reachable after the private data folder.
private_environment()
{
    export HOME="$E2E_TMP/home"
    export XDG_CONFIG_HOME="$E2E_TMP/config"
    export XDG_DATA_HOME="$E2E_TMP/data"
    export XDG_CONFIG_DIRS="$E2E_TMP/config-dirs"
    export XDG_DATA_DIRS="$E2E_TMP/data-dirs:/usr/share"
    export XDG_CACHE_HOME="$E2E_TMP/cache"
    export XDG_RUNTIME_DIR="$E2E_TMP/runtime"
    mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/applications" "$XDG_CONFIG_DIRS" \
        "$E2E_TMP/data-dirs" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"

    # The real X11 platform on the private server, never the offscreen one.
    export QT_QPA_PLATFORM=xcb
    unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR QT_FONT_DPI
    unset QT_STYLE_OVERRIDE QT_QPA_PLATFORMTHEME WAYLAND_DISPLAY XAUTHORITY
    unset DBUS_SESSION_BUS_ADDRESS XDG_CURRENT_DESKTOP XDG_SESSION_TYPE DESKTOP_SESSION
    # No session manager of the machine's: start_session_manager starts one.
    unset SESSION_MANAGER ICEAUTHORITY
    export GIO_USE_VFS=local GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
    export LANG=C.UTF-8 LC_ALL=C.UTF-8

    export ORVANE_ARGSTUB_OUT="$E2E_TMP/started-with"
    SETTINGS_FILE="$XDG_CONFIG_HOME/Orvane/Orvane.conf"
    use_font 7.5
}

# use_font POINTS: the desktop's font, set by a platform theme as a desktop
# sets it (after start, once the event loop runs). The pixel positions of
# these tests are those of the 7.5 pt dialog font.
use_font()
{
    command -v qt6ct >/dev/null 2>&1 || skip "qt6ct is not installed (package qt6ct): no theme sets the font"
    mkdir -p "$XDG_CONFIG_HOME/qt6ct"
    cat >"$XDG_CONFIG_HOME/qt6ct/qt6ct.conf" <<EOF
[Appearance]
style=Fusion
custom_palette=false
standard_dialogs=default

[Fonts]
general="Sans Serif,$1,-1,5,400,0,0,0,0,0,0,0,0,0,0,1"
fixed="Monospace,$1,-1,5,400,0,0,0,0,0,0,0,0,0,0,1"
EOF
    export QT_QPA_PLATFORMTHEME=qt6ct
}

# The display system's part: X11 (Xvfb) here; tests/e2e/wayland.sh has the
# same functions for a Wayland compositor.
check_display_tools()
{
    local tool
    for tool in Xvfb xdotool import; do
        command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed (packages xvfb, xdotool, imagemagick)"
    done
}

# kill_display SIGNAL: ends the display server; with KILL at once, as when
# it crashes.
kill_display()
{
    [ -n "$XVFB_PID" ] && { kill -"$1" "$XVFB_PID"; wait "$XVFB_PID"; } 2>/dev/null
    XVFB_PID=""
}

stop_display() { kill_display TERM; }

display_running() { [ -n "$XVFB_PID" ]; }

screenshot() { command -v import >/dev/null 2>&1 && import -window root "$1" 2>/dev/null; }

start_display()
{
    local d
    for ((d = 100; d <= 199; d++)); do
        if [ -e "/tmp/.X$d-lock" ] || [ -e "/tmp/.X11-unix/X$d" ]; then
            continue
        fi
        Xvfb ":$d" -noreset -nolisten tcp -screen 0 1024x768x24 >"$E2E_OUT/xvfb.log" 2>&1 &
        XVFB_PID=$!
        local deadline=$((SECONDS + 10))
        while kill -0 "$XVFB_PID" 2>/dev/null && ((SECONDS < deadline)); do
            if DISPLAY=":$d" xdotool getdisplaygeometry >/dev/null 2>&1; then
                export DISPLAY=":$d"
                return 0
            fi
            sleep 0.1
        done
        stop_display # taken by someone else in the meantime, or too slow: try the next
    done
    note "no free display between :100 and :199 (see $E2E_OUT/xvfb.log)"
    exit 1
}

# require_tool NAME: skips the test when the program NAME is not installed.
require_tool()
{
    command -v "$1" >/dev/null 2>&1 || skip "$1 is not installed (Debian package $1)"
}

# A small window manager, for the tests that close a window the way the
# window system does. It focuses the window under the pointer and sends a
# window the close request on Control+Alt+Escape.
start_window_manager()
{
    require_tool evilwm
    evilwm -fn fixed >"$E2E_OUT/wm.log" 2>&1 &
    WM_PID=$!
    sleep 0.2
    kill -0 "$WM_PID" 2>/dev/null || fail "the window manager ended at once: $(cat "$E2E_OUT/wm.log")"
}

# The tests' own session manager (tests/support/xsmp_manager, built beside
# the argument stub, or ORVANE_XSMP_MANAGER), for the programs started after
# this: SESSION_MANAGER names it. Its commands go in through a pipe, what
# the client does comes out, one line each, in session-manager.log.
start_session_manager()
{
    local manager="${ORVANE_XSMP_MANAGER:-$(dirname "$ARGSTUB")/xsmp_manager}"
    [ -x "$manager" ] || skip "the tests' session manager is not built (packages libsm-dev, libice-dev): $manager"
    SM_LOG="$E2E_OUT/session-manager.log"
    mkfifo "$E2E_TMP/session-manager.in"
    "$manager" <"$E2E_TMP/session-manager.in" >"$SM_LOG" 2>&1 &
    SM_PID=$!
    exec {SM_IN}>"$E2E_TMP/session-manager.in"
    wait_for 10 "the session manager to listen (see $SM_LOG)" grep -q '^listening ' "$SM_LOG"
    SESSION_MANAGER="$(sed -n 's/^listening //p' "$SM_LOG")"
    export SESSION_MANAGER
    note "session manager at $SESSION_MANAGER"
}

# session_command LINE: checkpoint, logout or quit.
session_command() { printf '%s\n' "$1" >&"$SM_IN"; }

# session_reported LINE [COUNT]: the session manager has written LINE at
# least COUNT times (once unless told).
session_reported() { (($(grep -cx -- "$1" "$SM_LOG") >= ${2:-1})); }

session_log() { sed 's/^/    | /' "$SM_LOG"; }

# Whether the window manager has put a frame around a window: then the
# window is no longer a child of the root window.
framed()
{
    ! xdotool search --maxdepth 1 --name "" 2>/dev/null | grep -qx "$1"
}

e2e_cleanup()
{
    local status=$?
    trap - EXIT INT TERM USR1
    [ -n "$WATCHDOG_PID" ] && kill "$WATCHDOG_PID" 2>/dev/null
    if [ -n "$ORVANE_PID" ] && kill -0 "$ORVANE_PID" 2>/dev/null; then
        kill "$ORVANE_PID" 2>/dev/null
        wait "$ORVANE_PID" 2>/dev/null
    fi
    [ -n "$WM_PID" ] && { kill "$WM_PID" 2>/dev/null; wait "$WM_PID" 2>/dev/null; }
    [ -n "$SM_IN" ] && exec {SM_IN}>&-
    [ -n "$SM_PID" ] && { kill "$SM_PID" 2>/dev/null; wait "$SM_PID" 2>/dev/null; }
    stop_display
    if [ -n "$E2E_TMP" ] && [ -d "$E2E_TMP" ]; then
        [ -f "$SETTINGS_FILE" ] && cp -- "$SETTINGS_FILE" "$E2E_OUT/Orvane.conf" 2>/dev/null
        if [ "${ORVANE_E2E_KEEP:-0}" = 1 ]; then
            note "kept $E2E_TMP"
        else
            rm -rf -- "$E2E_TMP"
        fi
    fi
    if [ "$status" = 0 ]; then
        note "PASSED"
    fi
    exit "$status"
}

# --------------------------------------------------------------- the store

# write_settings: the settings file from standard input, as a person or an
# older version would have left it.
write_settings()
{
    mkdir -p "$(dirname "$SETTINGS_FILE")"
    cat >"$SETTINGS_FILE"
}

# A type's five lines for write_settings, with plain blanks in the keys.
type_lines()
{
    local n="$1" name="$2" ext="$3" path="$4" desc="$5" app="$6"
    printf 'Type name %s=%s\nType ext %s=%s\nType path %s=%s\nType desc %s=%s\nType app %s=%s\n' \
        "$n" "$name" "$n" "$ext" "$n" "$path" "$n" "$desc" "$n" "$app"
}

# store_types NAME...: stores these types in order, each opened with the
# argument stub, each in its own (empty) folder $docs/<name in lower case>/,
# with the ending and description TYPE_OF gives it. Sets docs.
declare -A TYPE_OF=([Letters]="txt|Letters to friends" [Reports]="txt|Reports for the office"
    [Notes]="md|Notes" ["Old Reports"]="txt|Reports nobody reads")
store_types()
{
    docs="$E2E_TMP/documents"
    local n=0 name ext desc
    {
        printf '[Types]\nNumber Of Types=%s\n' $#
        for name; do
            IFS='|' read -r ext desc <<<"${TYPE_OF[$name]}"
            mkdir -p "$docs/${name,,}"
            type_lines $((n++)) "$name" "$ext" "$docs/${name,,}/" "$desc" "$ARGSTUB"
        done
    } | write_settings
}

# two_types: Letters (dear.txt) and Notes (todo.md).
two_types()
{
    store_types Letters Notes
    touch "$docs/letters/dear.txt" "$docs/notes/todo.md"
}

# setting KEY: the value of KEY in the [Types] section of the settings
# file, whichever way blanks are written in the key. QSettings quotes a value
# with commas and such; the quotes are taken off. Fails when KEY is missing.
setting()
{
    local wanted="$1" line key value section=""
    [ -f "$SETTINGS_FILE" ] || return 1
    while IFS= read -r line || [ -n "$line" ]; do
        line="${line%$'\r'}"
        case "$line" in
        '['*']') section="${line#[}"; section="${section%]}"; continue ;;
        *=*) ;;
        *) continue ;;
        esac
        [ "$section" = Types ] || continue
        key="${line%%=*}"
        value="${line#*=}"
        key="${key//%20/ }"
        key="${key%"${key##*[! ]}"}"
        [ "$key" = "$wanted" ] || continue
        value="${value#"${value%%[! ]*}"}"
        if [ "${#value}" -ge 2 ] && [ "${value:0:1}" = '"' ] && [ "${value: -1}" = '"' ]; then
            value="${value:1:${#value}-2}"
            value="${value//\\\"/\"}"
            value="${value//\\\\/\\}"
        fi
        printf '%s' "$value"
        return 0
    done <"$SETTINGS_FILE"
    return 1
}

# expect_settings KEY VALUE [KEY VALUE]...: every KEY holds its VALUE.
expect_settings()
{
    [ -f "$SETTINGS_FILE" ] || fail "there is no settings file at $SETTINGS_FILE"
    local key expected actual problems=""
    while [ $# -ge 2 ]; do
        key="$1" expected="$2"
        shift 2
        if ! actual="$(setting "$key")"; then
            problems+=$'\n'"    \"$key\" is missing (expected \"$expected\")"
        elif [ "$actual" != "$expected" ]; then
            problems+=$'\n'"    \"$key\" is \"$actual\", expected \"$expected\""
        fi
    done
    if [ -n "$problems" ]; then
        fail "the settings file is not as expected:$problems"$'\n'"  settings file:"$'\n'"$(sed 's/^/    | /' "$SETTINGS_FILE")"
    fi
}

# expect_no_setting KEY...: none of the KEYs is in the file.
expect_no_setting()
{
    local key
    for key in "$@"; do
        if setting "$key" >/dev/null; then
            fail "the settings file still holds \"$key\" = \"$(setting "$key")\""$'\n'"$(sed 's/^/    | /' "$SETTINGS_FILE")"
        fi
    done
}

# ----------------------------------------------------- the recording stub

# associate_stub_with MIME_TYPE [EXEC]: a desktop entry for the stub, ENTRY,
# whose command is EXEC (the stub and %f unless told), and a
# default-application list that makes it the desktop's choice for MIME_TYPE.
associate_stub_with()
{
    ENTRY="$XDG_DATA_HOME/applications/orvane-e2e-recorder.desktop"
    printf '[Desktop Entry]\nType=Application\nName=Argument recorder\nExec=%s\nMimeType=%s;\nTerminal=false\n' \
        "${2:-$ARGSTUB %f}" "$1" >"$ENTRY"
    printf '[Default Applications]\n%s=orvane-e2e-recorder.desktop\n' "$1" >"$XDG_CONFIG_HOME/mimeapps.list"
}

forget_started()
{
    rm -f -- "$ORVANE_ARGSTUB_OUT"
}

# expect_started_with ARGUMENT...: the stub was started, and with exactly
# these arguments.
expect_started_with()
{
    wait_for 10 "the application to be started (nothing was written to $ORVANE_ARGSTUB_OUT)" \
        test -f "$ORVANE_ARGSTUB_OUT"
    local expected="$E2E_TMP/expected-arguments"
    printf '%s\0' "$@" >"$expected"
    cmp -s "$expected" "$ORVANE_ARGSTUB_OUT" ||
        fail "the application got $(tr -cd '\0' <"$ORVANE_ARGSTUB_OUT" | wc -c) argument(s)" \
            "$(xargs -0r printf '[%s] ' <"$ORVANE_ARGSTUB_OUT")expected $#: $(printf '[%s] ' "$@")"
}

# expect_opens ROW ARGUMENT...: opening the ROW-th file of the main window
# starts the stub with exactly these arguments.
expect_opens()
{
    forget_started
    open_main_file "$1"
    shift
    expect_started_with "$@"
}

# ------------------------------------------------------------ the program

ORVANE_VIA=() # a command the program is started through

start_orvane()
{
    "${ORVANE_VIA[@]}" "$ORVANE" >>"$E2E_OUT/orvane.log" 2>&1 &
    ORVANE_PID=$!
    note "started $ORVANE (pid $ORVANE_PID)"
}

orvane_running()
{
    local stat state
    [ -n "$ORVANE_PID" ] || return 1
    { read -r stat <"/proc/$ORVANE_PID/stat"; } 2>/dev/null || return 1
    state="${stat##*) }"
    state="${state%% *}"
    [ "$state" != Z ] && [ "$state" != X ]
}

orvane_ended() { ! orvane_running; }

# expect_exit STATUS: the program ends within a few seconds with STATUS.
expect_exit()
{
    local status
    wait_for 15 "the program to end" orvane_ended
    wait "$ORVANE_PID"
    status=$?
    ORVANE_PID=""
    [ "$status" = "$1" ] || fail "the program ended with status $status, expected $1; $(orvane_output)"
}

# start_main: starts the program and waits for its main window.
start_main() { start_orvane; wait_main_window; }

# exit_by_menu: File > Exit ends the program with status 0.
exit_by_menu() { menu f x; expect_exit 0; }

still_running()
{
    orvane_running && return 0
    wait "$ORVANE_PID"
    fail "the program ended unexpectedly with status $?; $(orvane_output)"
}

orvane_output() { printf 'its output:\n'; tail -n 20 "$E2E_OUT/orvane.log" | sed 's/^/    | /'; }

# --------------------------------------------------------------- windows

# The visible windows as lines of: id, width, height, x, y, title.
windows()
{
    local w name WIDTH HEIGHT X Y
    for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
        name="$(xdotool getwindowname "$w" 2>/dev/null)" || continue
        WIDTH=0 HEIGHT=0 X=0 Y=0
        eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
        printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$w" "$WIDTH" "$HEIGHT" "$X" "$Y" "$name"
    done
}

describe_windows()
{
    local id w h name out=""
    while IFS=$'\t' read -r id w h _ _ name; do
        [ -z "$name" ] || out+="\"$name\" ${w}x${h}; "
    done < <(windows)
    printf '%s' "${out:-none}"
}

# visible_window TITLE [MIN_WIDTH MIN_HEIGHT]: prints the newest visible
# window whose title is exactly TITLE and that is at least that large (the
# file dialog's list of completions carries the program's name as its title
# too, and is low).
visible_window()
{
    local title="$1" min_w="${2:-1}" min_h="${3:-1}" id w h name found=""
    while IFS=$'\t' read -r id w h _ _ name; do
        if [ "$name" = "$title" ] && [ "$w" -ge "$min_w" ] && [ "$h" -ge "$min_h" ] &&
            { [ -z "$found" ] || [ "$id" -gt "$found" ]; }; then
            found="$id"
        fi
    done < <(windows)
    [ -n "$found" ] && printf '%s' "$found"
}

has_window() { visible_window "$@" >/dev/null; }
has_no_window() { ! visible_window "$@" >/dev/null; }

# wait_window TITLE [MIN_WIDTH MIN_HEIGHT]: waits for the window and sets
# WID to it.
wait_window()
{
    wait_for 15 "a window titled \"$1\"" has_window "$@"
    WID="$(visible_window "$@")"
}

window_shown() { xdotool search --onlyvisible --name '' 2>/dev/null | grep -qx "$1"; }
window_hidden() { ! window_shown "$1"; }

# The program's boxes (messages and questions) are titled "Orvane".
# shellcheck disable=SC2034 # BOX is for the test scripts
wait_box() { wait_window Orvane 150 60; BOX="$WID"; }

# answer_box KEY...: the next box gets the keys, and closes.
answer_box()
{
    wait_box
    focus "$BOX"
    keys "$@"
    wait_for 15 "the box to close" window_hidden "$BOX"
}

# fill_box [KEY...] TEXT: the next box gets the keys, then TEXT and Return.
fill_box()
{
    wait_box
    focus "$BOX"
    (($# < 2)) || keys "${@:1:$#-1}"
    type_text "${!#}"
    keys Return
    wait_for 15 "the box to close" window_hidden "$BOX"
}

wait_main_window()
{
    wait_window "$MAIN_TITLE" 200 200
    MAIN="$WID"
    # shellcheck disable=SC2034 # where the keyboard is, for wayland.sh
    MAIN_FOCUS=start
    geometry "$MAIN"
    MENU_HEIGHT=$((HEIGHT - MENU_FREE_HEIGHT))
    if [ "$WIDTH" != 314 ] || [ "$MENU_HEIGHT" -lt 10 ] || [ "$MENU_HEIGHT" -gt 40 ]; then
        fail "the main window is ${WIDTH}x${HEIGHT}; expected 314 wide and $MENU_FREE_HEIGHT high below a menu bar"
    fi
}

geometry()
{
    # shellcheck disable=SC2034 # set by the eval, only WIDTH and HEIGHT are wanted
    local WINDOW X Y SCREEN
    eval "$(xdotool getwindowgeometry --shell "$1")"
}

# Gives a window the keyboard, as clicking into it would.
focus()
{
    local wid="$1" i
    for ((i = 0; i < 3; i++)); do
        if [ -n "$WM_PID" ]; then
            geometry "$wid"
            xdotool mousemove --window "$wid" $((WIDTH / 2)) $((HEIGHT / 2))
        fi
        timeout 5 xdotool windowfocus --sync "$wid" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "could not give the keyboard to window $wid (\"$(xdotool getwindowname "$wid" 2>/dev/null)\")"
}

keys() { xdotool key --delay 40 "$@"; }

type_text() { xdotool type --delay 25 -- "$1"; }

# click WID X Y, double_click WID X Y: in the window's own coordinates.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }

double_click() { xdotool mousemove --window "$1" "$2" "$3" click --repeat 2 --delay 90 1; }

# menu KEY ITEM_KEY: a menu of the main window by its mnemonics.
menu()
{
    focus "$MAIN"
    keys "alt+$1" "$2"
}

# popup_window: the newest visible window of the program without a title of
# its own: an open drop-down list.
popup_window()
{
    local w titled found=""
    titled="$(xdotool search --onlyvisible --name "." 2>/dev/null)"
    for w in $(xdotool search --onlyvisible --class "^orvane\$" 2>/dev/null); do
        if ! grep -qx "$w" <<<"$titled"; then
            if [ -z "$found" ] || [ "$w" -gt "$found" ]; then
                found="$w"
            fi
        fi
    done
    [ -n "$found" ] && printf "%s" "$found"
}

has_popup() { popup_window >/dev/null; }

# choose_from_list WID ARROW_X ARROW_Y POSITION COUNT: opens a drop-down
# list by its arrow and clicks its POSITION-th entry (from 0) of COUNT.
choose_from_list()
{
    local wid="$1" ax="$2" ay="$3" position="$4" count="$5"
    click "$wid" "$ax" "$ay"
    wait_for 10 "the drop-down list to open" has_popup
    local popup
    popup="$(popup_window)"
    geometry "$popup"
    # One row for each entry, inside a frame of one pixel.
    local rows_height=$((HEIGHT - 2))
    if ((rows_height != count * LIST_ROW_HEIGHT)); then
        fail "the drop-down list is $HEIGHT pixels high: it shows $((rows_height / LIST_ROW_HEIGHT)) entries (or rows of another height), expected $count"
    fi
    click "$popup" 40 $((1 + rows_height * (2 * position + 1) / (2 * count)))
    wait_for 10 "the drop-down list to close" window_hidden "$popup"
}

# The main window's type list: the arrow at the right end of the combo box.
choose_main_type() { choose_from_list "$MAIN" 280 $((26 + MENU_HEIGHT)) "$1" "$2"; }

# double-clicks the ROW-th file (from 0) of the main window's list.
open_main_file()
{
    double_click "$MAIN" 150 $((MENU_HEIGHT + 64 + 1 + LIST_ROW_HEIGHT * $1 + LIST_ROW_HEIGHT / 2))
}

# Preferences: the buttons' tops in the window, 17 pixels high.
declare -A PREF_BUTTON_TOP=(
    ["Change Name"]=80 ["Change Description"]=104 ["Change Path"]=128
    ["Opens with..."]=152 ["Remove Type"]=176 ["Done"]=200
)

open_preferences()
{
    menu d p
    wait_window Preferences 300 200
    PREF="$WID"
    # shellcheck disable=SC2034 # where the keyboard is, for wayland.sh
    PREF_AT=0
}

pref_button() { click "$PREF" 268 $((PREF_BUTTON_TOP[$1] + 8)); }

choose_pref_type() { choose_from_list "$PREF" 335 18 "$1" "$2"; }

close_preferences()
{
    pref_button Done
    wait_for 15 "the Preferences window to close" window_hidden "$PREF"
}

# rename_pref_type POSITION COUNT NAME: Edit > Preferences, the type at
# POSITION of COUNT, Change Name to NAME; Preferences stays open.
rename_pref_type()
{
    open_preferences
    choose_pref_type "$1" "$2"
    pref_button "Change Name"
    fill_box ctrl+a "$3"
}

# change_pref_description POSITION COUNT DESCRIPTION: as rename_pref_type,
# with Change Description, and Done closes Preferences.
change_pref_description()
{
    open_preferences
    choose_pref_type "$1" "$2"
    pref_button "Change Description"
    fill_box ctrl+a "$3"
    close_preferences
}

# add_type_by_menu SAMPLE NAME DESCRIPTION: Edit > Add New Type, the sample's
# path typed into the file dialog, then the name and the description.
add_type_by_menu()
{
    menu d a
    wait_window Open 300 200
    local dialog="$WID"
    focus "$dialog"
    type_text "$1"
    keys Return
    wait_for 15 "the file dialog to close" window_hidden "$dialog"
    fill_box "$2"
    fill_box "$3"
}

# The fraction of a screenshot's pixels that are strongly red: an error
# icon shows up as a red disc.
red_fraction()
{
    local image="$1"
    convert "$image" -fuzz 25% -fill black +opaque '#e00000' -fill white -opaque '#e00000' \
        -colorspace Gray -format '%[fx:mean]' info:
}

# ORVANE_E2E_DISPLAY=wayland: the same tests on a headless Wayland compositor.
case "${ORVANE_E2E_DISPLAY:-x11}" in
x11) ;;
wayland)
    # shellcheck source=tests/e2e/wayland.sh
    source "$(dirname "${BASH_SOURCE[0]}")/wayland.sh"
    ;;
*) printf 'ORVANE_E2E_DISPLAY is "%s": expected x11 or wayland\n' "$ORVANE_E2E_DISPLAY" >&2; exit 1 ;;
esac
