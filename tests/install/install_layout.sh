#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The installed files: the layout under the prefix, the desktop entry and
# the metainfo through their validators and named after the app ID, the
# manual pages through man, the documents' links, the copyright file, no
# placeholder address, the installed game's --help, --version and bad
# option, and the data found from another directory, by the game and the kit.
source "$(dirname "$0")/lib.sh" "$1"
install_stage
trap 'rm -rf "$SCRATCH"' EXIT
cd "$STAGE/usr"
APP=org.chainball.Chainball

for f in bin/chainball bin/chainball-sim \
  share/chainball/filut/VeraMoBd.ttf share/chainball/filut/pp.png share/chainball/filut/levelit/all_levels.txt \
  share/applications/$APP.desktop share/icons/hicolor/scalable/apps/$APP.svg share/metainfo/$APP.metainfo.xml \
  share/man/man6/chainball.6.gz share/man/man6/chainball-sim.6.gz \
  share/doc/chainball/README.md share/doc/chainball/copyright share/doc/chainball/changelog.gz \
  share/doc/chainball/docs/tracks.md share/doc/chainball/docs/example/1-ground.txt; do
  [ -f "$f" ] || fail "$f is not installed"
done
for s in 32 48 64 128 256; do
  [ "$(identify -format '%wx%h' "share/icons/hicolor/${s}x${s}/apps/$APP.png")" = "${s}x${s}" ] ||
    fail "the ${s}x${s} icon is missing or has another size"
done
[ -x bin/chainball ] && [ -x bin/chainball-sim ] || fail "programs not executable"
# Every file of the data folder, and nothing beside it.
diff <(cd "$SOURCE_DIR/filut" && find . -type f | sort) \
  <(cd share/chainball/filut && find . -type f | sort) || fail "the installed data folder differs from filut/"
# The programs installed are the ones the build has, and each has a manual page.
for p in bin/*; do
  [ -f "share/man/man6/$(basename "$p").6.gz" ] || fail "no manual page for $(basename "$p")"
done

desktop=share/applications/$APP.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
# The menu starts the full game by the program's own path, so a PATH
# without the programs' folder does not matter; the action, the classic one.
mapfile -t execs < <(sed -n 's/^Exec=//p' "$desktop")
[ "${execs[*]}" = "/usr/bin/chainball --extras /usr/bin/chainball" ] || fail "the desktop entry runs: ${execs[*]}"
[ -x "$STAGE${execs[1]}" ] || fail "the desktop entry's program $STAGE${execs[1]} is not there"
grep -qx "Icon=$APP" "$desktop" && grep -qx 'Name=Classic game' "$desktop" || fail "the desktop entry's icon or action"
metainfo=share/metainfo/$APP.metainfo.xml
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
for want in "<id>$APP</id>" "<launchable type=\"desktop-id\">$APP.desktop</launchable>" "<icon type=\"stock\">$APP</icon>" \
  '<control>keyboard</control>' '<control>gamepad</control>' '<name>The Chainball developers</name>' \
  '<project_license>GPL-3.0-or-later AND CC-BY-SA-4.0 AND Bitstream-Vera</project_license>' \
  '<metadata_license>CC0-1.0</metadata_license>'; do
  grep -qF "$want" "$metainfo" || fail "the metainfo lacks $want"
done
# Software centres cut a summary longer than 35 characters.
summary=$(sed -n 's|^ *<summary>\(.*\)</summary>$|\1|p' "$metainfo")
[ -n "$summary" ] && [ "${#summary}" -le 35 ] || fail "the metainfo's summary is '$summary' (${#summary} characters)"
# A release entry, with its notes, for every version in the changelog.
for version in $(zcat share/doc/chainball/changelog.gz | sed -n 's/^chainball (\([^)]*\)).*/\1/p'); do
  grep -A2 "<release version=\"$version\" date=\"[0-9-]*\">" "$metainfo" | grep -q '<description>' ||
    fail "the metainfo has no release $version with notes"
