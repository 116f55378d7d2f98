# SPDX-License-Identifier: GPL-3.0-or-later
"""The game's pictures, drawn from code.

Everything is rendered at four times the final size and box-filtered down,
which gives clean anti-aliased edges. Textures (grass, asphalt, dirt) are
50x50 tiles addressed by world position modulo 50, so every piece of the
track lines up with its neighbours without seams.
"""
import math
import random

from PIL import Image, ImageDraw, ImageFilter, ImageFont

SS = 4          # supersampling factor
CELL = 50

# One palette for the whole game.
GRASS = (98, 164, 86)
GRASS_DARK = (78, 138, 70)
GRASS_LIGHT = (128, 188, 102)
ASPHALT = (86, 84, 98)
KERB_RED = (214, 62, 96)
KERB_WHITE = (246, 240, 246)
PAINT = (240, 236, 226)
DIRT = (156, 116, 78)
DIRT_DARK = (122, 88, 58)
MUD = (96, 62, 40)
SAND = (230, 198, 132)
WATER = (78, 150, 208)
OIL = (34, 30, 44)
PLUM = (76, 20, 78)          # outlines, matches the menu's magenta buttons
PINK = (245, 126, 241)
MAGENTA = (175, 40, 170)
LIGHT_PINK = (252, 206, 251)

KERB = 6.0      # kerb width in pixels on each edge of a road
ROAD = 100.0    # road width: two cells

FONT_DIR = '/usr/share/fonts/truetype/ttf-bitstream-vera/'


def clamp8(v):
    return 0 if v < 0 else 255 if v > 255 else int(v + 0.5)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


def shade(c, f):
    return tuple(c[i] * f for i in range(3))


def to_rgb(c):
    return tuple(clamp8(v) for v in c[:3])


def downsample(img, size):
    """Box-filters a supersampled picture to its final size; RGBA pictures
    are filtered with premultiplied alpha so edges do not darken."""
    if img.mode == 'RGBA':
        return img.convert('RGBa').resize(size, Image.BOX).convert('RGBA')
    return img.resize(size, Image.BOX)


# ---------------------------------------------------------------- textures

def periodic_noise(rng, period, cells):
    """Smooth value noise on a period x period grid that wraps around,
    built on a cells x cells lattice (cells must divide period)."""
    lat = [[rng.random() for _ in range(cells)] for _ in range(cells)]
    step = period / cells
    out = [[0.0] * period for _ in range(period)]
    for y in range(period):
        fy = y / step
        y0 = int(fy) % cells
        y1 = (y0 + 1) % cells
        ty = fy - int(fy)
        ty = ty * ty * (3 - 2 * ty)
        for x in range(period):
            fx = x / step
            x0 = int(fx) % cells
            x1 = (x0 + 1) % cells
            tx = fx - int(fx)
            tx = tx * tx * (3 - 2 * tx)
            a = lat[y0][x0] + (lat[y0][x1] - lat[y0][x0]) * tx
            b = lat[y1][x0] + (lat[y1][x1] - lat[y1][x0]) * tx
            out[y][x] = a + (b - a) * ty
    return out


def fractal(seed, octaves):
    rng = random.Random(seed)
    total = [[0.0] * CELL for _ in range(CELL)]
    norm = 0.0
    for cells, weight in octaves:
        n = periodic_noise(rng, CELL, cells)
        norm += weight
        for y in range(CELL):
            for x in range(CELL):
                total[y][x] += n[y][x] * weight
    return [[v / norm for v in row] for row in total]


def periodic_blur(ch, sigma):
    """Gaussian blur of a CELL x CELL channel that wraps around, as the
    tiled texture does on screen."""
    r = int(3 * sigma)
    k = [math.exp(-0.5 * (i / sigma) ** 2) for i in range(-r, r + 1)]
    s = sum(k)
    k = [v / s for v in k]
    rows = [[sum(k[j + r] * ch[y][(x + j) % CELL] for j in range(-r, r + 1)) for x in range(CELL)]
            for y in range(CELL)]
    return [[sum(k[j + r] * rows[(y + j) % CELL][x] for j in range(-r, r + 1)) for x in range(CELL)]
            for y in range(CELL)]


def make_grass():
    """50x50 tileable grass: fine mottling, darker blades, a few light ones.
    Anything broader than a few pixels is flattened away at the end: a
    blotch in a 50-pixel tile repeats across the whole field as a quilt."""
    n = fractal(101, [(5, 0.3), (10, 1.0), (25, 0.7)])
    rng = random.Random(102)
    tex = [[None] * CELL for _ in range(CELL)]
    for y in range(CELL):
        for x in range(CELL):
            t = n[y][x]
            c = mix(GRASS_DARK, GRASS_LIGHT, min(1.0, max(0.0, (t - 0.5) * 1.7 + 0.6)))
            g = rng.uniform(-5, 5)
            tex[y][x] = [c[0] + g, c[1] + g * 1.2, c[2] + g]
    # short blades: a dark pixel with a lighter tip above it
    for _ in range(150):
        x, y = rng.randrange(CELL), rng.randrange(CELL)
        dark = rng.random() < 0.7
        for k in range(rng.choice((1, 2, 2, 3))):
            yy = (y - k) % CELL
            xx = (x + (k if rng.random() < 0.3 else 0)) % CELL
            c = tex[yy][xx]
            f = 0.86 if dark else 1.1
            tex[yy][xx] = [c[0] * f, c[1] * f, c[2] * f]
    # No flowers or other single marks: the ground piece fills every grass
    # cell alike, so any mark the eye can find repeats every 50 pixels.
    for c in range(3):
        ch = [[tex[y][x][c] for x in range(CELL)] for y in range(CELL)]
        low = periodic_blur(ch, 4.0)
        mean = sum(map(sum, ch)) / (CELL * CELL)
        for y in range(CELL):
            for x in range(CELL):
                tex[y][x][c] -= low[y][x] - mean
    return tex


