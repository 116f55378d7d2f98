#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Layers point down: a folder of src/ may include only its own folder and
the folders below it, and the simulation (its sources named in
CMakeLists.txt as SIM_SOURCES and the race, replay, net and sim folders) never reaches a
media header (SDL_gfx, SDL_image, SDL_mixer, SDL_ttf), directly or through
our own headers. Prints the folder -> folder edges it found."""
import os
import re
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..')
SRC = os.path.join(ROOT, 'src')
# Ground first. sim and view both stand on race (and net, the online races)
# and never on each other.
RANK = {'base': 0, 'draw': 0, 'core': 1, 'track': 2, 'race': 3, 'replay': 4, 'net': 5, 'sim': 6, 'view': 6,
        'menu': 7, 'trackkit': 7, 'shell': 8}
MEDIA = re.compile(r'SDL_(gfx\w*|image|mixer|ttf|rotozoom)\.h')
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def includes(path):
    with open(path, encoding='utf-8') as f:
        return INCLUDE.findall(f.read())


def reaches_media(path, seen):
    """The media header `path` reaches, or None."""
    if path in seen:
        return None
    seen.add(path)
    for kind, name in includes(path):
        if MEDIA.search(name):
            return name
        if kind == '"':
            own = os.path.join(SRC, name)
            if os.path.exists(own):
                found = reaches_media(own, seen)
                if found:
                    return found
    return None


def sim_sources():
    with open(os.path.join(ROOT, 'CMakeLists.txt'), encoding='utf-8') as f:
        text = f.read()
    block = re.search(r'set\(SIM_SOURCES(.*?)\)', text, re.S).group(1)
    files = [os.path.join(SRC, p) for p in re.findall(r'\$\{SRC\}/(\S+\.cpp)', block)]
    for folder in ('race', 'replay', 'net', 'sim'):
        d = os.path.join(SRC, folder)
        files += [os.path.join(d, n) for n in os.listdir(d) if n.endswith(('.cpp', '.h'))]
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
        found = reaches_media(path, set())
        if found:
            faults.append(f'{os.path.relpath(path, ROOT)} reaches {found}: the simulation links SDL alone')
    for (a, b), n in sorted(edges.items(), key=lambda e: (RANK[e[0][0]], e[0])):
        print(f'{a} -> {b} ({n})')
    for f in faults:
        print('FAIL:', f)
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
