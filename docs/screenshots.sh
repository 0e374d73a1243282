#!/usr/bin/env bash
# Retakes the README's screenshots, docs/screenshots/main.png and
# preferences.png, and the same windows in a 14 pt font (main-14pt.png,
# preferences-14pt.png), from the built program on a private X server, with a
# sample home of three types. Builds nothing.
#
# usage: docs/screenshots.sh [ORVANE]      (default: build/orvane)
#
# Needs Xvfb, xdotool, qt6ct and ImageMagick (all in `make deps`).
set -euo pipefail
docs="$(cd "$(dirname "$0")" && pwd)"
orvane="$(realpath "${1:-$docs/../build/orvane}")"
shots="$docs/screenshots"
tmp="$(mktemp -d)"
server=""
program=""
trap '[ -z "$program" ] || kill "$program"; [ -z "$server" ] || kill "$server"; rm -rf "$tmp"' EXIT

export HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" XDG_RUNTIME_DIR="$tmp/runtime"
export QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME=qt6ct NO_AT_BRIDGE=1 LANG=C.UTF-8
unset SESSION_MANAGER DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
server=$!
until [ -s "$tmp/display" ]; do sleep 0.1; done
export DISPLAY=":$(cat "$tmp/display")"

# Three types below the sample home, as in a person's own home.
sample="$HOME/anna/Documents"
mkdir -p "$sample/Letters" "$sample/Photos" "$sample/Notes" "$XDG_CONFIG_HOME/Orvane"
touch "$sample/Letters/"{"Dear Anna.txt","Thank you.txt","To the landlord.txt"}
touch "$sample/Photos/"{"Beach at dusk.jpg","Birthday cake.jpg","Garden in May.jpg","Lighthouse.jpg","Old harbour.jpg"}
touch "$sample/Notes/"{"Groceries.md","Ideas.md","Reading list.md"}
cat >"$XDG_CONFIG_HOME/Orvane/Orvane.conf" <<EOF
[Types]
Number Of Types=3
Type name 0=Letters
Type ext 0=txt
Type path 0=$sample/Letters/
Type desc 0=Letters to family and friends
Type app 0=/usr/bin/xdg-open
Type name 1=Photos
Type ext 1=jpg
Type path 1=$sample/Photos/
Type desc 1="Holiday and family photos, to show in the image viewer"
Type app 1=/usr/bin/xdg-open
Type name 2=Notes
Type ext 2=md
Type path 2=$sample/Notes/
Type desc 2=Notes and lists in Markdown
Type app 2=/usr/bin/xdg-open
EOF

# window TITLE: the id of the program's visible window of that title.
window() {
    local id=""
    for _ in $(seq 100); do
        id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)" && [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "$id" ] || { echo "no window \"$1\"" >&2; exit 1; }
    echo "$id"
}
# shoot ID NAME: the window's picture, once it stops changing, without time stamps.
shoot() {
    local before="" now=""
    while now="$(import -window "$1" rgb:- | md5sum)" && [ "$now" != "$before" ]; do before="$now"; sleep 0.3; done
    import -window "$1" "$tmp/shot.png"
    convert "$tmp/shot.png" -strip -define png:exclude-chunks=date,time "$shots/$2.png"
    echo "wrote $shots/$2.png"
}

for points in 7.5 14; do
    suffix=""; [ "$points" = 7.5 ] || suffix="-${points}pt"
    mkdir -p "$XDG_CONFIG_HOME/qt6ct"
    printf '[Appearance]\nstyle=Fusion\n[Fonts]\ngeneral="Sans Serif,%s,-1,5,400,0,0,0,0,0,0,0,0,0,0,1"\n' \
        "$points" >"$XDG_CONFIG_HOME/qt6ct/qt6ct.conf"
    "$orvane" &
    program=$!
    main="$(window 'Orvane 1.02')"
    # Photos chosen with the keyboard, which then leaves the type list: no
    # blinking text cursor in the picture.
    xdotool windowfocus --sync "$main" key --delay 100 Tab Down Down Tab
    shoot "$main" "main$suffix"
    xdotool key --delay 100 alt+d p
    pref="$(window Preferences)"
    # It shows the main window's type, Photos.
    xdotool windowfocus --sync "$pref" key --delay 100 Tab
    # The pointer on Remove Type shows its hint on the window's last line.
    button=$(xdotool getwindowgeometry "$pref" | sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\)/\1 \2/p')
    read -r width height <<<"$button"
    xdotool mousemove --window "$pref" $((width * 3 / 4)) $((height * 2640 / 3900 + 6))
    shoot "$pref" "preferences$suffix"
    kill "$program"; wait "$program" || true; program=""
done
