#!/usr/bin/env bash
# The program installed into a prefix of its own: its files land in the
# usual places, the desktop entry and the software-centre metadata are
# valid, and the installed program shows its window with its icon and the
# window class its desktop entry names, opens its installed help pages, and
# says where they are when the desktop has no viewer.

source "$(dirname "$0")/lib.sh"
e2e_begin installed "$@"
require_tool xprop
require_tool desktop-file-validate

step "install into a temporary prefix"
prefix="$E2E_TMP/prefix"
cmake --install "$(dirname "$ORVANE")" --prefix "$prefix" >"$E2E_OUT/install.log" 2>&1 ||
    fail "cmake --install failed (see $E2E_OUT/install.log)"
entry="$prefix/share/applications/com.velcora.orvane.desktop"
for file in bin/orvane share/applications/com.velcora.orvane.desktop share/icons/hicolor/scalable/apps/orvane.svg \
    share/icons/hicolor/16x16/apps/orvane.png share/icons/hicolor/256x256/apps/orvane.png \
    share/orvane/help/index.html share/orvane/help/topic-9.html share/man/man1/orvane.1.gz \
    share/metainfo/com.velcora.orvane.metainfo.xml share/doc/orvane/copyright; do
    [ -f "$prefix/$file" ] || fail "the install has no $file"
done
desktop-file-validate "$entry" >"$E2E_OUT/validate.log" 2>&1 ||
    fail "the desktop entry is not valid: $(cat "$E2E_OUT/validate.log")"
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --pedantic --no-net "$prefix/share/metainfo/com.velcora.orvane.metainfo.xml" \
        >"$E2E_OUT/metainfo.log" 2>&1 || fail "the metainfo is not valid: $(cat "$E2E_OUT/metainfo.log")"
fi

# The desktop's viewer, stood in for by the stub, which records the page.
mkdir -p "$E2E_TMP/bin"
cp "$ARGSTUB" "$E2E_TMP/bin/xdg-open"
export PATH="$E2E_TMP/bin:$PATH"

step "start the installed program"
ORVANE="$prefix/bin/orvane"
start_main
xprop -id "$MAIN" _NET_WM_ICON >"$E2E_OUT/icon.txt" 2>&1
grep -q "Icon (" "$E2E_OUT/icon.txt" || fail "the main window carries no icon"
wmclass=$(sed -n 's/^StartupWMClass=//p' "$entry")
xprop -id "$MAIN" WM_CLASS >"$E2E_OUT/class.txt" 2>&1
grep -qF "\"$wmclass\"" "$E2E_OUT/class.txt" ||
    fail "the window's class is not the desktop entry's \"$wmclass\": $(cat "$E2E_OUT/class.txt")"

step "Help > Help Contents opens the installed contents page"
menu h Return  # Help Contents, the first item, has no access key
expect_started_with "$prefix/share/orvane/help/index.html"

step "leave with File > Exit"
exit_by_menu

step "without a viewer, Help Contents says where the page is and the program goes on"
mkdir -p "$E2E_TMP/noviewer"
PATH="$E2E_TMP/noviewer" start_orvane
wait_main_window
menu h Return
wait_box
still_running
keys Return
wait_for 10 "the box to close" has_no_window Orvane 150 60
exit_by_menu
