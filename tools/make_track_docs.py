#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Regenerates what docs/tracks.md shows from the program itself: the
pictures of the worked example (chainball-track render) and the blocks of
command output between '<!-- run: ARGS -->' and '<!-- end -->' (run-raw
puts the output in as it is, run puts it in a text block). Also the
README's table of the shipped tracks between '<!-- track-table -->' and
'<!-- end -->': a small picture of each (docs/pictures/tracks/), its size,
road width, direction, finish, and under both off-road rules (Free /
Slows) the computer lap, the Expert's lap, cut gain and mud cut from
`chainball-track stats`. Usage:
make_track_docs.py BUILD_DIR"""
import json
import os
import re
import subprocess
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..')
GUIDE = os.path.join(ROOT, 'docs', 'tracks.md')
README = os.path.join(ROOT, 'README.md')
LEVELS = 'filut/levelit'
TABLE = re.compile(r'(<!-- track-table -->\n)(.*?)(<!-- end -->)', re.S)
THUMB_PX = 120   # every track's picture this wide, whatever its size
EXAMPLE = 'docs/example'
PICTURES = 'docs/pictures'
BLOCK = re.compile(r'(<!-- (run|run-raw): ([^>]*?) -->\n)(.*?)(<!-- end -->)', re.S)


def kit(build, args):
    run = subprocess.run([os.path.join(build, 'chainball-track')] + args, cwd=ROOT,
                         capture_output=True, text=True)
    if run.returncode not in (0, 1):
        sys.exit(f'chainball-track {" ".join(args)} failed: {run.stderr}')
    return run.stdout


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    build = os.path.abspath(sys.argv[1])
    os.makedirs(os.path.join(ROOT, PICTURES), exist_ok=True)
    for name in sorted(os.listdir(os.path.join(ROOT, EXAMPLE))):
        stem = name[:-4]
        # An example with lanes is drawn as the full game shows it.
        with open(os.path.join(ROOT, EXAMPLE, name)) as f:
            look = ['--full'] if '+' in f.read()[4:] else []
        kit(build, ['render', f'{EXAMPLE}/{name}', '-o', f'{PICTURES}/{stem}.png', '--scale', '0.5'] + look)
    kit(build, ['render', f'{EXAMPLE}/3-finish.txt', '-o', f'{PICTURES}/3-finish-route.png', '--route'])

    with open(GUIDE, encoding='utf-8') as f:
        text = f.read()

    def fill(m):
        out = kit(build, m.group(3).split())
        body = out if m.group(2) == 'run-raw' else '```text\n' + out + '```\n'
        return m.group(1) + body + m.group(5)

    with open(GUIDE, 'w', encoding='utf-8') as f:
        f.write(BLOCK.sub(fill, text))
    track_table(build)


def track_table(build):
    """The README's table of the shipped tracks, in catalogue order."""
    with open(os.path.join(ROOT, LEVELS, 'all_levels.txt')) as f:
        names = [n for n in re.sub(r'\s', '', f.read()).split('#') if n]
    folder = os.path.join(PICTURES, 'tracks')
    os.makedirs(os.path.join(ROOT, folder), exist_ok=True)
    files = [f'{LEVELS}/{n}.txt' for n in names]
    figures = json.loads(kit(build, ['stats', '--json'] + files))
    rows = ['| Track | Picture | Size | Road | Direction | Finish | Computer lap | Expert, 7 balls '
            '| Cut gain, 1 ball | Cut gain, 7 balls | Mud cut, 1 ball | Mud cut, 7 balls |',
            '|---|---|---|---|---|---|---|---|---|---|---|---|']

    def both(fig, number):
        """A figure under Free and under Slows: 'FREE / SLOWS'."""
        free, slows = number(fig), number(fig['slows'])
        return 'none' if free is None else f'{free} / {slows}'

    def lap(key):
        return lambda rule: None if rule[key] is None else '%.1f' % rule[key]

    def gain(balls, figure='cut_gain'):
        def number(rule):
            g = rule[figure][balls]['gain_percent']
            return None if g is None else '%+.1f' % g
        return number

    def percent(fig, balls, figure='cut_gain'):
        text = both(fig, gain(balls, figure))
        return text if text == 'none' else text + ' %'
    for name, path, fig in zip(names, files, figures):
        picture = f'{folder}/{name}.png'
        kit(build, ['render', path, '--full', '-o', picture, '--scale', '%.4f' % (THUMB_PX / (50.0 * fig['size']))])
        finish = {'left': 'left road', 'right': 'right road', 'inside': 'inside'}[fig['finish_side']]
        road = '2 to 3 cells' if fig['wide_cells'] else '2 cells'
        rows.append(f'| {name} | ![{name}]({picture}) | {fig["size"]} x {fig["size"]} | {road} | {fig["direction"]} '
                    f'| {finish} | {both(fig, lap("lap_seconds"))} s | {both(fig, lap("expert_lap_seconds"))} s '
                    f'| {percent(fig, "1")} | {percent(fig, "7")} '
                    f'| {percent(fig, "1", "mud_cut")} | {percent(fig, "7", "mud_cut")} |')
    with open(README, encoding='utf-8') as f:
        text = f.read()
    if not TABLE.search(text):
        sys.exit('README.md has no <!-- track-table --> block')
    with open(README, 'w', encoding='utf-8') as f:
        f.write(TABLE.sub(lambda m: m.group(1) + '\n'.join(rows) + '\n' + m.group(3), text))


if __name__ == '__main__':
    main()
