"""The race tracks, written into filut/levelit/ from short descriptions.

A circuit is described by the top-left cells of its 2x2 corner blocks in
driving order; the roads between them are two cells wide. The generator
picks each corner's character from the way the road turns, lays '=' in the
top row of every horizontal road and 'T' in the left column of every
vertical one, marks the cells those pieces cover with '#', puts the finish
'M' into a road that is driven upwards and sprinkles the slowing cells.
Every level is read back and walked by check_levels before it is written.
"""
import os

import check_levels

HEADING = {(1, 0): 0, (0, 1): 1, (-1, 0): 2, (0, -1): 3}
# (heading in, heading out) -> corner character
CORNER = {
    (3, 0): '1', (2, 1): '1',
    (0, 1): '2', (3, 2): '2',
    (0, 3): '3', (1, 2): '3',
    (1, 0): '4', (2, 3): '4',
}


def sign(v):
    return (v > 0) - (v < 0)


def build(size, corners, finish, slowing=(), bands=()):
    """Returns the level text.

    corners: top-left cells of the corner blocks, in driving order.
    finish: the cell of 'M'; it must lie in the left column of a road that
        is driven upwards.
    slowing: cells turned into 'x' (ground beside the road, or the covered
        second lane of a straight).
    bands: straight cells on the driven lane; the cell and its second-lane
        partner both become 'x', a slowing band across the whole road.
    """
    grid = [['.'] * size for _ in range(size)]   # grid[row][col]
    owner = {}

    def put(x, y, ch, piece):
        if not (0 <= x < size and 0 <= y < size):
            raise check_levels.LevelError('cell (%d, %d) is off the %dx%d grid' % (x, y, size, size))
        if (x, y) in owner:
            raise check_levels.LevelError('roads cross or touch at (%d, %d)' % (x, y))
        owner[(x, y)] = piece
        grid[y][x] = ch

    n = len(corners)
    headings = []
    for i in range(n):
        (x0, y0), (x1, y1) = corners[i], corners[(i + 1) % n]
        if (x0 != x1) == (y0 != y1):
            raise check_levels.LevelError('corners %s and %s are not in line' % (corners[i], corners[(i + 1) % n]))
        if abs(x1 - x0) + abs(y1 - y0) < 2:
            raise check_levels.LevelError('corners %s and %s overlap' % (corners[i], corners[(i + 1) % n]))
        headings.append(HEADING[(sign(x1 - x0), sign(y1 - y0))])

    for i, (x, y) in enumerate(corners):
        turn = (headings[i - 1], headings[i])
        if turn not in CORNER:
            raise check_levels.LevelError('the road does not turn by a right angle at %s' % ((x, y),))
        ch = CORNER[turn]
        for dx in (0, 1):
            for dy in (0, 1):
                put(x + dx, y + dy, ch, ('corner', i))

    for i in range(n):
        (x0, y0), (x1, y1) = corners[i], corners[(i + 1) % n]
        if y0 == y1:
            for x in range(min(x0, x1) + 2, max(x0, x1)):
                put(x, y0, '=', ('road', i))
                put(x, y0 + 1, '#', ('road', i))
        else:
            for y in range(min(y0, y1) + 2, max(y0, y1)):
                put(x0, y, 'T', ('road', i))
                put(x0 + 1, y, '#', ('road', i))

    # Roads that are not neighbours along the circuit must not touch, or two
    # of them would read as one wide road.
    order = []
    for i in range(n):
        order.append(('corner', i))
        if any(v == ('road', i) for v in owner.values()):
            order.append(('road', i))
    pos = {p: k for k, p in enumerate(order)}
    for (x, y), p in owner.items():
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                q = owner.get((x + dx, y + dy))
                if q is None or q == p:
                    continue
                d = abs(pos[p] - pos[q])
                if min(d, len(order) - d) > 2:
                    raise check_levels.LevelError('separate roads touch near (%d, %d)' % (x, y))

    fx, fy = finish
    if grid[fy][fx] != 'T':
        raise check_levels.LevelError('the finish %s is not on a vertical straight' % (finish,))
    seg = owner[(fx, fy)][1]
    if headings[seg] != 3:
        raise check_levels.LevelError('the road through the finish is not driven upwards')
    grid[fy][fx] = 'M'

    for (x, y) in slowing:
        if grid[y][x] not in '.#':
            raise check_levels.LevelError('slowing cell (%d, %d) would replace %r' % (x, y, grid[y][x]))
        grid[y][x] = 'x'
    for (x, y) in bands:
        ch = grid[y][x]
        if ch == '=':
            grid[y][x] = grid[y + 1][x] = 'x'
        elif ch == 'T':
            grid[y][x] = grid[y][x + 1] = 'x'
        else:
            raise check_levels.LevelError('band cell (%d, %d) is not a straight' % (x, y))

    return '%04d\n' % size + ''.join(''.join(row) + '\n' for row in grid)


def ring(x0, y0, x1, y1):
    """The four corners of a plain rectangular circuit, driven clockwise
    from its bottom-left corner."""
    return [(x0, y1), (x0, y0), (x1, y0), (x1, y1)]


