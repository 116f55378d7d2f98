#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks that the racers' balls stay apart for colour-blind players and
stand out on every ground.

    /usr/bin/python3 tools/check_colours.py [DATA_FOLDER]
    /usr/bin/python3 tools/check_colours.py --screenshot IN.png OUT.png

The second form writes a screenshot as seen with each vision, side by side
(normal, protanopia, deuteranopia, tritanopia), to look at by eye.

Every ball of every racer (racerR_ballS.png) and each head marker
(markerP.png) is laid over the middle of each ground of the tile atlas
(grass, road, mud, sand, gravel, oil, puddle), as the race draws it. Each
pixel is then seen with normal vision and with simulated protanopia,
deuteranopia and tritanopia (the severity-1 matrices of Machado, Oliveira
and Fernandes 2009, applied in linear RGB) and taken to CIELAB. A picture's
colour is the median of its pixels' L, a and b: the colour of its body,
not pulled to grey by the dark rim, the shading and the faces, as a mean
would be. Distances are CIEDE2000. Fails when, under any of the four
visions:

- two racers' colours come closer than RACER_GAP over some ground: any
  ball of one against any ball of the other, since a chain mixes its four
  looks;
- less than GROUND_SHARE of a ball's or marker's pixels lie PIXEL_GAP or
  more from the ground's colour: too little of it stands out there.

