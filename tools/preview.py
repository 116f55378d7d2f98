#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Mock-ups for looking at the data: a level drawn from the atlas the way
the race draws it, the menu with the logo over its colour bands, and the
sprites on grass and road.

    /usr/bin/python3 tools/preview.py [LevelName|menu|sprites|patches] [out.png]
"""
import os
import random
import sys

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.normpath(os.path.join(HERE, '..', 'filut'))

PIECES = {0: (0, 0, 50, 50), 1: (50, 0, 50, 50), 2: (100, 0, 50, 50), 3: (150, 0, 50, 50),
          4: (0, 50, 50, 50), 5: (150, 50, 50, 50), 6: (200, 0, 50, 100), 7: (50, 50, 100, 50),
          8: (350, 0, 100, 100), 9: (450, 0, 100, 100), 10: (550, 0, 100, 100),
          11: (250, 0, 100, 100)}
CODES = {'.': 0, '=': 6, 'T': 7, '1': 8, '2': 9, '3': 10, '4': 11, 'M': 12, '#': 999}


def load(name):
    return Image.open(os.path.join(DATA, name)).convert('RGBA')


def read_level(name):
    with open(os.path.join(DATA, 'levelit', name + '.txt')) as f:
        chars = [c for c in f.read() if not c.isspace()]
    size = int(''.join(chars[:4]))
    tiles = [[0] * (size + 1) for _ in range(size + 1)]
    rng = random.Random(7)
    for k, c in enumerate(chars[4:4 + size * size]):
        x, y = k % size, k // size
        if c == 'x':
            v = rng.randrange(3) + 1
            if rng.randrange(3) == 0:
                v = rng.randrange(5) + 1
            tiles[x][y] = v
        else:
            tiles[x][y] = CODES.get(c, 0)
    return size, tiles


def draw_level(name, markers=True, racers=True):
    import check_levels
    size, tiles = read_level(name)
    atlas = load('set.png')
    pieces = {}
    for code, (x, y, w, h) in PIECES.items():
        p = Image.new('RGBA', (w, h), (0, 0, 0, 255))
        p.alpha_composite(atlas.crop((x, y, x + w, y + h)))
        pieces[code] = p
    finish = load('maali.png')
    img = Image.new('RGBA', (size * 50, size * 50), (0, 0, 0, 255))
    for x in range(size):               # columns outermost, like the game
        for y in range(size):
            t = tiles[x][y]
            pic = None
            if 0 <= t <= 7:
                pic = pieces[t]
            elif 8 <= t <= 11 and tiles[x + 1][y + 1] == t:
                pic = pieces[t]
            elif t == 12:
                pic = finish
            if pic is not None:
                img.alpha_composite(pic, (x * 50, y * 50))
    with open(os.path.join(DATA, 'levelit', name + '.txt')) as f:
        info = check_levels.check(f.read(), name)
    if racers:
        balls = [load('pallura%d.png' % i) for i in range(1, 5)]
        fx, fy = info['finish_px']
        for r, off in enumerate((23, 50, 77)):
            for b in range(6 - r):
                img.alpha_composite(balls[(r + b) % 4], (fx + off - 13, fy + 35 + 27 * b - 13))
    if markers:
        rings = [load('donut.png'), load('donut2.png')]
        for k, (cx, cy) in enumerate(info['checkpoint_list']):
            img.alpha_composite(rings[k % 2], (cx + 5, cy + 5))
    lap = load('palkki.png')
    img.alpha_composite(lap, (10, 10))
    d = ImageDraw.Draw(img)
    font = ImageFont.truetype(os.path.join(DATA, 'VeraMoBd.ttf'), 12)
    d.text((15, 13), 'Lap: 0', font=font, fill=(0, 0, 0))
    d.text((85, 13), '/3', font=font, fill=(0, 0, 0))
    return img


def menu_background(phase):
    img = Image.new('RGB', (500, 500))
    data = []
    for y in range(500):
        for x in range(500):
            v = x * y + 100 * phase
            ch = []
            for div in (500, 450, 400):
                c = (v // div) % 255
                if c <= 127:
                    c -= 15
                if c > 128:
                    c += 15
                c = min(255, c + 90)
                ch.append(c)
            if sum(ch) > 720:
                ch = [200, 200, 255]
            data.append(tuple(ch))
    img.putdata(data)
    return img.convert('RGBA')


def draw_menu(phase=2000):
    img = menu_background(phase)
    img.alpha_composite(load('pp.png'), (68, 50))
    d = ImageDraw.Draw(img, 'RGBA')
    font = ImageFont.truetype(os.path.join(DATA, 'VeraMoBd.ttf'), 12)
    for i, label in enumerate(('Start 1 player', 'Start 2 players', 'Settings', 'Quit')):
        y = 150 + 30 * i
        fill = (175, 40, 170, 255) if i == 0 else (245, 126, 241, 170)
        d.rectangle((180, y, 320, y + 20), fill=fill)
        d.rectangle((180, y, 320, y + 20), outline=(252, 206, 251, 255))
        d.text((183, y + 3), label, font=font, fill=(252, 206, 251))
    return img


def draw_sprites():
    atlas = load('set.png')
    img = Image.new('RGBA', (650, 330), (40, 40, 40, 255))
    img.alpha_composite(atlas, (0, 0))
    grass = atlas.crop((0, 0, 50, 50))
    road = atlas.crop((60, 50, 110, 100))
    y = 110
    for bg_i, bg in enumerate((grass, road)):
        for i in range(4):
            tile = Image.new('RGBA', (100, 100))
            for tx in (0, 50):
                for ty in (0, 50):
                    tile.alpha_composite(bg, (tx, ty))
            b = load('pallura%d.png' % (i + 1))
            big = b.resize((78, 78), Image.NEAREST)
            tile.alpha_composite(big, (11, 11))
            img.alpha_composite(tile, (i * 105 + bg_i * 0, y + bg_i * 105))
    img.alpha_composite(load('donut.png'), (430, 110))
    img.alpha_composite(load('donut2.png'), (530, 110))
    img.alpha_composite(load('maali.png'), (430, 215))
    img.alpha_composite(load('palkki.png'), (535, 215))
    return img


# Grass beside a straight road, slowing cells alone, in pairs and in a block,
# to judge at 1:1 how the patches sit in the grass and tell the kinds apart.
PATCHES = ['.........',
           '.1..2..3.',
           '.........',
           '..45.12..',
           '.....34..',
           '.........',
           '=========',
           '.........',
           '.123.45..',
           '.........']


def draw_patches():
    atlas = load('set.png')
    rows, cols = len(PATCHES), len(PATCHES[0])
    img = Image.new('RGBA', (cols * 50, rows * 50), (0, 0, 0, 255))
    for y, line in enumerate(PATCHES):
        for x, c in enumerate(line):
            if c == '=':
                if y == 0 or PATCHES[y - 1][x] != '=':
                    px, py, w, h = PIECES[6]
                    img.alpha_composite(atlas.crop((px, py, px + w, py + h)), (x * 50, y * 50))
                continue
            if y > 0 and PATCHES[y - 1][x] == '=':
                continue                # under the two-cell road piece
            px, py, w, h = PIECES[int(c) if c != '.' else 0]
            img.alpha_composite(atlas.crop((px, py, px + w, py + h)), (x * 50, y * 50))
    balls = [load('pallura%d.png' % i) for i in range(1, 5)]
    for k in range(4):
        img.alpha_composite(balls[k], (120 + 27 * k, 6 * 50 + 37))
    return img


def main(argv):
    what = argv[1] if len(argv) > 1 else 'FirstLoop'
    out = argv[2] if len(argv) > 2 else '/tmp/assets-preview.png'
    if what == 'menu':
        img = draw_menu()
    elif what == 'sprites':
        img = draw_sprites()
    elif what == 'patches':
        img = draw_patches()
    else:
        img = draw_level(what)
    img.convert('RGB').save(out)
    print('wrote %s (%dx%d)' % (out, img.width, img.height))


if __name__ == '__main__':
    sys.path.insert(0, HERE)
    main(sys.argv)
