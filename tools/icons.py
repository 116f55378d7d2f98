# SPDX-License-Identifier: GPL-3.0-or-later
"""The desktop icon: a racer's chain of three balls from the game's own ball
art, heading up and to the right, as PNG at the sizes desktops ask for and
as an SVG drawn from the same geometry.

The PNGs are the game's ball pictures rendered large (art.ball scales its
drawing); the SVG redraws each ball as circles with a radial gradient, the
rosy head's eyes, the sunny ball's visor and the teal ball's arrow.
"""
from PIL import Image

import art

SIZES = (32, 48, 64, 128, 256)

# Tail first, head last (drawn on top): (art.BALLS index, centre x, centre y,
# picture size), on a 256 x 256 canvas. Each ball's picture is `size` wide
# and its ball 12/26 of that in radius, so neighbours overlap like a chain.
CHAIN = (
    (1, 54, 204, 76),    # teal, with an arrow
    (2, 102, 154, 104),  # sunny, with a visor
    (0, 168, 88, 150),   # rosy, with eyes: the head
)
HEADING = -45            # degrees: the balls face up, the chain heads up-right


def master():
    """The icon at twice 256 pixels, for every size to be boxed down from."""
    k = 2
    canvas = Image.new('RGBA', (256 * k, 256 * k), (0, 0, 0, 0))
    for index, cx, cy, size in CHAIN:
        base, accent, style = art.BALLS[index]
        img = art.ball(base, accent, style, size * k).rotate(HEADING, resample=Image.BICUBIC)
        canvas.alpha_composite(img, (cx * k - img.width // 2, cy * k - img.height // 2))
    return canvas


def make_pngs():
    """{size: picture} for every size in SIZES."""
    big = master()
    return {s: art.downsample(big, (s, s)) for s in SIZES}


def hexcolour(c):
    return '#%02x%02x%02x' % art.to_rgb(c)


def svg_ball(n, base, accent, style):
    """One ball in the 26-unit frame of art.ball, facing up."""
    dark = hexcolour(art.shade(base, 0.35))
    outline = hexcolour(art.shade(base, 0.45))
    parts = [
        '<radialGradient id="g%d" cx="10.5" cy="7.5" r="15" gradientUnits="userSpaceOnUse">'
        '<stop offset="0" stop-color="%s"/><stop offset="0.55" stop-color="%s"/>'
        '<stop offset="0.86" stop-color="%s"/><stop offset="1" stop-color="%s"/></radialGradient>'
        % (n, hexcolour(art.mix(base, (255, 255, 255), 0.45)), hexcolour(base),
           hexcolour(art.shade(base, 0.6)), dark),
        '<circle cx="13" cy="13" r="12" fill="url(#g%d)" stroke="%s" stroke-width="0.8"/>' % (n, dark),
    ]
    if style == 'eyes':
        for ex in (9.2, 16.8):
            parts.append('<ellipse cx="%.1f" cy="7.3" rx="3" ry="3.7" fill="#fff" stroke="%s" stroke-width="0.5"/>'
                         % (ex, outline))
            parts.append('<ellipse cx="%.1f" cy="5.75" rx="1.6" ry="1.85" fill="#1e1428"/>' % ex)
            parts.append('<circle cx="%.1f" cy="4.7" r="0.4" fill="#fff"/>' % (ex - 0.5))
    elif style == 'chevron':
        parts.append('<polygon points="13,2.4 20.5,10.5 17.8,12.6 13,7.6 8.2,12.6 5.5,10.5" fill="%s" stroke="%s"'
                     ' stroke-width="0.3"/>' % (hexcolour(accent), outline))
        parts.append('<rect x="11.6" y="12" width="2.8" height="11.5" fill="%s" fill-opacity="0.8"/>'
                     % hexcolour(accent))
    elif style == 'visor':
        parts.append('<path d="M4.3,9.3 A9,6.7 0 0 1 21.7,9.3 Z" fill="#28223c"/>')
        parts.append('<path d="M7.5,7.4 A7,5 0 0 1 14.2,4.3 L13,9.1 Z" fill="#96c8f0"/>')
        parts.append('<line x1="4.5" y1="11.2" x2="21.5" y2="11.2" stroke="%s" stroke-width="1.2"/>'
                     % hexcolour(accent))
    parts.append('<ellipse cx="10" cy="4.5" rx="2.5" ry="1.5" fill="#fff" fill-opacity="0.43"/>')
    return parts


def make_svg():
    """The scalable icon, as text."""
    defs, body = [], []
    for n, (index, cx, cy, size) in enumerate(CHAIN):
        parts = svg_ball(n, *art.BALLS[index])
        defs.append(parts[0])
        k = size / 26
        body.append('<g transform="translate(%g %g) rotate(%d) scale(%.4f) translate(-13 -13)">'
                    % (cx, cy, -HEADING, k))
        body.extend('  ' + p for p in parts[1:])
        body.append('</g>')
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">\n'
            '<defs>\n' + '\n'.join(defs) + '\n</defs>\n' + '\n'.join(body) + '\n</svg>\n')
