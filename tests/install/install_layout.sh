#!/usr/bin/env bash
# The installed files: the layout under the prefix, the desktop entry and
# the metainfo through their validators, the manual pages through man, the
# installed game's --help, --version and bad option, the data found from
# another directory, and the uninstall target removing every file again.
source "$(dirname "$0")/lib.sh" "$1"
install_stage
trap 'rm -rf "$STAGE"' EXIT
cd "$STAGE/usr"

for f in bin/chainball bin/chainball-sim \
  share/chainball/filut/VeraMoBd.ttf share/chainball/filut/pp.png share/chainball/filut/levelit/all_levels.txt \
  share/applications/chainball.desktop share/icons/hicolor/scalable/apps/chainball.svg \
  share/man/man6/chainball.6.gz share/man/man6/chainball-sim.6.gz \
  share/doc/chainball/README.md share/doc/chainball/copyright share/doc/chainball/changelog.gz; do
  [ -f "$f" ] || fail "$f is not installed"
done
for s in 32 48 64 128 256; do
  [ "$(identify -format '%wx%h' "share/icons/hicolor/${s}x${s}/apps/chainball.png")" = "${s}x${s}" ] ||
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

desktop-file-validate share/applications/chainball.desktop || fail "desktop-file-validate"
grep -qx 'Exec=chainball --extras' share/applications/chainball.desktop || fail "the desktop entry does not run the full game"
grep -A2 -x '\[Desktop Action classic\]' share/applications/chainball.desktop | grep -qx 'Exec=chainball' ||
  fail "the desktop entry has no action for the classic game"
metainfo=$(ls share/metainfo/*.metainfo.xml) || fail "no metainfo"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
# The same four screenshots as docs/screenshots/, each in the metainfo.
for shot in menu race two-players race-end; do
  grep -q "/$shot.png</image>" "$metainfo" || fail "metainfo lacks $shot.png"
  [ -f "$SOURCE_DIR/docs/screenshots/$shot.png" ] || fail "docs/screenshots/$shot.png missing"
done
for page in share/man/man6/*.6.gz; do
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man warns about $page: $warnings"
done
zcat share/man/man6/chainball.6.gz | grep -q '^\.SH "BAD INPUT"' || fail "chainball.6 lacks its bad-input section"

# The installed game's options, run from the root directory.
cd /
help=$("$GAME" --help) || fail "--help exited $?"
[[ "${help%%$'\n'*}" == "usage: chainball "* ]] && [[ "$help" == *"--version"* ]] || fail "--help printed: $help"
version=$("$GAME" --version) || fail "--version exited $?"
[[ "$version" =~ ^chainball\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version printed: $version"
err=$("$GAME" --no-such-option 2>&1 >/dev/null)
status=$?
[ "$status" -eq 2 ] || fail "a bad option exited $status"
[ "$(printf '%s\n' "$err" | wc -l)" -eq 2 ] && [[ "$err" == *"usage: chainball"* ]] || fail "a bad option printed: $err"

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

# The uninstall target removes every file it installed, and the game's own folders.
DESTDIR="$STAGE" cmake -DMANIFEST="$MANIFEST" -P "$SOURCE_DIR/cmake/uninstall.cmake" >/dev/null ||
  fail "uninstall"
left=$(find "$STAGE" -type f)
[ -z "$left" ] || fail "uninstall left: $left"
[ ! -e "$STAGE/usr/share/chainball" ] && [ ! -e "$STAGE/usr/share/doc/chainball" ] || fail "uninstall left the game's folders"
echo "install layout, validators, options, data finding and uninstall: all good"
