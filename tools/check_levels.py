#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads level files the way the game does and walks their road.

Used by the level generator on every level it writes, and runnable on its
own:  /usr/bin/python3 tools/check_levels.py [filut/levelit]

The reader and the walk mirror the game's loader: whitespace is skipped,
the first four characters are the size field, every later character is one
cell, and the walker starts on the finish heading up, turns on the top-left
cell of each 2x2 corner block and drops a checkpoint on every tenth straight.
On top of that the checker insists on what makes a level good to race on.
"""
import os
import sys

GROUND, STRAIGHT_H, STRAIGHT_V, FINISH, BLANK = 0, 6, 7, 12, 999
CORNER_CHARS = {'1': 8, '2': 9, '3': 10, '4': 11}
CODES = {'.': 0, '=': 6, 'T': 7, 'M': 12, '#': 999, 'x': 1, '+': 0}   # '+': ground to the race
CODES.update(CORNER_CHARS)

# heading: 0 right, 1 down, 2 left, 3 up
STEP = {0: (1, 0), 1: (0, 1), 2: (-1, 0), 3: (0, -1)}
TURNS = {
    8: {2: 1, 3: 0},
    9: {0: 1, 3: 2},
    10: {0: 3, 1: 2},
    11: {1: 0, 2: 3},
}

MAX_WAYPOINTS = 1000
MAX_CHECKPOINTS = 50
MAX_NAME = 31


class LevelError(Exception):
    pass


def c_atoi(s):
    """atoi: optional sign, then digits up to the first non-digit."""
    i, sign, val = 0, 1, 0
    if i < len(s) and s[i] in '+-':
        sign = -1 if s[i] == '-' else 1
        i += 1
    while i < len(s) and s[i].isdigit():
        val = val * 10 + int(s[i])
        i += 1
    return sign * val


def parse(text):
    """Returns (size, tiles) with tiles[x][y]; 'x' cells read as code 1."""
    chars = [c for c in text if not c.isspace()]
    field = chars[:4]
    size = c_atoi(''.join(field))
    if not 1 <= size <= 499:
        raise LevelError('size field %r gives %d' % (''.join(field), size))
    tiles = [[0] * (size + 1) for _ in range(size + 1)]
    grid = chars[4:]
    if len(grid) != size * size:
        raise LevelError('grid has %d cells, expected %d' % (len(grid), size * size))
    straight_count = 0
    finish = None
    for k, c in enumerate(grid):
        x, y = k % size, k // size
        if c not in CODES:
            raise LevelError('unknown character %r at column %d, row %d' % (c, x, y))
        tiles[x][y] = CODES[c]
        if c in '=T':
            straight_count += 1
        if c == 'M':
            if finish is not None:
                raise LevelError('more than one finish cell')
            finish = (x, y)
    if finish is None:
        raise LevelError('no finish cell')
    return size, tiles, straight_count, finish


def walk(size, tiles, straight_count, finish):
    """The route walk. Returns a dict with the waypoints, checkpoints and the
    list of cells visited in order (the cell each loop pass looked at)."""
    cx, cy = finish
    heading = 3
    seen = spacing = steps = 0
    waypoints, checkpoints, visited = [], [], []
    clamped = False
    fx, fy = finish
    while seen < straight_count:
        t = tiles[cx][cy]
        visited.append((cx, cy, heading))
        if t == FINISH:
            fx, fy = cx, cy
        if 8 <= t <= 11 and tiles[cx + 1][cy + 1] == t:
            heading = TURNS[t].get(heading, heading)
        if 6 <= t <= 12:
            waypoints.append((cx * 50 + 50, cy * 50 + 50))
        if t in (6, 7):
            if spacing > 9:
                checkpoints.append((cx * 50, cy * 50))
                spacing = 0
            spacing += 1
            seen += 1
        dx, dy = STEP[heading]
        cx += dx
        cy += dy
        if cx > size - 1:
            cx, cy, clamped = 0, cy + 1, True
        if cx < 0:
            cx, clamped = 0, True
        if cy < 0:
            cy, clamped = 0, True
        if cy > size - 1:
            cy, clamped = size - 1, True
        steps += 1
        if steps > size * size:
            break
    return {
        'waypoints': waypoints, 'checkpoints': checkpoints, 'visited': visited,
        'end': (cx, cy), 'finished': seen >= straight_count, 'clamped': clamped,
        'finish': (fx, fy), 'steps': steps,
    }


def check(text, name=None):
    """Checks one level; raises LevelError with the first fault found.
    Returns a summary dict (size, straights, waypoints, checkpoints, ...)."""
    if name is not None:
        if len(name) > MAX_NAME:
            raise LevelError('name %r is longer than %d characters' % (name, MAX_NAME))
        if any(c.isspace() or c == '#' for c in name) or not name:
            raise LevelError('name %r must be non-empty, without spaces or #' % name)
    size, tiles, straight_count, finish = parse(text)

    def code(x, y):
        return tiles[x][y] if 0 <= x < size and 0 <= y < size else None

    # Corners: every corner cell belongs to exactly one 2x2 block of its
    # code, and blocks are found from their top-left cell like the game does.
    owned = set()
    blocks = []
    for x in range(size):
        for y in range(size):
            t = tiles[x][y]
            if 8 <= t <= 11 and tiles[x + 1][y + 1] == t:
                if code(x + 1, y) != t or code(x, y + 1) != t:
                    raise LevelError('corner at column %d, row %d is not a full 2x2 block' % (x, y))
                cells = {(x, y), (x + 1, y), (x, y + 1), (x + 1, y + 1)}
                if cells & owned:
                    raise LevelError('corner blocks overlap at column %d, row %d' % (x, y))
                owned |= cells
                blocks.append((x, y, t))
    for x in range(size):
        for y in range(size):
            if 8 <= tiles[x][y] <= 11 and (x, y) not in owned:
                raise LevelError('stray corner cell at column %d, row %d' % (x, y))

    # Straights and the finish must have their covered partner blank (or a
    # slowing cell, which then sits on the second lane).
    for x in range(size):
        for y in range(size):
            t = tiles[x][y]
            if t == STRAIGHT_H and code(x, y + 1) not in (BLANK, 1):
                raise LevelError("'=' at column %d, row %d has no blank cell below" % (x, y))
            if t in (STRAIGHT_V, FINISH) and code(x + 1, y) not in (BLANK, 1):
                raise LevelError("'%s' at column %d, row %d has no blank cell to its right"
                                 % ('T' if t == STRAIGHT_V else 'M', x, y))

    # Every blank cell must be painted by a larger piece, or it shows black.
    for x in range(size):
        for y in range(size):
            if tiles[x][y] != BLANK or (x, y) in owned:
                continue
            if code(x, y - 1) == STRAIGHT_H or code(x - 1, y) in (STRAIGHT_V, FINISH):
                continue
            raise LevelError("blank cell at column %d, row %d is not covered by any piece" % (x, y))

    if straight_count <= 10:
        raise LevelError('only %d straight cells: a checkpoint needs more than 10' % straight_count)

    w = walk(size, tiles, straight_count, finish)
    if not w['finished']:
        raise LevelError('the route walk ran out of steps: the road is not a closed circuit')
    if w['clamped']:
        raise LevelError('the route walk ran off the grid')
    road = {6, 7, 8, 9, 10, 11, 12, 1}
    straights_seen = {}
    for (x, y, _h) in w['visited']:
        t = tiles[x][y]
        if t not in road:
            raise LevelError('the route walk left the road at column %d, row %d' % (x, y))
        if t in (6, 7):
            straights_seen[(x, y)] = straights_seen.get((x, y), 0) + 1
    twice = [c for c, n in straights_seen.items() if n > 1]
    if twice:
        raise LevelError('the route walk passes straight %s twice' % (twice[0],))
    if len(straights_seen) != straight_count:
        raise LevelError('the route walk misses %d straight cells (second lane straights?)'
                         % (straight_count - len(straights_seen)))
    if w['finish'] != finish:
        raise LevelError('the route walk moved the finish')
    ex, ey = w['end']
    if abs(ex - finish[0]) + abs(ey - finish[1]) > 2:
        raise LevelError('the route walk ends at %s, not next to the finish %s' % (w['end'], finish))
    if len(w['waypoints']) > MAX_WAYPOINTS or len(w['checkpoints']) > MAX_CHECKPOINTS:
        raise LevelError('too many waypoints or checkpoints')
    if not w['checkpoints']:
        raise LevelError('no checkpoint')

    # The racers start below the finish heading up, with their chains
    # hanging down: the finish must be driven upwards with road below it.
    fx, fy = finish
    if code(fx, fy - 1) not in road or code(fx, fy + 1) not in road:
        raise LevelError('the finish is not on a vertical road')
    first = w['visited'][1] if len(w['visited']) > 1 else None
    if first is None or (first[0], first[1]) != (fx, fy - 1):
        raise LevelError('the walk does not leave the finish upwards')
    last = w['visited'][-1]
    if last[2] != 3 or (last[0], last[1]) != (fx, fy + 1):
        raise LevelError('the road does not come back to the finish from below')

    return {
        'size': size, 'straights': straight_count, 'corners': len(blocks),
        'waypoints': len(w['waypoints']), 'checkpoints': len(w['checkpoints']),
        'first_waypoint': w['waypoints'][0], 'last_waypoint': w['waypoints'][-1],
        'checkpoint_list': w['checkpoints'], 'finish_px': (fx * 50, fy * 50),
        'slowing': sum(1 for x in range(size) for y in range(size) if tiles[x][y] == 1),
    }


def read_catalogue(text):
    names, cur = [], ''
    for c in text:
        if c.isspace():
            continue
        if c == '#':
            names.append(cur)
            cur = ''
        else:
            cur += c
    return names


def check_folder(folder):
    with open(os.path.join(folder, 'all_levels.txt')) as f:
        names = read_catalogue(f.read())
    if not names:
        raise LevelError('the catalogue lists no level')
    results = []
    for name in names:
        path = os.path.join(folder, name + '.txt')
        if not os.path.exists(path):
            raise LevelError('catalogue names %r but %s is missing' % (name, path))
        with open(path) as f:
            try:
                results.append((name, check(f.read(), name)))
            except LevelError as e:
                raise LevelError('%s: %s' % (name, e))
    return results


def main(argv):
    folder = argv[1] if len(argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), '..', 'filut', 'levelit')
    try:
        results = check_folder(folder)
    except LevelError as e:
        print('level check failed: %s' % e)
        return 1
    for name, r in results:
        print('%-22s %3dx%-3d straights %3d corners %2d slowing %3d waypoints %3d checkpoints %2d'
              % (name, r['size'], r['size'], r['straights'], r['corners'], r['slowing'],
                 r['waypoints'], r['checkpoints']))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))


ROAD_CHARS = set('=T1234M#+')


def _way(rows, open_cell, stops):
    """The kit's shortest lap way (trackkit/figures.cpp, shortest_lap_way):
    8-connected over open cells, a diagonal only between two open side
    cells. Returns (length, cells along it) or (None, None)."""
    import heapq
    size = len(rows)
    total, cells = 0.0, []
    for a, b in zip(stops, stops[1:]):
        if not open_cell(*a) or not open_cell(*b):
            return None, None
        dist, back = {a: 0.0}, {}
        queue = [(0.0, a)]
        while queue:
            d, c = heapq.heappop(queue)
            if d > dist[c]:
                continue
            if c == b:
                break
            x, y = c
            for dx in (-1, 0, 1):
                for dy in (-1, 0, 1):
                    n = (x + dx, y + dy)
                    if (dx, dy) == (0, 0) or not (0 <= n[0] < size and 0 <= n[1] < size):
                        continue
                    if not open_cell(*n):
                        continue
                    if dx and dy and not (open_cell(x + dx, y) and open_cell(x, y + dy)):
                        continue
                    nd = d + (2 ** 0.5 if dx and dy else 1.0)
                    if n not in dist or nd < dist[n]:
                        dist[n], back[n] = nd, c
                        heapq.heappush(queue, (nd, n))
        if b not in dist:
            return None, None
        total += dist[b]
        c = b
        while c != a:
            cells.append(c)
            c = back[c]
    return total, cells


def shortcut(text):
    """The shortcut ratio as `chainball-track stats` measures it, and the
    cells of the shortest way that avoids slowing cells. rows[y][x]."""
    rows = [r for r in text.split('\n')[1:] if r]
    size, tiles, straight_count, finish = parse(text)
    w = walk(size, tiles, straight_count, finish)
    stops = [finish] + [(x // 50, y // 50) for (x, y) in w['checkpoints']] + [finish]
    way_open, cells = _way(rows, lambda x, y: rows[y][x] != 'x', stops)
    way_road, _ = _way(rows, lambda x, y: rows[y][x] in ROAD_CHARS, stops)
    if way_open is None or way_road is None:
        return None, []
    return way_open / way_road, cells
