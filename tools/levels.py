# SPDX-License-Identifier: GPL-3.0-or-later
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


# corner character -> (its inside cell off the top-left of the block, the
# way on inwards from there)
APEX = {'1': ((2, 2), (1, 1)), '2': ((-1, 2), (-1, 1)), '3': ((-1, -1), (-1, -1)), '4': ((2, -1), (1, -1))}


def sign(v):
    return (v > 0) - (v < 0)


MARGIN = 3   # grass cells between the road and the grid's edge


# The lane a wide road's '+' cells lie in, off the road's letters: a row
# above or below a horizontal road, a column left or right of a vertical one.
LANE_OFFSET = {'N': -1, 'S': 2, 'W': -1, 'E': 2}
# corner character -> the sides of its two roads whose lanes meet round it
# (outside, then inside)
CORNER_LANES = {'1': ('WN', 'ES'), '2': ('EN', 'WS'), '3': ('ES', 'WN'), '4': ('WS', 'EN')}


def build(size, corners, finish, slowing=(), verge=None, clear=(), wide=()):
    """Returns the level text.

    corners: top-left cells of the corner blocks, in driving order; listed
        anticlockwise on the screen, the circuit is driven anticlockwise.
    finish: the cell of 'M'; it must lie in the left column of a road that
        is driven upwards (the left road of a clockwise circuit, the right
        road of an anticlockwise one, or any upward road inside the map).
    slowing: grass cells turned into 'x': mud, gravel and the like. A slowing
        cell never sits on the road.
    verge: when given, the shortcut ratio to reach: grass cells where the
        shortest way leaves and rejoins the road turn into 'x' until cutting
        across gains less than that (see line_shortcuts).
    clear: grass cells the verge must leave alone, besides the start grid.
    wide: (road, side) pairs that make the road from corner `road` to the
        next three cells wide in the full game: a lane of '+' on its side
        'N', 'S', 'W' or 'E'. Where two wide roads meet at a corner with
        their lanes both outside it or both inside, the corner turns wide
        too (inside, at least one straight must lead away from it); elsewhere
        the lane narrows back over its last cell.
    """
    # Room to see: the camera stops at the grid's edge, so the road keeps
    # MARGIN cells of grass to it on every side. `size` and every cell given
    # are shifted and grown to that; the road's shape is kept.
    xs = [x for x, _ in corners] + [x + 1 for x, _ in corners]
    ys = [y for _, y in corners] + [y + 1 for _, y in corners]
    for i, side in wide:
        (x0, y0) = corners[i]
        if side in 'NS':
            ys.append(y0 + LANE_OFFSET[side])
        else:
            xs.append(x0 + LANE_OFFSET[side])
    w, h = max(xs) - min(xs) + 1, max(ys) - min(ys) + 1
    size = max(size, w + 2 * MARGIN, h + 2 * MARGIN)
    ox, oy = (size - w) // 2 - min(xs), (size - h) // 2 - min(ys)

    def shift(cells):
        return [(x + ox, y + oy) for (x, y) in cells]
    corners, slowing, clear = shift(corners), shift(slowing), shift(clear)
    finish = (finish[0] + ox, finish[1] + oy)
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

    # Wide roads: the lanes along the straights, then round the corners
    # where two of them meet.
    sides = {}
    for i, side in wide:
        (x0, y0), (x1, y1) = corners[i], corners[(i + 1) % n]
        if (side in 'NS') != (y0 == y1):
            raise check_levels.LevelError('road %d runs the wrong way for a lane on its %s side' % (i, side))
        sides[i] = side
        if y0 == y1:
            lane = [(x, y0 + LANE_OFFSET[side]) for x in range(min(x0, x1) + 2, max(x0, x1))]
        else:
            lane = [(x0 + LANE_OFFSET[side], y) for y in range(min(y0, y1) + 2, max(y0, y1))]
        for (x, y) in lane:
            # Inside a corner the lanes of its two roads meet in one cell.
            if owner.get((x, y)) in (('road', (i - 1) % n), ('road', (i + 1) % n)) and grid[y][x] == '+':
                continue
            put(x, y, '+', ('road', i))
    for i, (x, y) in enumerate(corners):
        before, after = sides.get((i - 1) % n), sides.get(i)
        if before is None or after is None:
            continue
        vertical, horizontal = (before, after) if headings[i - 1] in (1, 3) else (after, before)
        outside, inside = CORNER_LANES[grid[y][x]]
        if vertical + horizontal == inside:
            continue   # the lanes meet in the cell between the roads
        if vertical + horizontal != outside:
            raise check_levels.LevelError('the lanes at corner %s cross its road' % ((x, y),))
        lx, ly = x + LANE_OFFSET[vertical], y + LANE_OFFSET[horizontal]
        for c in [(lx, y), (lx, y + 1), (lx, ly), (x, ly), (x + 1, ly)]:
            put(c[0], c[1], '+', ('corner', i))

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
    if seg in sides:
        raise check_levels.LevelError('the road through the finish has a lane: the finish is two cells wide')
    grid[fy][fx] = 'M'

    # The start grid: three chains of ten balls hang about six cells below
    # the finish, over its two columns. Racers still standing there push the
    # others aside, so the verge keeps a cell further clear round it.
    grid_cells = {(fx + dx, fy + dy) for dx in (0, 1) for dy in range(7)}
    around_grid = {(fx + dx, fy + dy) for dx in range(-1, 3) for dy in range(-1, 8)}
    for (x, y) in slowing:
        if not (0 <= x < size and 0 <= y < size) or grid[y][x] != '.':
            raise check_levels.LevelError('slowing cell (%d, %d) is not on the grass' % (x, y))
        if (x, y) in grid_cells:
            raise check_levels.LevelError('slowing cell (%d, %d) is on the start grid' % (x, y))
        grid[y][x] = 'x'
    if verge is not None:
        # A computer driver's chain swings over the inside of every corner:
        # a slowing cell there would hold it fast.
        apexes = set()
        for (x, y) in corners:
            (ax, ay), (sx, sy) = APEX[grid[y][x]]
            apexes |= {(x + ax + dx, y + ay + dy) for dx in (0, sx) for dy in (0, sy)}
        line_shortcuts(grid, verge, grid_cells | set(clear), apexes | around_grid)
        line_cuts(grid, grid_cells | around_grid | set(clear))
        # Racers parked on the start grid push a passing chain aside: no
        # verge beside it, where it would hold that chain fast.
        for (x, y) in around_grid:
            if 0 <= x < size and 0 <= y < size and grid[y][x] == 'x' and (x, y) not in slowing:
                grid[y][x] = '.'
    return text_of(grid)


