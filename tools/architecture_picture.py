#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws docs/pictures/architecture.png, the picture of docs/architecture.md:
the folders of src/ in their layers with the library each makes (the layer
order is tests/layers.py's), and the screens: the stack the one screen loop
runs, and the race screen with its three sources and the one input value.
Usage: tools/architecture_picture.py [OUT.png]"""
import os
import sys

from PIL import Image, ImageDraw, ImageFont

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..')
sys.path.insert(0, os.path.join(ROOT, 'tests'))
import layers  # noqa: E402  the layer order, from the one place that keeps it

FONT = os.path.join(ROOT, 'filut', 'VeraMoBd.ttf')
INK, PAPER, PINK, GREY = (40, 30, 50), (252, 250, 255), (175, 40, 170), (120, 120, 130)
# Each folder's library (CMakeLists.txt puts each folder in one).
LIBRARY = {'base': 'chainball_base', 'core': 'chainball_sim', 'track': 'chainball_sim',
           'race': 'chainball_sim', 'replay': 'chainball_sim', 'net': 'chainball_net',
           'sim': 'chainball_sim_cli', 'config': 'chainball_config', 'io': 'chainball_game',
           'draw': 'chainball_game', 'view': 'chainball_game', 'menu': 'chainball_game',
           'trackkit': 'chainball_kit', 'shell': 'chainball_game'}
NO_SDL = {'base', 'core', 'track', 'race', 'replay', 'net', 'config', 'sim'}


def box(d, xy, text, font, fill=PAPER, outline=INK):
    d.rectangle(xy, fill=fill, outline=outline, width=2)
    x0, y0, x1, y1 = xy
    w, h = d.textbbox((0, 0), text, font=font)[2:]
    d.multiline_text(((x0 + x1 - w) / 2, (y0 + y1 - h) / 2), text, font=font, fill=INK, align='center')


def arrow(d, a, b, colour=INK):
    d.line([a, b], fill=colour, width=2)
    (x0, y0), (x1, y1) = a, b
    length = max(1.0, ((x1 - x0) ** 2 + (y1 - y0) ** 2) ** 0.5)
    ux, uy = (x1 - x0) / length, (y1 - y0) / length
    d.polygon([b, (x1 - 9 * ux + 5 * uy, y1 - 9 * uy - 5 * ux), (x1 - 9 * ux - 5 * uy, y1 - 9 * uy + 5 * ux)],
              fill=colour)


def draw_layers(d, font, small):
    d.text((20, 12), 'Layers: each folder includes only folders below it', font=font, fill=INK)
    ranks = {}
    for folder, rank in layers.RANK.items():
        ranks.setdefault(rank, []).append(folder)
    top = 50
    rows = sorted(ranks, reverse=True)
    for i, rank in enumerate(rows):
        folders = sorted(ranks[rank])
        y = top + i * 56
        for j, folder in enumerate(folders):
            x = 20 + j * 150
            fill = (232, 246, 236) if folder in NO_SDL else (250, 232, 248)
            box(d, (x, y, x + 140, y + 42), f'{folder}/\n{LIBRARY.get(folder, "?")}', small, fill)
        if i + 1 < len(rows):
            arrow(d, (90, y + 42), (90, y + 56))
    y = top + len(rows) * 56 + 4
    d.rectangle((20, y, 34, y + 14), fill=(232, 246, 236), outline=INK)
    d.text((40, y), 'no SDL: the race, its replays, the network, chainball-sim', font=small, fill=INK)
    d.rectangle((20, y + 20, 34, y + 34), fill=(250, 232, 248), outline=INK)
    d.text((40, y + 20), 'SDL and the media libraries: the game and the kit', font=small, fill=INK)


def draw_screens(d, font, small):
    x = 520
    d.text((x, 12), 'Screens: one loop runs the top of a stack', font=font, fill=INK)
    stack = ['race screen (on top)', 'time trial, replays, settings...', 'main menu (classic or full)']
    for i, name in enumerate(stack):
        y = 50 + i * 50
        box(d, (x, y, x + 280, y + 40), name, small, (250, 232, 248) if i == 0 else PAPER)
    d.text((x + 292, 50), 'OPEN pushes a screen;\nBACK pops it, and the\nscreen under it runs on\nas it was (its cursor);\nREPLACE, HOME, QUIT',
           font=small, fill=GREY)
    # The race screen: one input value in, three sources under it.
    ry = 260
    d.text((x, ry - 30), 'The race screen', font=font, fill=INK)
    box(d, (x + 40, ry, x + 300, ry + 44), 'FrameInput: driving bits,\npause, leave, watch keys', small)
    box(d, (x + 40, ry + 80, x + 300, ry + 126), 'RaceScreen: countdown, pause,\nHUD, drawing, race end',
        small, (250, 232, 248))
    arrow(d, (x + 170, ry + 44), (x + 170, ry + 80))
    sources = ['keys and pads\n(local, recorded)', 'a replay\n(watched)', 'the network\n(online)']
    for i, name in enumerate(sources):
        sx = x - 10 + i * 155
        box(d, (sx, ry + 190, sx + 140, ry + 236), name, small)
        arrow(d, (sx + 70, ry + 190), (x + 170, ry + 126), PINK)
    d.text((x - 10, ry + 246), 'RaceSource: the same screen, another source', font=small, fill=PINK)
    d.text((x - 10, ry + 266), 'RacePlan (set-up and track) is a value, kept\nfor "Race again"; the results are a screen',
           font=small, fill=INK)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, 'docs', 'pictures', 'architecture.png')
    img = Image.new('RGB', (1000, 760), PAPER)
    d = ImageDraw.Draw(img)
    font, small = ImageFont.truetype(FONT, 15), ImageFont.truetype(FONT, 11)
    draw_layers(d, font, small)
    draw_screens(d, font, small)
    img.save(out, optimize=True)
    return 0


if __name__ == '__main__':
    sys.exit(main())
