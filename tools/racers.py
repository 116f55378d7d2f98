# SPDX-License-Identifier: GPL-3.0-or-later
"""Each racer's own balls, and the marker over a human player's head.

A racer's set is four balls drawn as pallura1.png to pallura4.png are (the
same size, lighting and faces: eyes, arrow, visor, lamp), all in the
racer's hue, each a slightly different tint of it, so a chain reads as one
colour. racerR_ballS.png replaces palluraS.png for racer R. The three hues
are chosen to stay apart for colour-blind players; tools/check_colours.py
measures them over every ground.
"""
from PIL import Image, ImageDraw, ImageFont

import art

# (four tints, accent of the faces) for player 1, player 2 or the first
# computer, and the second computer: blue, orange and pearl white, which
# differ in lightness as well as in hue. Values above 255 are meant: the
# ball's lit half saturates while its shaded half stays light, so orange
# still stands out on mud and pearl on the road. Pearl's visor ball keeps
# the plainest white, so its top, under the dark visor, stays the lit side.
RACERS = [
    ([(44, 108, 232), (40, 99, 213), (46, 114, 245), (42, 103, 222)], (226, 238, 255)),
    ([(270, 150, 30), (248, 138, 27), (286, 159, 31), (259, 144, 28)], (120, 44, 8)),
    ([(290, 290, 296), (278, 278, 284), (246, 246, 250), (284, 284, 290)], (64, 64, 80)),
]
STYLES = ['eyes', 'chevron', 'visor', 'lamp']

MARKER = 18              # pixels across
MARKER_DIGIT = {0: (255, 255, 255), 1: (40, 20, 10)}   # readable on the racer's hue


def racer_balls(racer):
    tints, accent = RACERS[racer]
    return [art.ball(tint, accent, style) for tint, style in zip(tints, STYLES)]


def head_marker(player):
    """A round badge with the player's number, in the player's hue, with a
    dark rim and a light halo so it reads on light and dark ground alike."""
    S = MARKER * art.SS
    c = S / 2
    img = Image.new('RGBA', (S, S), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)

    def disc(r, fill):
        d.ellipse((c - r * art.SS, c - r * art.SS, c + r * art.SS, c + r * art.SS), fill=fill)

    disc(9.0, (255, 255, 255, 200))              # halo
    disc(8.0, (24, 16, 32, 255))                 # rim
    disc(6.8, art.to_rgb(RACERS[player][0][0]) + (255,))   # body in the racer's hue
    font = ImageFont.truetype(art.FONT_DIR + 'VeraBd.ttf', 11 * art.SS)
    text = str(player + 1)
    left, top, right, bottom = d.textbbox((0, 0), text, font=font)
    d.text((c - (left + right) / 2, c - (top + bottom) / 2), text, font=font, fill=MARKER_DIGIT[player] + (255,))
    return art.downsample(img, (MARKER, MARKER))


def make_pictures():
    """All racer pictures, by file name."""
    out = {}
    for r in range(len(RACERS)):
        for s, img in enumerate(racer_balls(r)):
            out['racer%d_ball%d.png' % (r + 1, s + 1)] = img
    for p in range(2):
        out['marker%d.png' % (p + 1)] = head_marker(p)
    return out