CUT_STRIDE = 4      # the corner-cutting driver of `chainball-track stats` aims at every 4th waypoint
CUT_REACH = 15      # how far either side of its line a ball of its chain reaches, in pixels


def line_cuts(grid, clear):
    """Lines the cutting driver's way with slowing cells: every grass cell
    that the straight legs between every CUT_STRIDE-th waypoint of the route
    cross (with a ball's width to either side) turns into 'x', unless it is
    in `clear`. What cuts across a staircase or a corner's inside then runs
    through gravel; the road itself is never touched."""
    text = text_of(grid)
    size, tiles, straight_count, finish = check_levels.parse(text)
    w = check_levels.walk(size, tiles, straight_count, finish)['waypoints']
    aims = w[::CUT_STRIDE]
    for (ax, ay), (bx, by) in zip(aims, aims[1:] + aims[:1]):
        length = max(1.0, ((bx - ax) ** 2 + (by - ay) ** 2) ** 0.5)
        nx, ny = -(by - ay) / length, (bx - ax) / length
        for k in range(int(length / 5) + 1):
            t = k * 5 / length
            for side in (-CUT_REACH, 0, CUT_REACH):
                px, py = ax + (bx - ax) * t + nx * side, ay + (by - ay) * t + ny * side
                x, y = int(px // 50), int(py // 50)
                if 0 <= x < size and 0 <= y < size and grid[y][x] == '.' and (x, y) not in clear:
                    grid[y][x] = 'x'


def text_of(grid):
    return '%04d\n' % len(grid) + ''.join(''.join(row) + '\n' for row in grid)


# Below this `chainball-track check` warns (0.85), with room for rounding.
RATIO_FLOOR = 0.86


def line_shortcuts(grid, target, clear, spare):
    """Lines the road with slowing cells where cutting across the grass pays:
    while the shortcut ratio is below `target`, the grass cells next to the
    road on the shortest way off slowing cells (where it leaves the road and
    where it comes back) turn into 'x'. So verges grow only at inner edges
    and the necks of hairpins, where a driver would cut. Cells in `clear`
    stay grass; cells in `spare` only when nothing else closes the cut."""
    size = len(grid)

    def by_road(x, y):
        return any(0 <= x + dx < size and 0 <= y + dy < size and grid[y + dy][x + dx] in check_levels.ROAD_CHARS
                   for dx in (-1, 0, 1) for dy in (-1, 0, 1))

    while True:
        ratio, cells = check_levels.shortcut(text_of(grid))
        if ratio is None:
            raise check_levels.LevelError('the verge closed every way round')
        if ratio >= target:
            return
        grass = [(x, y) for (x, y) in cells if grid[y][x] == '.' and (x, y) not in clear]
        picks = [c for c in grass if by_road(*c) and c not in spare] or [c for c in grass if c not in spare]
        if not picks and ratio >= RATIO_FLOOR:
            return
        picks = picks or [c for c in grass if by_road(*c)] or grass
        if not picks:
            raise check_levels.LevelError('a shortcut runs over cells kept clear: ratio %.2f' % ratio)
        for (x, y) in picks:
            grid[y][x] = 'x'


def trace(x, y, moves):
    """Corner blocks from a drive: start at corner (x, y) and move between
    corners by 'R5 D3 L2 U4 ...' (right, down, left, up, in cells); the
    drive must end where it started."""
    step = {'R': (1, 0), 'D': (0, 1), 'L': (-1, 0), 'U': (0, -1)}
    corners = [(x, y)]
    for m in moves.split():
        dx, dy = step[m[0]]
        x, y = x + dx * int(m[1:]), y + dy * int(m[1:])
        corners.append((x, y))
    if corners[-1] != corners[0]:
        raise check_levels.LevelError('the drive ends at %s, not at its start %s' % (corners[-1], corners[0]))
    return corners[:-1]


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
    """The catalogue, from short and easy to long and hard."""
    V = 0.88   # the shortcut ratio verges grow to (check asks for 0.85)
    L = []

    # The worked example of docs/tracks.md: its road stays as it is; a verge
    # round the infield makes cutting across cost.
    L.append(('FirstLoop', build(12, ring(1, 1, 9, 9), (1, 6), verge=V)))

    # A stepped descent on the left, driven anticlockwise.
    L.append(('StepDown', build(21, trace(18, 19, 'U18 L5 D4 L4 D4 L4 D4 L4 D6 R17'), (18, 11), verge=V)))

    # Anticlockwise, with one hairpin hanging from the top road.
    L.append(('Paperclip', build(17, trace(14, 14, 'U13 L4 D10 L4 U10 L5 D13 R13'), (14, 10), verge=V)))

    # The top road dips round a pit; straight across its mouth is one cell
    # of mud: quicker with a short chain, slower with a long one.
    L.append(('RiskyCut', build(21, trace(1, 17, 'U16 R7 D5 R3 U5 R7 D16 L17'), (1, 9),
                                slowing=[(10, 0), (10, 1), (10, 2)], clear=[(10, 3), (10, 4), (10, 5)], verge=V)))

    # Long straights and a kink, an S-bend in the top road and a chicane in
    # the bottom one; a pit off the right road with one cell of mud across
    # its mouth: quicker with a short chain, slower with a long one.
    # The right road widens to three cells down to the bottom right corner.
    L.append(('LongSweep', build(28, trace(1, 25, 'U12 R8 U10 R6 D2 R8 D5 L5 D3 R5 D12 L8 U2 L6 D2 L8'),
                                 (1, 22), slowing=[(23, 12), (24, 12), (25, 12)],
                                 clear=[(x, 12) for x in range(20, 23)], verge=V,
                                 wide=[(10, 'E'), (11, 'S')])))

    # Two bays off the left road, each with a muddy ditch across its mouth.
    L.append(('Backwater', build(26, trace(19, 23, 'U22 L18 D3 R5 D3 L5 D4 R5 D3 L5 D9 R18'), (19, 19),
                                 slowing=[(0, 6), (1, 6), (2, 6), (0, 13), (1, 13), (2, 13)],
                                 clear=[(x, y) for x in (3, 4, 5) for y in (6, 13)], verge=V)))

    # Two bays off the right road and one off the bottom, mud across each mouth.
    L.append(('MudFlats', build(23, trace(1, 20, 'U19 R19 D3 L4 D3 R4 D7 L4 D3 R4 D3 L10 U4 L3 D4 L6'), (1, 6),
                                slowing=[(20, 6), (21, 6), (22, 6), (20, 16), (21, 16), (22, 16),
                                         (9, 20), (9, 21), (9, 22)],
                                clear=[(x, y) for x in (18, 19) for y in (6, 16)] + [(9, 18), (9, 19)], verge=V)))

    # Chicanes on the top and right roads; the finish on a road inside.
    L.append(('Chicanes', build(27, trace(8, 25, 'U8 L7 U16 R8 D3 R6 U3 R9 D8 L3 D4 R3 D12 L16'), (8, 19),
                                verge=V)))

    # Big and sweeping: long straights, an S-bend down the left, a notch in
    # the bottom road and a pit off the right road with mud across its mouth.
    # The top road and the whole left side are three cells wide.
    L.append(('GrandLoop', build(40, trace(37, 21, 'U12 L5 U3 R5 U5 L16 D8 L5 D2 L7 D16 R12 U6 R16'),
                                 (37, 12), slowing=[(37, 8), (38, 8), (39, 8)],
                                 clear=[(x, 8) for x in range(34, 37)], verge=V,
                                 wide=[(4, 'E'), (5, 'N'), (6, 'W'), (9, 'N'), (10, 'W'), (11, 'S')])))

    # The bottom road snakes up and down four times.
    L.append(('Serpent', build(24, trace(21, 21, 'U20 L20 D20 R4 U11 R4 D11 R4 U11 R4 D11 R4'), (21, 12),
                               verge=V)))

    # Two deep hairpins down from the top; the finish on the way back up.
    L.append(('Hairpins', build(26, trace(1, 23, 'U22 R5 D14 R4 U14 R5 D14 R4 U14 R4 D22 L22'), (10, 8),
                                verge=V)))

    # A pit in from the bottom road, the finish on its way up.
    L.append(('Labyrinth', build(34, trace(19, 31, 'U8 L4 U12 L8 D20 L6 U30 R30 D30 L12'), (19, 25),
                                 verge=V)))

    # Back and forth down the left half, four times across.
    L.append(('Switchback', build(30, trace(27, 27, 'U26 L26 D5 R15 D4 L15 D4 R15 D4 L15 D9 R26'), (27, 14),
                                  verge=V)))

    # The longest: a deep hairpin, a chicane on each side and long straights.
    # The top right and the bottom right corners are three cells wide.
    L.append(('LongHaul', build(36, trace(1, 33, 'U32 R10 D14 R5 U14 R17 D10 L4 D4 R4 D18 L12 U4 L6 D4 L14'),
                                (1, 20), verge=V,
                                wide=[(4, 'W'), (5, 'N'), (6, 'E'), (10, 'E'), (11, 'S')])))
    return L


LEVELS = _levels()


def same_road(text, reference):
    """True when the level `text` holds the road of `reference` cell for
    cell, anywhere in a grid as large or larger, with grass (or slowing
    cells) all round it."""
    rows = [r for r in text.split('\n')[1:] if r]
    ref = [r for r in reference.split('\n')[1:] if r]
    road = {(x, y): c for y, r in enumerate(ref) for x, c in enumerate(r) if c != '.'}
    xs = [x for x, _ in road]
    ys = [y for _, y in road]
    for oy in range(-min(ys), len(rows) - max(ys)):
        for ox in range(-min(xs), len(rows) - max(xs)):
            moved = {(x + ox, y + oy) for (x, y) in road}
            if all(rows[y + oy][x + ox] == c for (x, y), c in road.items()) and all(
                    c in '.x' for y, r in enumerate(rows) for x, c in enumerate(r) if (x, y) not in moved):
                return True
    return False


def write_levels(folder, verbose=True):
    os.makedirs(folder, exist_ok=True)
    # FirstLoop keeps its road cell for cell; only grass may turn to 'x'.
    if not same_road(LEVELS[0][1], FIRST_LOOP):
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
