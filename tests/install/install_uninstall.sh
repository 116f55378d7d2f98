#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# make uninstall removes exactly what the install of the same DESTDIR and
# prefix wrote: the tree is as it was before, folders included, other
# people's files and a changed file are left alone, and a DESTDIR with no
# install recorded (another fake root holding the same paths, or the real
# root) is refused with one line and left untouched.
source "$(dirname "$0")/lib.sh" "$1"
trap 'rm -rf "$SCRATCH"' EXIT

# A root that already holds things beside where the game goes: a shared
# folder with a file of someone else's, and an empty folder.
root="$SCRATCH/root"
mkdir -p "$root/usr/share/applications" "$root/usr/share/icons/hicolor" "$root/usr/bin"
echo "someone else's entry" >"$root/usr/share/applications/other.desktop"
before=$(tree "$root")

# Install then uninstall: the tree as before, the folders the install made
# gone, the ones that were there kept.
install_to "$root"
[ -x "$root/usr/bin/chainball" ] && [ -f "$root/usr/share/chainball/filut/pp.png" ] || fail "the install wrote nothing"
uninstall_from "$root" || { cat "$SCRATCH/log"; fail "uninstall exited $?"; }
diff <(echo "$before") <(tree "$root") || fail "install then uninstall changed the tree (above)"

# Installed twice over itself, then uninstalled once: still as before.
install_to "$root"
install_to "$root"
uninstall_from "$root" || fail "uninstall after two installs"
diff <(echo "$before") <(tree "$root") || fail "two installs then uninstall changed the tree (above)"

# Another root holds files at the very paths of the game (as a package
# would): an uninstall of it has nothing recorded, refuses in one line
# and touches nothing, while the staged install stays whole.
other="$SCRATCH/other"
install_to "$root"
staged=$(tree "$root")
mkdir -p "$other/usr/share/chainball/filut" "$other/usr/bin"
echo "the package's picture" >"$other/usr/share/chainball/filut/pp.png"
echo "the package's game" >"$other/usr/bin/chainball"
other_before=$(tree "$other")
uninstall_from "$other" && fail "uninstall of a DESTDIR with nothing recorded succeeded"
[ "$(wc -l <"$SCRATCH/log")" -eq 1 ] && grep -q "nothing was installed from this build for DESTDIR '$other'" "$SCRATCH/log" ||
  fail "the refusal said: $(cat "$SCRATCH/log")"
diff <(echo "$other_before") <(tree "$other") || fail "the refused uninstall changed the other root"
diff <(echo "$staged") <(tree "$root") || fail "the refused uninstall changed the staged install"
# The real root, with nothing recorded for it, is refused the same way.
uninstall_from "" && fail "uninstall of the real root with nothing recorded succeeded"
grep -q "nothing was installed from this build for DESTDIR '' and prefix /usr" "$SCRATCH/log" ||
  fail "the refusal for the real root said: $(cat "$SCRATCH/log")"

# A file changed since the install is kept, with its folders; the rest goes.
echo "my notes" >>"$root/usr/share/doc/chainball/README.md"
uninstall_from "$root" || fail "uninstall with a changed file"
grep -q "kept $root/usr/share/doc/chainball/README.md: it changed since the install" "$SCRATCH/log" ||
  fail "the changed file was not named: $(cat "$SCRATCH/log")"
[ -f "$root/usr/share/doc/chainball/README.md" ] || fail "the changed file was removed"
left=$(cd "$root" && find . -type f | sort)
[ "$left" = "$(printf './usr/share/applications/other.desktop\n./usr/share/doc/chainball/README.md')" ] ||
  fail "after the uninstall with a changed file: $left"
# With nothing recorded any more, a second uninstall is refused.
uninstall_from "$root" && fail "a second uninstall succeeded"
echo "uninstall: the tree as before, other roots and changed files untouched, refusals in one line"
