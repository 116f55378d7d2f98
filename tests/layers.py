#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Layers point down: a folder of src/ may include only its own folder and
the folders below it, and the simulation (the base, core, track, race,
replay, net and sim folders) never reaches an SDL header, directly or
through our own headers: chainball-sim links no SDL. Prints the folder ->
folder edges it found."""
import os
import re
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..')
SRC = os.path.join(ROOT, 'src')
# Ground first. The simulation's folders come first; config (the settings,
# records and cup files) and io (SDL's input and output: window surfaces,
# events, keys and pads) stand on them and never on each other; sim (the
# simulator's command line, which reads the cup file) stands on config;
# draw (text and buttons) and the screens come above.
RANK = {'base': 0, 'core': 1, 'track': 2, 'race': 3, 'replay': 4, 'net': 5,
        'config': 6, 'io': 6, 'sim': 7, 'draw': 7, 'view': 8,
        'menu': 9, 'trackkit': 9, 'shell': 10}
SIM_FOLDERS = ('base', 'core', 'track', 'race', 'replay', 'net', 'sim')
SDL = re.compile(r'(^|/)SDL(\.h|_\w+\.h|/)')
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def includes(path):
    with open(path, encoding='utf-8') as f:
        return INCLUDE.findall(f.read())


def reaches_sdl(path, seen):
    """The SDL header `path` reaches, or None."""
    if path in seen:
        return None
    seen.add(path)
    for kind, name in includes(path):
        if SDL.search(name):
            return name
        if kind == '"':
            own = os.path.join(SRC, name)
            if os.path.exists(own):
                found = reaches_sdl(own, seen)
                if found:
                    return found
    return None


def sim_sources():
    files = []
    for folder in SIM_FOLDERS:
        d = os.path.join(SRC, folder)
        files += [os.path.join(d, n) for n in sorted(os.listdir(d)) if n.endswith(('.cpp', '.h'))]
    return files


def main():
    faults = []
    edges = {}
    for folder in sorted(os.listdir(SRC)):
        if folder not in RANK:
            faults.append(f'src/{folder}: a folder with no place in the layers')
            continue
        for name in sorted(os.listdir(os.path.join(SRC, folder))):
            path = os.path.join(SRC, folder, name)
            for kind, inc in includes(path):
                if kind != '"' or '/' not in inc:
                    continue
                to = inc.split('/')[0]
                if to == folder:
                    continue
                edges[(folder, to)] = edges.get((folder, to), 0) + 1
                if to not in RANK or RANK[to] >= RANK[folder]:
                    faults.append(f'src/{folder}/{name} includes {inc}: {to} is not below {folder}')
    for path in sim_sources():
        found = reaches_sdl(path, set())
        if found:
            faults.append(f'{os.path.relpath(path, ROOT)} reaches {found}: the simulation links no SDL')
    for (a, b), n in sorted(edges.items(), key=lambda e: (RANK[e[0][0]], e[0])):
        print(f'{a} -> {b} ({n})')
    for f in faults:
        print('FAIL:', f)
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
