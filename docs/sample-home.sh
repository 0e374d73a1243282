# The sample home of the screenshots, sourced after tests/e2e/lib.sh: three
# types below $HOME/anna/Documents, as in a person's own home (the
# preferences window shows the folders above the type's folder). No type's
# application is started: xdg-open stands in for it.
sample="$HOME/anna/Documents"
mkdir -p "$sample/Letters" "$sample/Photos" "$sample/Notes"
touch "$sample/Letters/"{"Dear Anna.txt","Thank you.txt","To the landlord.txt"}
touch "$sample/Photos/"{"Beach at dusk.jpg","Birthday cake.jpg","Garden in May.jpg","Lighthouse.jpg","Old harbour.jpg"}
touch "$sample/Notes/"{"Groceries.md","Ideas.md","Reading list.md"}
{
    printf '[Types]\nNumber Of Types=3\n'
    type_lines 0 Letters txt "$sample/Letters/" "Letters to family and friends" /usr/bin/xdg-open
    type_lines 1 Photos jpg "$sample/Photos/" '"Holiday and family photos, to show in the image viewer"' /usr/bin/xdg-open
    type_lines 2 Notes md "$sample/Notes/" "Notes and lists in Markdown" /usr/bin/xdg-open
} | write_settings

shots="$docs/screenshots"
mkdir -p "$shots"

# keep_shot NAME: the picture in $E2E_TMP/shot.png to docs/screenshots/NAME.png,
# without time stamps, so that an unchanged window gives an unchanged file.
keep_shot()
{
    convert "$E2E_TMP/shot.png" -strip -define png:exclude-chunks=date,time "$shots/$1.png" ||
        fail "convert could not write $shots/$1.png"
    note "wrote $shots/$1.png"
}
