#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes every file of filut/: pictures, font, music, levels, sound
effects and the racers' balls; and the desktop icons in dist/icons/.

    /usr/bin/python3 tools/make_assets.py [pictures] [levels] [music] [font] [icons] [sounds] [racers]

With no arguments everything is made. The output is the same on every run:
all randomness comes from fixed seeds.
"""
import os
import shutil
import sys
import time

sys.dont_write_bytecode = True   # keep tools/ free of __pycache__
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

ROOT = os.path.normpath(os.path.join(HERE, '..'))
DATA = os.path.join(ROOT, 'filut')

FONT_SRC = '/usr/share/fonts/truetype/ttf-bitstream-vera/VeraMoBd.ttf'
# The font's licence as Bitstream wrote it; the system package's copyright
# file is Debian's packaging record, not the licence.
FONT_LICENCE = os.path.join(ROOT, 'LICENSES', 'Bitstream-Vera.txt')
COPYRIGHT = os.path.join(ROOT, 'debian', 'copyright')


def save_png(img, path):
    # no timestamps or other varying chunks, so the bytes are reproducible
    img.save(path, format='PNG', optimize=True)


def dep5_licence(name, text):
    """A DEP-5 licence paragraph: the name, then the text indented, with a
    lone '.' for each empty line."""
    lines = [' ' + line if line.strip() else ' .' for line in text.rstrip('\n').split('\n')]
    return '\n'.join(['License: ' + name] + lines) + '\n'


def make_font():
    shutil.copyfile(FONT_SRC, os.path.join(DATA, 'VeraMoBd.ttf'))
    with open(FONT_LICENCE, encoding='utf-8') as f:
        licence = f.read()
    with open(os.path.join(DATA, 'VeraMoBd-LICENSE.txt'), 'w', encoding='utf-8') as f:
        f.write(licence)
    # debian/copyright's paragraph of the licence, replaced in place.
    with open(COPYRIGHT, encoding='utf-8') as f:
        paragraphs = f.read().rstrip('\n').split('\n\n')
    paragraphs = [dep5_licence('Bitstream-Vera', licence).rstrip('\n')
                  if p.startswith('License: Bitstream-Vera\n') else p for p in paragraphs]
    with open(COPYRIGHT, 'w', encoding='utf-8') as f:
        f.write('\n\n'.join(paragraphs) + '\n')
    print('font: VeraMoBd.ttf copied; its licence in filut/ and debian/copyright from LICENSES/')


def make_pictures():
    import art
    for name, img in sorted(art.make_pictures().items()):
        save_png(img, os.path.join(DATA, name))
        print('picture: %-13s %dx%d %s' % (name, img.width, img.height, img.mode))


def make_icons():
    import icons
    folder = os.path.join(ROOT, 'dist', 'icons')
    os.makedirs(folder, exist_ok=True)
    for size, img in sorted(icons.make_pngs().items()):
        save_png(img, os.path.join(folder, 'chainball-%d.png' % size))
    with open(os.path.join(folder, 'chainball.svg'), 'w') as f:
        f.write(icons.make_svg())
    # The window's own icon, which the game sets at start-up: 32 pixels, as
    # window managers show it.
    save_png(icons.make_pngs()[32], os.path.join(DATA, 'icon.png'))
    print('icons: chainball-{%s}.png and chainball.svg in dist/icons/, icon.png in filut/' %
          ','.join(map(str, icons.SIZES)))


def make_levels():
    import levels
    print('levels:')
    levels.write_levels(os.path.join(DATA, 'levelit'))


def make_music():
    import music
    music.write_ogg(os.path.join(DATA, 'musa.ogg'))


def make_sounds():
    import sounds
    sounds.write_sounds(os.path.join(DATA, 'sounds'))


def make_racers():
    import racers
    for name, img in sorted(racers.make_pictures().items()):
        save_png(img, os.path.join(DATA, name))
        print('racer: %-16s %dx%d %s' % (name, img.width, img.height, img.mode))


STEPS = {'font': make_font, 'pictures': make_pictures, 'levels': make_levels, 'music': make_music,
         'icons': make_icons, 'sounds': make_sounds, 'racers': make_racers}


def main(argv):
    wanted = argv[1:] or ['font', 'pictures', 'levels', 'music', 'icons', 'sounds', 'racers']
    unknown = [w for w in wanted if w not in STEPS]
    if unknown:
        print('unknown part: %s (choose from %s)' % (', '.join(unknown), ', '.join(STEPS)))
        return 2
    os.makedirs(os.path.join(DATA, 'levelit'), exist_ok=True)
    for w in wanted:
        t = time.time()
        STEPS[w]()
        print('  (%s took %.1f s)' % (w, time.time() - t))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
