#!/usr/bin/env python3
"""Regenerates what docs/tracks.md shows from the program itself: the
pictures of the worked example (chainball-track render) and the blocks of
command output between '<!-- run: ARGS -->' and '<!-- end -->' (run-raw
puts the output in as it is, run puts it in a text block). Usage:
make_track_docs.py BUILD_DIR"""
import os
import re
import subprocess
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..')
GUIDE = os.path.join(ROOT, 'docs', 'tracks.md')
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
        kit(build, ['render', f'{EXAMPLE}/{name}', '-o', f'{PICTURES}/{stem}.png', '--scale', '0.5'])
    kit(build, ['render', f'{EXAMPLE}/3-finish.txt', '-o', f'{PICTURES}/3-finish-route.png', '--route'])

    with open(GUIDE, encoding='utf-8') as f:
        text = f.read()

    def fill(m):
        out = kit(build, m.group(3).split())
        body = out if m.group(2) == 'run-raw' else '```text\n' + out + '```\n'
        return m.group(1) + body + m.group(5)

    with open(GUIDE, 'w', encoding='utf-8') as f:
        f.write(BLOCK.sub(fill, text))


if __name__ == '__main__':
    main()