def make_asphalt():
    n = fractal(201, [(5, 1.0), (25, 0.5)])
    rng = random.Random(202)
    tex = [[None] * CELL for _ in range(CELL)]
    for y in range(CELL):
        for x in range(CELL):
            g = (n[y][x] - 0.5) * 10 + rng.uniform(-5, 5)
            if rng.random() < 0.04:
                g += rng.choice((-12, 12))
            tex[y][x] = [ASPHALT[0] + g, ASPHALT[1] + g, ASPHALT[2] + g * 1.1]
    return tex


def make_dirt():
    n = fractal(301, [(5, 1.0), (10, 0.7), (25, 0.4)])
    rng = random.Random(302)
    tex = [[None] * CELL for _ in range(CELL)]
    for y in range(CELL):
        for x in range(CELL):
            t = n[y][x]
            c = mix(DIRT_DARK, DIRT, min(1.0, max(0.0, (t - 0.2) * 1.7)))
            g = rng.uniform(-6, 6)
            tex[y][x] = [c[0] + g, c[1] + g, c[2] + g * 0.8]
    # pebbles
    for _ in range(26):
        x, y = rng.randrange(CELL), rng.randrange(CELL)
        light = rng.random() < 0.5
        for dx, dy in ((0, 0), (1, 0)):
            c = tex[y][(x + dx) % CELL]
            tex[y][(x + dx) % CELL] = list(mix(c, (196, 170, 140) if light else (92, 66, 46), 0.6))
    return tex


GRASS_TEX = make_grass()
ASPHALT_TEX = make_asphalt()
DIRT_TEX = make_dirt()


def tex_at(tex, x, y):
    """Texture colour at a pixel position (1x units) of the world grid."""
    return tex[int(y) % CELL][int(x) % CELL]


def texture_image(tex, w, h):
    img = Image.new('RGB', (w, h))
    img.putdata([to_rgb(tex[y % CELL][x % CELL]) for y in range(h) for x in range(w)])
    return img


# ---------------------------------------------------------------- road

def kerb_colour(index, first):
    """Kerb blocks alternate red and white; `first` is the colour of block 0."""
    other = 'white' if first == 'red' else 'red'
    return KERB_RED if (first if index % 2 == 0 else other) == 'red' else KERB_WHITE


def road_surface(u, lo, hi, x, y, kerb, dashes):
    """Colour of a pixel u across a road whose edges lie at lo and hi (0 and
    100 for the two-cell road), or None off it (grass). x, y: position for
    the texture, kerb: colour of the kerb block here, dashes: the positions
    across where a lane line is painted here."""
    if u < lo or u > hi:
        return None
    edge = min(u - lo, hi - u)
    if edge < KERB:
        # a thin darker seam where kerb meets asphalt
        return shade(kerb, 0.8) if edge > KERB - 0.75 else kerb
    c = tex_at(ASPHALT_TEX, x, y)
    # worn racing lines, a touch darker, symmetric across the road
    for lane in (lo + 27.0, hi - 27.0):
        d = abs(u - lane)
        if d < 9:
            f = 1.0 - 0.06 * (1 - d / 9)
            c = [c[0] * f, c[1] * f, c[2] * f]
    # a shadow under the kerb lip
    e = edge - KERB
    if e < 3:
        f = 0.82 + 0.06 * e
        c = [c[0] * f, c[1] * f, c[2] * f]
    for at in dashes:
        if abs(u - at) < 1.6:
            c = mix(c, PAINT, 0.9)
    return c


def road_colour(u, lo, hi, x, y, kerb, dashes):
    c = road_surface(u, lo, hi, x, y, kerb, dashes)
    return to_rgb(tex_at(GRASS_TEX, x, y) if c is None else c)


def render(w, h, fn, mode='RGB'):
    """Calls fn(x, y) at the centre of every supersample (coordinates in
    final pixels) and box-filters the result down to w x h."""
    W, H = w * SS, h * SS
    data = []
    inv = 1.0 / SS
    for Y in range(H):
        y = (Y + 0.5) * inv
        for X in range(W):
            data.append(fn((X + 0.5) * inv, y))
    img = Image.new(mode, (W, H))
    img.putdata(data)
    return downsample(img, (w, h))


# Wide roads: a lane of '+' beside a road makes it three cells wide in the
# full game. Its pieces cover the lane and the two-cell road beside it, with
# lane lines at 50 and 100 pixels across.
WIDE = 150.0