done
# No placeholder address anywhere in what is installed.
placeholder=$(grep -rlaiE 'example\.(org|com|net)' . || true)
[ -z "$placeholder" ] || fail "placeholder addresses in: $placeholder"
# Every relative link of the installed documents leads to an installed file.
for md in $(find share/doc/chainball -name '*.md'); do
  for link in $(grep -o '](\([^)#]*\))' "$md" | sed 's/^](\(.*\))$/\1/' | grep -v '^[a-z]*:'); do
    [ -e "$(dirname "$md")/$link" ] || fail "$md links to $link, which is not installed"
  done
done
/usr/bin/python3 "$SOURCE_DIR/tests/install/check_copyright.py" "$SOURCE_DIR" "$STAGE/usr" || fail "the copyright file"
for page in share/man/man6/*.6.gz; do
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man warns about $page: $warnings"
done
zcat share/man/man6/chainball.6.gz | grep -q '^\.SH "BAD INPUT"' || fail "chainball.6 lacks its bad-input section"
# The pages are dated from the newest changelog entry, pass mandoc's lint
# and keep their lines within 80 columns.
released=$(date -u -d "$(zcat share/doc/chainball/changelog.gz | sed -n 's/^ -- .*>  //p' | head -n1)" +%F)
for page in share/man/man6/*.6.gz; do
  zcat "$page" | grep -q "^\.TH [A-Z-]* 6 \"$released\" " || fail "$page is not dated $released: $(zcat "$page" | grep '^\.TH')"
  lint=$(mandoc -T lint -W style "$page" 2>&1) || fail "mandoc -T lint on $page: $lint"
  [ -z "$lint" ] || fail "mandoc -T lint on $page: $lint"
  long=$(zcat "$page" | awk 'length > 80 {print FNR}')
  [ -z "$long" ] || fail "$page has lines over 80 columns: $long"
done

# The installed game's options, run from the root directory.
cd /
help=$("$GAME" --help) || fail "--help exited $?"
[[ "${help%%$'\n'*}" == "usage: chainball "* ]] && [[ "$help" == *"--version"* ]] || fail "--help printed: $help"
version=$("$GAME" --version) || fail "--version exited $?"
[[ "$version" =~ ^chainball\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version printed: $version"
err=$("$GAME" --no-such-option 2>&1 >/dev/null)
status=$?
[ "$status" -eq 2 ] || fail "a bad option exited $status"
[ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] && [[ "$err" == *"see chainball --help"* ]] || fail "a bad option printed: $err"

# The installed kit finds the installed data folder as the game does, from
# the root directory: check, stats and render of a shipped track.
KIT="$STAGE/usr/bin/chainball-track"
TRACK="$STAGE/usr/share/chainball/filut/levelit/Serpent.txt"
out=$("$KIT" check "$TRACK" 2>&1) || fail "the installed kit's check exited $?: $out"
out=$("$KIT" stats "$TRACK" 2>&1) || fail "the installed kit's stats exited $?: $out"
[[ "$out" == *"computer lap"* ]] || fail "the installed kit's stats printed: $out"
out=$("$KIT" render -o "$SCRATCH/serpent.png" "$TRACK" 2>&1) || fail "the installed kit's render exited $?: $out"
[ "$(identify -format '%m' "$SCRATCH/serpent.png")" = PNG ] || fail "the installed kit's render wrote no picture"

# run_without PATH: the installed game run with PATH moved away for the
# while; its stderr in err, its exit status in status.
run_without() {
  mv "$1" "$STAGE/away"
  err=$(SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 20 "$GAME" 2>&1 >/dev/null)
  status=$?
  mv "$STAGE/away" "$1"
}

# From any directory the installed data folder is found: a missing picture
# there is reported in share/chainball/filut.
run_without "$STAGE/usr/share/chainball/filut/pp.png"
[ "$status" -eq 1 ] && [ "$err" = "chainball: cannot start, data files in $STAGE/usr/share/chainball/filut: no such file: pp.png" ] ||
  fail "the installed game did not use its data folder (status $status): $err"
# Without any, every place searched is named.
run_without "$STAGE/usr/share/chainball"
[ "$status" -eq 1 ] && [ "$err" = "chainball: cannot start, no data folder filut/ in $STAGE/usr/bin, $STAGE/usr/share/chainball, /" ] ||
  fail "without data (status $status): $err"

echo "install layout, validators, documents, copyright, options and data finding: all good"