Before measuring, the CIEDE2000 code is checked against published pairs
and the simulation against two properties of colour-blind vision.
"""
import math
import os
import sys

from PIL import Image

RACER_GAP = 20.0       # CIEDE2000 between two racers' colours
PIXEL_GAP = 15.0       # CIEDE2000 from the ground's colour for a pixel to stand out
GROUND_SHARE = 0.4     # share of a picture's pixels that must stand out

RACERS = 3
LOOKS = 4
MARKERS = 2

# Where each ground lies in set.png (left, top), and where on it the
# picture is laid: the middle of a slowing patch, the asphalt of the road.
GROUNDS = {
    'grass': (0, 0, 12, 12), 'mud': (50, 0, 12, 12), 'sand': (100, 0, 12, 12),
    'gravel': (150, 0, 12, 12), 'oil': (0, 50, 12, 12), 'puddle': (150, 50, 12, 12),
    'road': (200, 0, 12, 37),
}

# Machado et al. 2009, severity 1.0, on linear RGB.
VISIONS = {
    'normal': None,
    'protanopia': ((0.152286, 1.052583, -0.204868), (0.114503, 0.786281, 0.099216),
                   (-0.003882, -0.048116, 1.051998)),
    'deuteranopia': ((0.367322, 0.860646, -0.227968), (0.280085, 0.672501, 0.047413),
                     (-0.011820, 0.042940, 0.968881)),
    'tritanopia': ((1.255528, -0.076749, -0.178779), (-0.078411, 0.930809, 0.147602),
                   (0.004733, 0.691367, 0.303900)),
}


# ---------------------------------------------------------------- colour

def to_linear(v):
    v /= 255.0
    return v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4


def simulate(rgb_linear, vision):
    m = VISIONS[vision]
    if m is None:
        return rgb_linear
    return tuple(min(1.0, max(0.0, sum(m[i][k] * rgb_linear[k] for k in range(3)))) for i in range(3))


def lab(rgb_linear):
    """CIELAB (D65) of a linear sRGB colour."""
    r, g, b = rgb_linear
    x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047
    y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b
    z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883

    def f(t):
        return t ** (1 / 3) if t > 216 / 24389 else (24389 / 27 * t + 16) / 116
    fx, fy, fz = f(x), f(y), f(z)
    return (116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz))


def ciede2000(lab1, lab2):
    L1, a1, b1 = lab1
    L2, a2, b2 = lab2
    c_mean = (math.hypot(a1, b1) + math.hypot(a2, b2)) / 2
    g = 0.5 * (1 - math.sqrt(c_mean ** 7 / (c_mean ** 7 + 25 ** 7)))
    a1p, a2p = a1 * (1 + g), a2 * (1 + g)
    c1p, c2p = math.hypot(a1p, b1), math.hypot(a2p, b2)
    h1p = math.degrees(math.atan2(b1, a1p)) % 360 if c1p else 0.0
    h2p = math.degrees(math.atan2(b2, a2p)) % 360 if c2p else 0.0
    dLp, dCp = L2 - L1, c2p - c1p
    dh = h2p - h1p
    if c1p * c2p == 0:
        dh = 0.0
    elif dh > 180:
        dh -= 360
    elif dh < -180:
        dh += 360
    dHp = 2 * math.sqrt(c1p * c2p) * math.sin(math.radians(dh) / 2)
    Lp, Cp = (L1 + L2) / 2, (c1p + c2p) / 2
    if c1p * c2p == 0:
        hp = h1p + h2p
    elif abs(h1p - h2p) <= 180:
        hp = (h1p + h2p) / 2
    else:
        hp = (h1p + h2p + 360) / 2 if h1p + h2p < 360 else (h1p + h2p - 360) / 2
    t = (1 - 0.17 * math.cos(math.radians(hp - 30)) + 0.24 * math.cos(math.radians(2 * hp))
         + 0.32 * math.cos(math.radians(3 * hp + 6)) - 0.20 * math.cos(math.radians(4 * hp - 63)))
    d_theta = 30 * math.exp(-((hp - 275) / 25) ** 2)
    rc = 2 * math.sqrt(Cp ** 7 / (Cp ** 7 + 25 ** 7))
    sl = 1 + 0.015 * (Lp - 50) ** 2 / math.sqrt(20 + (Lp - 50) ** 2)
    sc = 1 + 0.045 * Cp
    sh = 1 + 0.015 * Cp * t
    rt = -math.sin(math.radians(2 * d_theta)) * rc
    return math.sqrt((dLp / sl) ** 2 + (dCp / sc) ** 2 + (dHp / sh) ** 2 + rt * (dCp / sc) * (dHp / sh))


def seen(pixels, vision):
    """CIELAB of (r, g, b) pixels as seen with `vision`."""
    return [lab(simulate(tuple(to_linear(v) for v in p[:3]), vision)) for p in pixels]


def median_lab(labs):
    mid = len(labs) // 2
    return tuple(sorted(c[i] for c in labs)[mid] for i in range(3))


def colour_of(pixels, vision):
    return median_lab(seen(pixels, vision))


# Sharma, Wu and Dalal (2005): Lab pairs and their CIEDE2000.
REFERENCE_PAIRS = [
    ((50.0, 2.6772, -79.7751), (50.0, 0.0, -82.7485), 2.0425),
    ((50.0, 3.1571, -77.2803), (50.0, 0.0, -82.7485), 2.8615),
    ((50.0, -1.3802, -84.2814), (50.0, 0.0, -82.7485), 1.0000),
    ((50.0, 0.0, 0.0), (50.0, -1.0, 2.0), 2.3669),
    ((50.0, 2.49, -0.001), (50.0, -2.49, 0.0009), 7.1792),
    ((50.0, 2.5, 0.0), (73.0, 25.0, -18.0), 27.1492),
    ((50.0, 2.5, 0.0), (61.0, -5.0, 29.0), 22.8977),
    ((50.0, 2.5, 0.0), (56.0, -27.0, -3.0), 31.9030),
    ((60.2574, -34.0099, 36.2677), (60.4626, -34.1751, 39.4387), 1.2644),
]


def self_check():
    """Errors of the measuring code itself; empty when it is sound."""
    errors = []
    for a, b, want in REFERENCE_PAIRS:
        for x, y in ((a, b), (b, a)):
            got = ciede2000(x, y)
            if abs(got - want) > 1e-4:
                errors.append('CIEDE2000 of %s and %s is %.4f, not %.4f' % (x, y, got, want))
    red, green, grey = [(255, 0, 0)], [(0, 160, 0)], [(128, 128, 128)]
    normal = ciede2000(colour_of(red, 'normal'), colour_of(green, 'normal'))
    for vision in VISIONS:
        if ciede2000(colour_of(grey, vision), colour_of(grey, 'normal')) > 0.5:
            errors.append('%s changes a neutral grey' % vision)
    for vision in ('protanopia', 'deuteranopia'):
        apart = ciede2000(colour_of(red, vision), colour_of(green, vision))
        if not apart < normal / 2:
            errors.append('%s keeps red and green %.1f apart (normal vision %.1f)' % (vision, apart, normal))
    return errors


def composite(picture, atlas, ground):
    """The picture laid on `ground`: its covered pixels, and the ground
    pixels under it."""
    gx, gy, ox, oy = GROUNDS[ground]
    box = (gx + ox, gy + oy, gx + ox + picture.width, gy + oy + picture.height)
    under = atlas.crop(box).convert('RGBA')
    laid = Image.alpha_composite(under, picture)
    covered = [laid.getpixel((x, y)) for y in range(picture.height) for x in range(picture.width)
               if picture.getpixel((x, y))[3] >= 16]
    return covered, list(under.getdata())


def measure(folder):
    """(racer gaps, ground shares): lists of (value, what), every pair of
    racers and every picture over every ground, under every vision."""
    atlas = Image.open(os.path.join(folder, 'set.png')).convert('RGBA')
    pictures = {}
    for r in range(1, RACERS + 1):
        for s in range(1, LOOKS + 1):
            pictures[(r, s)] = 'racer%d_ball%d.png' % (r, s)
    for p in range(1, MARKERS + 1):
        pictures[(0, p)] = 'marker%d.png' % p
    pictures = {k: (n[:-4], Image.open(os.path.join(folder, n)).convert('RGBA')) for k, n in pictures.items()}
    racer_gaps, ground_shares = [], []
    for ground in GROUNDS:
        for vision in VISIONS:
            colour = {}
            for key, (name, img) in pictures.items():
                covered, under = composite(img, atlas, ground)
                labs = seen(covered, vision)
                colour[key] = median_lab(labs)
                base = colour_of(under, vision)
                share = sum(ciede2000(c, base) >= PIXEL_GAP for c in labs) / len(labs)
                ground_shares.append((share, '%s on %s, %s' % (name, ground, vision)))
            for r1 in range(1, RACERS + 1):
                for r2 in range(r1 + 1, RACERS + 1):
                    d, s1, s2 = min((ciede2000(colour[(r1, s1)], colour[(r2, s2)]), s1, s2)
                                    for s1 in range(1, LOOKS + 1) for s2 in range(1, LOOKS + 1))
                    racer_gaps.append((d, 'racer%d_ball%d and racer%d_ball%d on %s, %s'
                                       % (r1, s1, r2, s2, ground, vision)))
    return racer_gaps, ground_shares


def report(racer_gaps, ground_shares):
    """Prints the closest pairs and the least standing out, by vision;
    returns the failures."""
    for vision in VISIONS:
        rg = min(g for g in racer_gaps if g[1].endswith(vision))
        gs = min(g for g in ground_shares if g[1].endswith(vision))
        print('%-12s closest racers %4.1f (%s); least standing out %2.0f%% (%s)'
              % (vision, rg[0], rg[1].rsplit(',', 1)[0], 100 * gs[0], gs[1].rsplit(',', 1)[0]))
    failures = ['racers %.1f apart: %s (at least %.0f)' % (d, what, RACER_GAP)
                for d, what in racer_gaps if d < RACER_GAP]
    failures += ['%.0f%% stands out: %s (at least %.0f%%)' % (100 * v, what, 100 * GROUND_SHARE)
                 for v, what in ground_shares if v < GROUND_SHARE]
    return failures


def seen_screenshot(source, target):
    from PIL import Image
    shot = Image.open(source).convert('RGB')
    w, h = shot.size
    out = Image.new('RGB', (w * len(VISIONS), h))
    linear = [tuple(to_linear(float(c)) for c in p) for p in shot.getdata()]
    for i, vision in enumerate(VISIONS):
        seen_pixels = [simulate(p, vision) for p in linear]
        out.paste(Image.frombytes('RGB', (w, h), bytes(from_linear(c) for p in seen_pixels for c in p)), (i * w, 0))
    out.save(target)
    return 0


def from_linear(v):
    v = 12.92 * v if v <= 0.0031308 else 1.055 * v ** (1 / 2.4) - 0.055
    return max(0, min(255, int(round(v * 255))))


def main(argv):
    if len(argv) == 4 and argv[1] == '--screenshot':
        return seen_screenshot(argv[2], argv[3])
    folder = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'filut')
    failures = self_check()
    if not failures:
        failures = report(*measure(folder))
    for f in failures:
        print('FAIL: ' + f)
    print('racer colours: %s' % ('FAILED' if failures else 'ok'))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