# The first circuit, kept cell for cell as the loader's reference example.
FIRST_LOOP = """0012
............
.11======22.
.11######22.
.T#......T#.
.T#......T#.
.T#......T#.
.M#......T#.
.T#......T#.
.T#......T#.
.44======33.
.44######33.
............
"""


def _levels():
    L = []

    L.append(('FirstLoop', build(12, ring(1, 1, 9, 9), (1, 6))))

    # 8x8: the smallest ring that still holds a checkpoint.
    L.append(('PocketRing', build(8, ring(0, 0, 6, 6), (0, 3),
                                  slowing=[(3, 3), (4, 4)])))

    # 10x10, as big as one view: an L-shaped ring.
    L.append(('GardenLap', build(10, [(0, 8), (0, 0), (8, 0), (8, 4), (4, 4), (4, 8)], (0, 5))))

    # An L-shaped circuit with six corners.
    L.append(('ElbowBend', build(16, [(1, 13), (1, 1), (6, 1), (6, 8), (13, 8), (13, 13)], (1, 8),
                                 slowing=[(3, 10), (4, 10), (3, 11), (9, 5), (10, 5)])))

    # A staircase down the right-hand side.
    L.append(('StairwayRun', build(19, [(1, 16), (1, 1), (7, 1), (7, 5), (11, 5), (11, 9),
                                        (15, 9), (15, 16)], (1, 10),
                                   slowing=[(4, 5), (4, 6), (5, 6), (13, 4), (14, 4), (14, 5),
                                            (8, 12), (9, 12)])))

    # Zig-zags along the top and the bottom.
    zig = [(1, 21), (1, 1), (5, 1), (5, 7), (9, 7), (9, 1), (13, 1), (13, 7), (17, 7), (17, 1),
           (21, 1), (21, 21), (17, 21), (17, 15), (13, 15), (13, 21), (9, 21), (9, 15), (5, 15),
           (5, 21)]
    L.append(('ZigZagCanyon', build(24, zig, (1, 12),
                                    slowing=[(11, 11), (12, 11), (11, 12), (12, 12)])))

    # Mud on the road and beside it.
    mud = [(1, 13), (1, 1), (13, 1), (13, 13), (9, 13), (9, 7), (5, 7), (5, 13)]
    L.append(('MuddyMeadow', build(16, mud, (1, 8),
                                   slowing=[
                                       (6, 2), (7, 2),            # second lane of the top road
                                       (2, 4),                    # second lane of the left road
                                       (15, 0), (15, 1), (14, 0), # run-off outside a corner
                                       (7, 9), (8, 9), (7, 10), (8, 10),  # pit between the hairpin
                                       (0, 11), (0, 12),          # beside the left road
                                       (11, 14), (3, 14),         # second lane of the bottom road
                                   ],
                                   bands=[(13, 6), (10, 1)])))

    # A big one for long races.
    grand = [(1, 18), (1, 1), (20, 1), (20, 8), (28, 8), (28, 1), (41, 1), (41, 14), (32, 14),
             (32, 20), (41, 20), (41, 41), (26, 41), (26, 30), (18, 30), (18, 41), (1, 41),
             (1, 26), (10, 26), (10, 18)]
    grand_mud = [(14, 14), (15, 14), (14, 15), (15, 15), (16, 15), (23, 21), (24, 21), (23, 22),
                 (36, 28), (37, 28), (36, 29), (6, 22), (7, 22),
                 (34, 2), (35, 2), (21, 5), (42, 33), (11, 42), (12, 42)]
    L.append(('GrandTour', build(44, grand, (1, 10), slowing=grand_mud,
                                 bands=[(41, 30), (9, 41)])))

    # Long straights and room to overtake: good for two players.
    wide = [(1, 24), (1, 1), (24, 1), (24, 12), (18, 12), (18, 16), (24, 16), (24, 24)]
    L.append(('WideOpenCircuit', build(27, wide, (1, 14),
                                       slowing=[(11, 11), (12, 11), (11, 12), (12, 12), (13, 12)])))
    return L


LEVELS = _levels()


def write_levels(folder, verbose=True):
    os.makedirs(folder, exist_ok=True)
    if LEVELS[0][1] != FIRST_LOOP:
        raise check_levels.LevelError('FirstLoop no longer matches its reference grid')
    summary = []
    for name, text in LEVELS:
        info = check_levels.check(text, name)
        with open(os.path.join(folder, name + '.txt'), 'w') as f:
            f.write(text)
        summary.append((name, info))
    with open(os.path.join(folder, 'all_levels.txt'), 'w') as f:
        for name, _ in LEVELS:
            f.write(name + '#\n')
    # Level files no longer listed are stale output of an older generator.
    listed = {name + '.txt' for name, _ in LEVELS} | {'all_levels.txt'}
    for fn in os.listdir(folder):
        if fn.endswith('.txt') and fn not in listed:
            os.remove(os.path.join(folder, fn))
    if verbose:
        for name, r in summary:
            print('  %-16s %2dx%-2d  corners %2d  straights %3d  slowing %2d  waypoints %3d  checkpoints %2d'
                  % (name, r['size'], r['size'], r['corners'], r['straights'], r['slowing'],
                     r['waypoints'], r['checkpoints']))
    return summary