def straight_piece(horizontal, width=ROAD, lane_first=True, narrows=None):
    """A straight 50 long and `width` across: '=' is 50 wide and 100 high
    (road runs left-right); 'T' is 100 wide and 50 high (road runs up-down).
    Kerb blocks repeat every 25 pixels along the road, starting with red at
    the piece's left or top edge. With `narrows` ('start' or 'end' along the
    road) it is a wide lane's last cell, where the road's edge on the lane's
    side (the first 50 across, or the last when not lane_first) swings in to
    the two-cell road over the cell's length."""
    lines = [float(at) for at in range(50, int(width), 50)]

    def fn(x, y):
        u, v = (y, x) if horizontal else (x, y)
        kerb = kerb_colour(int(v // 12.5), 'red')
        dash = 12.5 <= (v % 50) < 37.5
        lo, hi, dashes = 0.0, width, lines
        if narrows:
            t = v / 50.0 if narrows == 'end' else 1.0 - v / 50.0
            swing = 50.0 * smoothstep(t)
            if lane_first:
                lo, dashes = swing, lines[1:]
            else:
                hi, dashes = width - swing, lines[:-1]
        return road_colour(u, lo, hi, x, y, kerb, dashes if dash else [])
    across = int(width)
    return render(50, across, fn) if horizontal else render(across, 50, fn)


# Corner pieces: the road is a quarter ring around the inner corner point.
# For each code: the inner point of the narrow piece, and the kerb colour at
# the end that meets the vertical straight and at the end that meets the
# horizontal one, so that the red/white blocks keep alternating across the
# joins.
CORNERS = {
    8: ((100, 100), 'white', 'white'),   # '1': road below and to the right
    9: ((0, 100), 'white', 'red'),       # '2': road to the left and below
    10: ((0, 0), 'red', 'red'),          # '3': road above and to the left
    11: ((100, 0), 'red', 'white'),      # '4': road above and to the right
}


def corner_piece(code, width=ROAD):
    """A corner `width` across: 100 x 100, or 150 x 150 for a wide road."""
    (px, py), end_v, end_h = CORNERS[code]
    px, py = px * width / ROAD, py * width / ROAD
    outer_len = math.pi / 2 * (width - KERB / 2)
    blocks = int(round(outer_len / 12.5))
    # an odd count keeps equal end colours, an even one makes them differ
    if (blocks % 2 == 1) != (end_v == end_h):
        blocks += 1
    lines = [float(at) for at in range(50, int(width), 50)]
    dash_periods = 2 if width == ROAD else 4

    def fn(x, y):
        dx, dy = abs(x - px), abs(y - py)
        r = math.hypot(dx, dy)
        t = math.atan2(dy, dx) / (math.pi / 2)   # 0 at the vertical road's end
        if r < KERB:
            # the little inner kerb carries on from each neighbour's kerb
            kerb = kerb_colour(0, end_v) if t < 0.5 else kerb_colour(0, end_h)
        else:
            kerb = kerb_colour(min(blocks - 1, int(t * blocks)), end_v)
        dash = 0.25 <= (t * dash_periods) % 1.0 < 0.75
        return road_colour(width - r, 0.0, width, x, y, kerb, lines if dash else [])
    size = int(width)
    return render(size, size, fn)


# Where the wide pieces lie in the atlas, below the narrow ones, in the
# order the track drawing numbers them: the straights, the lane's last
# cells (lane first across or last, narrowing at the road's start or end),
# then the corners '1' to '4'.
WIDE_LAYOUT = [
    (('straight', True), (600, 100)),
    (('straight', False), (200, 250)),
    (('narrows', True, True, 'start'), (0, 250)),
    (('narrows', True, True, 'end'), (50, 250)),
    (('narrows', True, False, 'start'), (100, 250)),
    (('narrows', True, False, 'end'), (150, 250)),
    (('narrows', False, True, 'start'), (350, 250)),
    (('narrows', False, True, 'end'), (500, 250)),
    (('narrows', False, False, 'start'), (200, 300)),
    (('narrows', False, False, 'end'), (350, 300)),
    (('corner', 8), (0, 100)),
    (('corner', 9), (150, 100)),
    (('corner', 10), (300, 100)),
    (('corner', 11), (450, 100)),
]


def wide_piece(kind):
    if kind[0] == 'straight':
        return straight_piece(kind[1], WIDE)
    if kind[0] == 'narrows':
        return straight_piece(kind[1], WIDE, kind[2], kind[3])
    return corner_piece(kind[1], WIDE)


# ---------------------------------------------------------------- obstacles
#
# A slowing cell is grass, addressed like the ground piece so it joins its
# neighbours without a seam, with a patch painted on it. Every patch fades
# raggedly into the grass and leaves the outer MARGIN pixels untouched, so
# slowing cells side by side read as separate patches, not as one square.

MARGIN = 2.0


def blob(rng, cx, cy, radius, wobble, lobes=5):
    """A closed irregular outline as a polygon (list of points)."""
    phases = [rng.uniform(0, 2 * math.pi) for _ in range(lobes)]
    amps = [rng.uniform(0.3, 1.0) * wobble / (k + 1) for k in range(lobes)]
    pts = []
    for i in range(96):
        a = 2 * math.pi * i / 96
        r = radius * (1 + sum(amps[k] * math.sin((k + 2) * a + phases[k]) for k in range(lobes)))
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


def scaled(pts):
    return [(x * SS, y * SS) for x, y in pts]


def smoothstep(t):
    t = 0.0 if t < 0 else 1.0 if t > 1 else t
    return t * t * (3 - 2 * t)


def grass_base():
    return texture_image(GRASS_TEX, 50, 50).resize((50 * SS, 50 * SS), Image.NEAREST).convert('RGBA')


def new_layer():
    return Image.new('RGBA', (50 * SS, 50 * SS), (0, 0, 0, 0))


def field(fn):
    """An opaque supersampled layer from fn(x, y) -> colour, x and y in
    final pixels."""
    S = 50 * SS
    img = Image.new('RGBA', (S, S))
    img.putdata([to_rgb(fn((X + 0.5) / SS, (Y + 0.5) / SS)) + (255,) for Y in range(S) for X in range(S)])
    return img


def paint(img, layer, mask):
    """Lays `layer` over `img` through `mask` (an L image)."""
    a = layer.getchannel('A') if layer.getchannel('A').getextrema() != (255, 255) else None
    layer = layer.copy()
    layer.putalpha(mask if a is None else Image.composite(a, Image.new('L', a.size, 0), mask))
    return Image.alpha_composite(img, layer)


class Patch:
    """An irregular round outline with a ragged edge. depth(X, Y) is how far
    a supersample lies inside the edge, in pixels (negative outside)."""

    def __init__(self, seed, radius, wobble=0.2, ragged=2.0, lobes=5, spill=4.0, cx=25.0, cy=25.0):
        rng = random.Random(seed)
        phases = [rng.uniform(0, 2 * math.pi) for _ in range(lobes)]
        amps = [rng.uniform(0.3, 1.0) * wobble / (k + 1) for k in range(lobes)]
        fine = periodic_noise(rng, 50 * SS, 20)
        coarse = periodic_noise(rng, 50 * SS, 8)
        S = 50 * SS
        self.depth = []
        for Y in range(S):
            y = (Y + 0.5) / SS - cy
            for X in range(S):
                x = (X + 0.5) / SS - cx
                a = math.atan2(y, x)
                edge = radius * (1 + sum(amps[k] * math.sin((k + 2) * a + phases[k]) for k in range(lobes)))
                edge += ragged * (0.6 * fine[Y][X] + 0.4 * coarse[Y][X] - 0.5) * 2
                # lobes that would run into the untouched border are eased
                # back, leaving `spill` pixels for the softened fringe
                limit = (25 - MARGIN - spill) / max(abs(math.cos(a)), abs(math.sin(a))) ** 0.5
                if edge > limit - 4:
                    edge = limit - 4 * math.exp(-(edge - limit + 4) / 4)
                self.depth.append(edge - math.hypot(x, y))

    def mask(self, fade, grow=0.0, strength=1.0):
        """Coverage: full `fade` / 2 pixels inside the edge (moved out by
        `grow`), none as far outside it. Nothing within MARGIN of the cell
        border; the generator stops if a patch would be cut there."""
        S = 50 * SS
        out = []
        for i, d in enumerate(self.depth):
            v = smoothstep((d + grow) / fade + 0.5) * strength
            if v > 0:
                X, Y = i % S, i // S
                border = min(X, Y, S - 1 - X, S - 1 - Y) / SS
                if border < MARGIN:
                    if v > 0.02:
                        raise ValueError('patch reaches %.1f px from the cell border' % border)
                    v = 0.0
            out.append(int(v * 255 + 0.5))
        m = Image.new('L', (S, S))
        m.putdata(out)
        return m


def speckle(rng, patch, n, colours, size, reach, inside=False):
    """Small dots thrown around the patch's edge: fewer further out, none
    beyond `reach` pixels past the edge."""
    lay = new_layer()
    d = ImageDraw.Draw(lay)
    S = 50 * SS
    placed = 0
    while placed < n:
        X, Y = rng.randrange(S), rng.randrange(S)
        depth = patch.depth[Y * S + X]
        if depth < -reach or (depth > 1.5 and not inside):
            continue
        if rng.random() > 1 - max(0.0, -depth) / reach:
            continue
        x, y = X / SS, Y / SS
        s = rng.uniform(*size)
        if min(x, y, 50 - x, 50 - y) - s < MARGIN + 0.5:
            continue
        d.ellipse(((x - s) * SS, (y - s) * SS, (x + s) * SS, (y + s) * SS), fill=rng.choice(colours))
        placed += 1
    return lay


def clipped(layer, mask):
    """`layer` kept only where `mask` covers."""
    out = new_layer()
    out.paste(layer, (0, 0), Image.composite(layer.getchannel('A'), Image.new('L', layer.size, 0), mask))
    return out


def slowing_mud():
    """Dark churned mud with tyre ruts and a wet shine, in trampled grass."""
    rng = random.Random(401)
    p = Patch(401, 17.5, wobble=0.22, ragged=2.2)
    img = grass_base()
    # trampled, muddied grass around the mud
    img = paint(img, field(lambda x, y: mix(tex_at(GRASS_TEX, x, y), (72, 64, 34), 0.75)),
                p.mask(5.0, grow=2.0, strength=0.85))
    img = Image.alpha_composite(img, speckle(rng, p, 40, [to_rgb(MUD) + (230,), to_rgb(shade(MUD, 0.8)) + (230,)],
                                             (0.5, 1.1), 3.5))

    def mud(x, y):
        c = tex_at(DIRT_TEX, x, y)
        f = (c[0] + c[1] + c[2]) / sum(DIRT)
        return shade(MUD, 0.78 + 0.5 * f)
    img = paint(img, field(mud), p.mask(3.0))
    # wetter, darker middle
    img = paint(img, field(lambda x, y: shade(MUD, 0.9)), p.mask(6.0, grow=-6.0, strength=0.7))
    core = p.mask(3.0, grow=-1.5)
    lay = new_layer()
    d = ImageDraw.Draw(lay)
    for ox in (19.5, 30.5):       # tyre ruts
        d.line(scaled([(ox - 0.5, 7), (ox + 0.4, 25), (ox + 1.0, 43)]), fill=to_rgb(shade(MUD, 0.55)) + (170,),
               width=int(2.2 * SS))
        d.line(scaled([(ox + 1.3, 7), (ox + 2.2, 25), (ox + 2.8, 43)]), fill=to_rgb(shade(MUD, 1.3)) + (120,),
               width=int(0.7 * SS))
    # wet shine
    d.arc((13 * SS, 13 * SS, 37 * SS, 37 * SS), 195, 250, fill=(196, 164, 130, 160), width=int(1.2 * SS))
    d.arc((17 * SS, 20 * SS, 33 * SS, 36 * SS), 30, 70, fill=(176, 144, 112, 120), width=int(1.0 * SS))
    img = Image.alpha_composite(img, clipped(lay.filter(ImageFilter.GaussianBlur(0.35 * SS)), core))
    return downsample(img, (50, 50)).convert('RGB')


def slowing_sand():
    """A pale rippled sand drift, its grains thinning out into the grass."""
    rng = random.Random(402)
    p = Patch(412, 17.5, wobble=0.22, ragged=2.2)
    img = grass_base()
    img = paint(img, field(lambda x, y: mix(tex_at(GRASS_TEX, x, y), (196, 186, 110), 0.55)),
                p.mask(5.0, grow=2.0, strength=0.8))
    img = Image.alpha_composite(img, speckle(rng, p, 90, [(238, 214, 156, 230), (214, 184, 124, 220)],
                                             (0.35, 0.7), 4.0))

    def sand(x, y):
        c = tex_at(DIRT_TEX, x, y)
        f = (c[0] + c[1] + c[2]) / sum(DIRT)
        return shade(SAND, 0.9 + 0.12 * f)
    img = paint(img, field(sand), p.mask(5.0, grow=-0.5))
    # wind ripples and grains, only on the sand
    rip = new_layer()
    d = ImageDraw.Draw(rip)
    for k in range(-5, 6):
        y0 = 25 + k * 4.2
        ripple = [(x / 2, y0 + 0.9 * k * math.sin(x / 2 * 0.07) + 1.3 * math.sin(x / 2 * 0.23 + k * 2.1))
                  for x in range(0, 101)]
        d.line(scaled(ripple), fill=(188, 150, 92, 150), width=int(0.8 * SS))
        d.line(scaled([(x, y + 0.9) for x, y in ripple]), fill=(252, 236, 194, 130), width=int(0.6 * SS))
    for _ in range(60):
        x, y = rng.uniform(6, 44), rng.uniform(6, 44)
        c = (248, 236, 200, 180) if rng.random() < 0.5 else (170, 136, 86, 160)
        d.ellipse(((x - 0.35) * SS, (y - 0.35) * SS, (x + 0.35) * SS, (y + 0.35) * SS), fill=c)
    img = Image.alpha_composite(img, clipped(rip, p.mask(4.0, grow=-2.0)))
    return downsample(img, (50, 50)).convert('RGB')


def stone(d, rng, x, y, r):
    base = rng.choice(((174, 170, 172), (140, 136, 146), (198, 190, 178), (122, 118, 128), (162, 154, 146)))
    pts = blob(rng, x, y, r, 0.18, lobes=3)
    d.polygon(scaled([(px + 0.5, py + 0.7) for px, py in pts]), fill=(40, 30, 30, 120))   # shadow
    d.polygon(scaled(pts), fill=base + (255,))
    hl = blob(rng, x - r * 0.25, y - r * 0.3, r * 0.45, 0.1, lobes=2)
    d.polygon(scaled(hl), fill=to_rgb(shade(base, 1.25)) + (255,))


def slowing_gravel():
    """Grey stones on a gritty bed, the outer ones strewn over the grass."""
    rng = random.Random(403)
    p = Patch(403, 18.0, wobble=0.16, ragged=2.4)
    img = grass_base()

    def grit(x, y):
        c = tex_at(DIRT_TEX, x, y)
        f = (c[0] + c[1] + c[2]) / sum(DIRT)
        return shade((128, 120, 112), 0.75 + 0.35 * f)
    img = paint(img, field(grit), p.mask(4.0, grow=1.0))
    lay = new_layer()
    d = ImageDraw.Draw(lay)
    placed = []
    S = 50 * SS
    tries = 0
    while len(placed) < 64 and tries < 8000:
        tries += 1
        x, y = rng.uniform(4, 46), rng.uniform(4, 46)
        depth = p.depth[int(y * SS) * S + int(x * SS)]
        if depth < -3.0 or rng.random() > smoothstep((depth + 3.0) / 6.0):
            continue
        r = rng.uniform(1.6, 3.3) * (1.0 if depth > 3 else 0.7)
        if min(x, y, 50 - x, 50 - y) - r * 1.3 - 0.7 < MARGIN:
            continue
        if any(math.hypot(x - px, y - py) < r + pr + 0.4 for px, py, pr in placed):
            continue
        placed.append((x, y, r))
    for x, y, r in sorted(placed, key=lambda q: q[1]):
        stone(d, rng, x, y, r)
    img = Image.alpha_composite(img, lay)
    return downsample(img, (50, 50)).convert('RGB')


def slowing_oil():
    """A black slick with a rainbow sheen at its rim, on greasy grass."""
    rng = random.Random(404)
    p = Patch(404, 17.0, wobble=0.25, ragged=1.6)
    img = grass_base()
    img = paint(img, field(lambda x, y: mix(tex_at(GRASS_TEX, x, y), (38, 46, 32), 0.8)),
                p.mask(5.0, grow=2.0, strength=0.8))
    img = Image.alpha_composite(img, speckle(rng, p, 14, [OIL + (255,)], (0.6, 1.2), 3.5))
    sheen = [(120, 70, 170), (60, 130, 200), (70, 180, 140), (210, 190, 90), (200, 90, 150)]

    def rainbow(x, y):
        t = (math.atan2(y - 25, x - 25) / math.pi + 1) * 2.5 + 0.35 * math.sin(x * 0.6) + 0.3 * math.cos(y * 0.5)
        i = int(t) % 5
        return mix(sheen[i], sheen[(i + 1) % 5], t - int(t))
    img = paint(img, field(rainbow), p.mask(2.6, grow=1.5, strength=0.75))
    img = paint(img, field(lambda x, y: shade(OIL, 0.9 + 0.2 * tex_at(DIRT_TEX, x, y)[0] / DIRT[0])),
                p.mask(1.8, grow=-0.6))
    lay = new_layer()
    d = ImageDraw.Draw(lay)
    # glossy swirls
    d.arc((14 * SS, 13 * SS, 34 * SS, 31 * SS), 200, 290, fill=(150, 130, 200, 170), width=int(1.2 * SS))
    d.arc((20 * SS, 21 * SS, 38 * SS, 37 * SS), 20, 100, fill=(90, 160, 200, 140), width=int(1.0 * SS))
    d.ellipse((17 * SS, 16 * SS, 21 * SS, 18 * SS), fill=(240, 240, 255, 200))
    img = Image.alpha_composite(img, clipped(lay, p.mask(2.0, grow=-2.0)))
    return downsample(img, (50, 50)).convert('RGB')


def slowing_puddle():
    """Blue water with sky reflections and ripples, in a rim of wet mud."""
    p = Patch(405, 17.5, wobble=0.2, ragged=1.8)
    img = grass_base()
    img = paint(img, field(lambda x, y: mix(tex_at(GRASS_TEX, x, y), (64, 60, 40), 0.85)),
                p.mask(4.0, grow=2.4, strength=0.9))
    S = 50 * SS

    def water(x, y):
        depth = p.depth[min(S - 1, int(y * SS)) * S + min(S - 1, int(x * SS))]
        return mix(shade(WATER, 0.72), WATER, smoothstep(depth / 5.0))
    img = paint(img, field(water), p.mask(1.8))
    lay = new_layer()
    d = ImageDraw.Draw(lay)
    # sky reflections and ripple rings
    d.line([(15 * SS, 18 * SS), (23 * SS, 15 * SS)], fill=(220, 240, 255, 210), width=int(1.6 * SS))
    d.line([(27 * SS, 34 * SS), (33 * SS, 32 * SS)], fill=(200, 230, 255, 150), width=int(1.2 * SS))
    for r in (3.0, 6.0, 9.0):
        a = max(40, 170 - int(r * 14))
        d.ellipse(((31 - r) * SS, (23 - r * 0.8) * SS, (31 + r) * SS, (23 + r * 0.8) * SS),
                  outline=(200, 232, 255, a), width=int(0.8 * SS))
    img = Image.alpha_composite(img, clipped(lay, p.mask(2.0, grow=-1.5)))
    return downsample(img, (50, 50)).convert('RGB')


# ---------------------------------------------------------------- atlas

def ground_piece():
    return texture_image(GRASS_TEX, 50, 50)


def make_atlas():
    """The tile atlas, in the layout the track drawing cuts it by."""
    atlas = Image.new('RGB', (650, 400), (0, 0, 0))
    atlas.paste(ground_piece(), (0, 0))
    atlas.paste(slowing_mud(), (50, 0))
    atlas.paste(slowing_sand(), (100, 0))
    atlas.paste(slowing_gravel(), (150, 0))
    atlas.paste(slowing_oil(), (0, 50))
    atlas.paste(slowing_puddle(), (150, 50))
    atlas.paste(straight_piece(True), (200, 0))
    atlas.paste(straight_piece(False), (50, 50))
    atlas.paste(corner_piece(11), (250, 0))
    atlas.paste(corner_piece(8), (350, 0))
    atlas.paste(corner_piece(9), (450, 0))
    atlas.paste(corner_piece(10), (550, 0))
    for kind, at in WIDE_LAYOUT:
        atlas.paste(wide_piece(kind), at)
    return atlas


def make_finish():
    """The finish: a vertical road with a chequered band across its top
    20 pixels, where the lap line is."""
    road = straight_piece(False)
    img = road.resize((100 * SS, 50 * SS), Image.NEAREST)
    d = ImageDraw.Draw(img)
    x0, x1 = KERB, ROAD - KERB
    n = 8
    w = (x1 - x0) / n
    for row in range(2):
        for i in range(n):
            col = (24, 22, 30) if (i + row) % 2 == 0 else (250, 248, 250)
            d.rectangle((round((x0 + i * w) * SS), row * 10 * SS,
                         round((x0 + (i + 1) * w) * SS) - 1, (row + 1) * 10 * SS - 1), fill=col)
    # white lines framing the band
    d.rectangle((round(x0 * SS), 20 * SS, round(x1 * SS) - 1, int(21.2 * SS)), fill=PAINT)
    # the start grid: a painted slot under each of the three heads, which
    # stand 23, 50 and 77 pixels in and 35 down
    for c in (23, 50, 77):
        for box in ((c - 11, 46.5, c + 11, 48), (c - 11, 38, c - 9.5, 48), (c + 9.5, 38, c + 11, 48)):
            d.rectangle(tuple(round(v * SS) for v in box), fill=PAINT)
    return downsample(img, (100, 50))


# ---------------------------------------------------------------- sprites

def ball(base, accent, style, size=26):
    """A 26x26 ball centred at (13, 13), lit from the top and facing up;
    another size scales the same drawing (the icons)."""
    k = size / 26
    S = size * SS
    c = 13 * k * SS
    R = 12.0 * k * SS
    img = Image.new('RGBA', (S, S), (0, 0, 0, 0))
    px = img.load()
    lx, ly, lz = -0.25, -0.75, 0.62          # light from the top
    n = math.sqrt(lx * lx + ly * ly + lz * lz)
    lx, ly, lz = lx / n, ly / n, lz / n
    for Y in range(S):
        for X in range(S):
            dx = (X + 0.5 - c) / R
            dy = (Y + 0.5 - c) / R
            rr = dx * dx + dy * dy
            if rr > 1.0:
                continue
            dz = math.sqrt(1 - rr)
            diff = max(0.0, dx * lx + dy * ly + dz * lz)
            specular = max(0.0, 2 * diff * dz - lz) ** 24
            f = 0.42 + 0.75 * diff
            col = [base[i] * f + 255 * specular * 0.8 for i in range(3)]
            if rr > 0.86:                      # dark rim so balls read on any ground
                t = min(1.0, (rr - 0.86) / 0.14)
                col = mix(col, shade(base, 0.35), t)
            px[X, Y] = to_rgb(col) + (255,)
    deco = Image.new('RGBA', (S, S), (0, 0, 0, 0))
    d = ImageDraw.Draw(deco)

    def P(x, y):
        return (x * k * SS, y * k * SS)

    if style == 'eyes':
        for ex in (9.2, 16.8):
            d.ellipse((*P(ex - 3.0, 3.6), *P(ex + 3.0, 11.0)), fill=(255, 255, 255, 255),
                      outline=to_rgb(shade(base, 0.4)) + (255,), width=int(0.5 * k * SS))
            d.ellipse((*P(ex - 1.6, 3.9), *P(ex + 1.6, 7.6)), fill=(30, 20, 40, 255))
            d.ellipse((*P(ex - 0.9, 4.3), *P(ex - 0.1, 5.1)), fill=(255, 255, 255, 255))
    elif style == 'chevron':
        pts = [P(13, 2.4), P(20.5, 10.5), P(17.8, 12.6), P(13, 7.6), P(8.2, 12.6), P(5.5, 10.5)]
        d.polygon(pts, fill=accent + (255,), outline=to_rgb(shade(base, 0.45)) + (255,))
        d.rectangle((*P(11.6, 12.0), *P(14.4, 23.5)), fill=accent + (200,))
    elif style == 'visor':
        d.chord((*P(4.0, 2.6), *P(22.0, 16.0)), 190, 350, fill=(40, 34, 60, 255))
        d.chord((*P(6.0, 4.2), *P(20.0, 14.0)), 205, 265, fill=(150, 200, 240, 255))
        d.line([P(4.5, 11.2), P(21.5, 11.2)], fill=accent + (255,), width=int(1.2 * k * SS))
    elif style == 'lamp':
        d.ellipse((*P(9.5, 2.2), *P(16.5, 9.2)), fill=(255, 250, 210, 255),
                  outline=to_rgb(shade(base, 0.45)) + (255,), width=int(0.5 * k * SS))
        d.ellipse((*P(11.4, 3.8), *P(14.6, 7.0)), fill=(255, 255, 255, 255))
        for sx in (-1, 1):
            d.line([P(13 + sx * 5.2, 10.5), P(13 + sx * 8.2, 16.5)], fill=accent + (255,), width=int(1.6 * k * SS))
    img = Image.alpha_composite(img, deco)
    # the shine of the ball over the decorations
    shine = Image.new('RGBA', (S, S), (0, 0, 0, 0))
    ImageDraw.Draw(shine).ellipse((*P(7.5, 3.0), *P(12.5, 6.0)), fill=(255, 255, 255, 110))
    img = Image.alpha_composite(img, shine.filter(ImageFilter.GaussianBlur(SS * 0.5 * k)))
    # keep everything inside the round outline
    mask = Image.new('L', (S, S), 0)
    ImageDraw.Draw(mask).ellipse((c - R, c - R, c + R, c + R), fill=255)
    a = img.getchannel('A')
    img.putalpha(Image.composite(a, Image.new('L', (S, S), 0), mask))
    return downsample(img, (size, size))


BALLS = [
    ((236, 86, 160), (255, 255, 255), 'eyes'),     # rosy, with eyes
    ((40, 176, 188), (250, 250, 250), 'chevron'),  # teal, with an arrow
    ((248, 178, 48), (214, 62, 96), 'visor'),      # sunny, with a visor
    ((140, 96, 226), (252, 206, 251), 'lamp'),     # violet, with a head lamp
]


def make_balls():
    return [ball(*b) for b in BALLS]


def ring_marker(lit):
    """Checkpoint ring, 90x90, centred at (45, 45), open in the middle."""
    S = 90 * SS
    c = 45 * SS
    img = Image.new('RGBA', (S, S), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)

    def circle(r, **kw):
        d.ellipse((c - r * SS, c - r * SS, c + r * SS, c + r * SS), **kw)

    if lit:
        glow = Image.new('RGBA', (S, S), (0, 0, 0, 0))
        g = ImageDraw.Draw(glow)
        g.ellipse((c - 43 * SS, c - 43 * SS, c + 43 * SS, c + 43 * SS), outline=(120, 255, 140, 150), width=10 * SS)
        img = Image.alpha_composite(img, glow.filter(ImageFilter.GaussianBlur(2.5 * SS)))
        d = ImageDraw.Draw(img)
        circle(41, outline=(20, 110, 50, 255), width=int(1.2 * SS))
        circle(40, outline=(70, 226, 110, 255), width=7 * SS)
        circle(38.5, outline=(190, 255, 200, 255), width=int(1.6 * SS))
        circle(33, outline=(20, 110, 50, 255), width=int(1.2 * SS))
        # sparkles around the ring
        for k in range(8):
            a = 2 * math.pi * k / 8 + 0.2
            x, y = c + 36.5 * SS * math.cos(a), c + 36.5 * SS * math.sin(a)
            d.ellipse((x - 1.3 * SS, y - 1.3 * SS, x + 1.3 * SS, y + 1.3 * SS), fill=(255, 255, 255, 255))
    else:
        circle(41, outline=(76, 20, 78, 190), width=int(1.2 * SS))
        circle(40, outline=(252, 206, 251, 170), width=7 * SS)
        circle(33, outline=(76, 20, 78, 190), width=int(1.2 * SS))
        # gaps in the ring make it read as a gate still to pass
        for k in range(8):
            a = 360 * k / 8 + 22.5
            d.arc((c - 41.5 * SS, c - 41.5 * SS, c + 41.5 * SS, c + 41.5 * SS), a - 4, a + 4,
                  fill=(0, 0, 0, 0), width=10 * SS)
    # clear the middle
    hole = Image.new('L', (S, S), 255)
    ImageDraw.Draw(hole).ellipse((c - 32.4 * SS, c - 32.4 * SS, c + 32.4 * SS, c + 32.4 * SS), fill=0)
    img.putalpha(Image.composite(img.getchannel('A'), Image.new('L', (S, S), 0), hole))
    return downsample(img, (90, 90))


def make_lap_bar():
    """Background of the lap display: a light rounded bar, 110x22."""
    w, h = 110, 22
    img = Image.new('RGBA', (w * SS, h * SS), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    d.rounded_rectangle((0, 0, w * SS - 1, h * SS - 1), radius=9 * SS, fill=MAGENTA + (255,))
    top, bottom = (255, 246, 254), (246, 214, 244)
    inner = Image.new('RGBA', img.size, (0, 0, 0, 0))
    m = Image.new('L', img.size, 0)
    ImageDraw.Draw(m).rounded_rectangle((int(1.5 * SS), int(1.5 * SS), w * SS - 1 - int(1.5 * SS),
                                         h * SS - 1 - int(1.5 * SS)), radius=8 * SS, fill=255)
    grad = Image.new('RGBA', img.size)
    grad.putdata([to_rgb(mix(top, bottom, Y / (h * SS))) + (255,) for Y in range(h * SS) for X in range(w * SS)])
    inner.paste(grad, (0, 0), m)
    img = Image.alpha_composite(img, inner)
    ImageDraw.Draw(img).line([(10 * SS, int(3.2 * SS)), ((w - 10) * SS, int(3.2 * SS))],
                             fill=(255, 255, 255, 200), width=SS)
    return downsample(img, (w, h))


def make_logo():
    """The title. Drawn at (68, 50): 364 wide, so it sits centred in the
    500-pixel menu, and only 50 high, so the settings screen's help line at
    y = 100 and the buttons below stay clear. The dot on the i is a ball."""
    w, h = 364, 50
    S = SS
    font = ImageFont.truetype(FONT_DIR + 'VeraBd.ttf', 54 * S)
    text = 'Cha\u0131nball'          # dotless i: a ball takes the dot's place
    probe = ImageDraw.Draw(Image.new('L', (1, 1)))
    l, t, r, b = probe.textbbox((0, 0), text, font=font)
    tw, th = r - l, b - t
    canvas = Image.new('L', (tw + 2, th + 2), 0)
    ImageDraw.Draw(canvas).text((-l + 1, -t + 1), text, font=font, fill=255)
    # stretch the letters a little for a sporty, wide title
    out_w = (w - 30) * S
    stretch = out_w / canvas.width
    canvas = canvas.resize((out_w, canvas.height), Image.LANCZOS)
    W, H = w * S, h * S
    outline_px = 3 * S
    tx = (W - canvas.width) // 2
    ty = outline_px
    mask = Image.new('L', (W, H), 0)
    mask.paste(canvas, (tx, ty))
    text_bottom = ty + canvas.height
    # where the dot of the i would be
    i_left = font.getlength('Cha') - l
    i_width = font.getlength('Cha\u0131') - font.getlength('Cha')
    dot_x = tx + (i_left + i_width / 2) * stretch
    _, i_top, _, _ = font.getbbox('\u0131')
    _, l_top, _, _ = font.getbbox('l')
    dot_r = 7.5 * S
    dot_cy = max(dot_r + outline_px + S, ty + (l_top - t) + (i_top - l_top) * 0.32)

    img = Image.new('RGBA', (W, H), (0, 0, 0, 0))
    # soft drop shadow
    sh = mask.filter(ImageFilter.MaxFilter(2 * outline_px + 1)).filter(ImageFilter.GaussianBlur(1.5 * S))
    sh = Image.eval(sh, lambda v: v * 140 // 255)
    shadow = Image.new('RGBA', (W, H), (40, 0, 50, 0))
    shadow.paste((40, 0, 50, 255), (2 * S, 2 * S), sh)
    img = Image.alpha_composite(img, shadow)
    # thick dark outline
    outline = mask.filter(ImageFilter.MaxFilter(2 * outline_px + 1))
    layer = Image.new('RGBA', (W, H), PLUM + (0,))
    layer.putalpha(outline)
    img = Image.alpha_composite(img, layer)
    # a thin light rim between the outline and the fill
    rim = mask.filter(ImageFilter.MaxFilter(2 * 1 * S + 1))
    layer = Image.new('RGBA', (W, H), (255, 236, 252, 0))
    layer.putalpha(rim)
    img = Image.alpha_composite(img, layer)
    # gradient fill: warm pink at the top to deep magenta at the bottom
    fill = Image.new('RGBA', (W, H))
    stops = [(0.0, (255, 196, 238)), (0.45, (246, 96, 196)), (1.0, (150, 32, 150))]
    rows = []
    for Y in range(H):
        tt = min(1.0, max(0.0, (Y - ty) / max(1, text_bottom - ty)))
        for i in range(len(stops) - 1):
            if stops[i][0] <= tt <= stops[i + 1][0]:
                k = (tt - stops[i][0]) / (stops[i + 1][0] - stops[i][0])
                rows.append(to_rgb(mix(stops[i][1], stops[i + 1][1], k)) + (255,))
                break
    fill.putdata([rows[Y] for Y in range(H) for X in range(W)])
    fill.putalpha(mask)
    img = Image.alpha_composite(img, fill)
    # glossy highlight on the upper part of the letters
    gloss = Image.new('L', (W, H), 0)
    ImageDraw.Draw(gloss).rectangle((0, ty, W, ty + (text_bottom - ty) * 0.4), fill=80)
    gl = Image.new('RGBA', (W, H), (255, 255, 255, 0))
    gl.putalpha(Image.composite(gloss, Image.new('L', (W, H), 0), mask.filter(ImageFilter.MinFilter(2 * S + 1))))
    img = Image.alpha_composite(img, gl)
    # the ball on the i, with the same dark outline as the letters
    d = ImageDraw.Draw(img)
    d.ellipse((dot_x - dot_r - outline_px, dot_cy - dot_r - outline_px,
               dot_x + dot_r + outline_px, dot_cy + dot_r + outline_px), fill=PLUM + (255,))
    ball_img = ball((40, 176, 188), (255, 255, 255), 'eyes').resize((int(2 * dot_r) + 2 * S, int(2 * dot_r) + 2 * S), Image.LANCZOS)
    img.alpha_composite(ball_img, (int(dot_x - ball_img.width / 2), int(dot_cy - ball_img.height / 2)))
    return downsample(img, (w, h)), (dot_cy - dot_r - outline_px) / S


def make_pictures():
    """All pictures, by file name."""
    out = {}
    for i, b in enumerate(make_balls()):
        out['pallura%d.png' % (i + 1)] = b
    out['palkki.png'] = make_lap_bar()
    out['donut.png'] = ring_marker(False)
    out['donut2.png'] = ring_marker(True)
    out['maali.png'] = make_finish()
    out['set.png'] = make_atlas()
    out['pp.png'] = make_logo()[0]
    return out
