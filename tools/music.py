# SPDX-License-Identifier: GPL-3.0-or-later
"""The menu and race tune: 24 bars at 126 beats a minute, about 46 seconds,
synthesised here and encoded with oggenc.

The arrangement is a loop: every sound that rings past the last bar wraps
round to the start of the buffer, so the end flows into the beginning
without a click. Lead, bass, chord stabs, arpeggio and drums are built from
small band-limited wavetables; everything is plain Python (array, math).
"""
import array
import math
import operator
import os
import random
import subprocess
import tempfile
import wave

RATE = 44100
BPM = 126
SIXTEENTH = RATE * 60 // BPM // 4          # 5250 samples, exact at 126 BPM
BAR = SIXTEENTH * 16
BARS = 24
LENGTH = BAR * BARS

NOTE_NAMES = {'C': 0, 'D': 2, 'E': 4, 'F': 5, 'G': 7, 'A': 9, 'B': 11}


def midi(name):
    """'C5' -> 72, 'F#4' -> 66, 'Bb3' -> 58."""
    n = NOTE_NAMES[name[0]]
    rest = name[1:]
    if rest.startswith('#'):
        n += 1
        rest = rest[1:]
    elif rest.startswith('b'):
        n -= 1
        rest = rest[1:]
    return 12 * (int(rest) + 1) + n


def freq(m):
    return 440.0 * 2 ** ((m - 69) / 12.0)


# ---------------------------------------------------------------- the score

# chords: name -> (root midi in octave 3, intervals)
CHORDS = {
    'C': (48, (0, 4, 7)), 'Am': (45, (0, 3, 7)), 'F': (41, (0, 4, 7)), 'G': (43, (0, 4, 7)),
    'Em': (40, (0, 3, 7)), 'Dm': (50, (0, 3, 7)),
}
# one entry per bar; a pair splits the bar into halves
PROGRESSION = (
    ['C', 'Am', 'F', 'G', 'C', 'Am', ('F', 'G'), 'C'] +
    ['Am', 'Em', 'F', 'C', 'Dm', 'Am', 'F', 'G'] +
    ['C', 'Am', 'F', 'G', 'C', 'Am', ('F', 'G'), 'G']
)

# the melody, bar by bar: note:length in sixteenths, r is a rest
A1 = ['E5:2 G5:2 C6:3 G5:1 E5:2 G5:2 A5:2 G5:2',
      'E5:2 C5:2 A4:4 r:2 C5:2 E5:2 D5:2',
      'C5:2 F5:2 A5:3 G5:1 F5:2 A5:2 C6:2 A5:2',
      'B5:4 G5:2 D5:2 G5:6 r:2']
A2 = ['E5:2 G5:2 C6:3 G5:1 E5:2 G5:2 A5:2 C6:2',
      'D6:3 C6:1 A5:2 E5:2 A5:4 G5:2 E5:2',
      'F5:2 A5:2 G5:2 F5:2 D5:2 G5:2 F5:2 D5:2',
      'E5:4 D5:2 B4:2 C5:6 r:2']
B = ['A4:2 C5:2 E5:4 D5:2 C5:2 B4:2 C5:2',
     'B4:6 G4:2 E4:4 r:4',
     'F4:2 A4:2 C5:4 D5:2 C5:2 A4:2 C5:2',
     'E5:6 D5:2 C5:4 r:4',
     'D5:2 F5:2 A5:4 G5:2 F5:2 E5:2 F5:2',
     'E5:6 C5:2 A4:4 r:2 B4:2',
     'C5:2 A4:2 C5:2 F5:2 E5:2 F5:2 A5:4',
     'G5:4 B5:4 D6:4 r:2 D5:2']
A3 = [A1[0], A1[1], A1[2],
      'B5:2 C6:2 D6:4 B5:2 G5:2 D5:2 G5:2',
      A2[0], A2[1],
      'F5:2 A5:2 C6:2 A5:2 B5:2 D6:2 B5:2 G5:2',
      'G5:2 F5:2 E5:2 D5:2 B4:4 C5:2 D5:2']     # climbs back to the first E5
MELODY = A1 + A2 + B + A3


def parse_melody():
    notes = []
    for bar, text in enumerate(MELODY):
        pos = 0
        for tok in text.split():
            name, length = tok.split(':')
            length = int(length)
            if name != 'r':
                notes.append((bar * 16 + pos, length, midi(name)))
            pos += length
        if pos != 16:
            raise ValueError('melody bar %d has %d sixteenths' % (bar + 1, pos))
    return notes


def chord_at(bar, half):
    c = PROGRESSION[bar]
    if isinstance(c, tuple):
        c = c[half]
    return CHORDS[c]


# ---------------------------------------------------------------- synthesis

TABLE = 2048


def wavetable(harmonics):
    """One cycle from (harmonic number, amplitude) pairs, peak-normalised."""
    t = [sum(a * math.sin(2 * math.pi * k * i / TABLE) for k, a in harmonics) for i in range(TABLE)]
    peak = max(abs(v) for v in t)
    return [v / peak for v in t] + [t[0] / peak]


LEAD = wavetable([(k, (2 / (k * math.pi)) * abs(math.sin(k * math.pi * 0.3)) * (1.0 if k < 8 else 0.6))
                  for k in range(1, 14)] + [(1, 0.35)])
BASS = wavetable([(k, 1.0 / k ** 1.4) for k in range(1, 9)] + [(1, 0.6)])
PLUCK = wavetable([(k, 1.0 / k) for k in (1, 3, 5, 7, 9)] + [(2, 0.15)])


def render_note(table, f, length, attack, decay, sustain, release, vibrato=0.0, detune=0.0):
    """A note of `length` samples held, plus its release. Envelope times in
    seconds; the note starts at phase 0 so its first sample is silent."""
    rel = int(release * RATE)
    total = length + rel
    out = array.array('f', bytes(4 * total))
    inc = f * TABLE / RATE
    inc2 = f * (1 + detune) * TABLE / RATE
    ph = ph2 = 0.0
    a_n = max(1, int(attack * RATE))
    kd = math.exp(-1.0 / max(1.0, decay * RATE))
    level = 0.0
    dec = 1.0
    vib_start = int(0.12 * RATE)
    vib_w = 2 * math.pi * 5.5 / RATE
    kr = math.exp(-5.0 / max(1, rel))
    for i in range(total):
        if i < a_n:
            level = i / a_n
        elif i < length:
            dec *= kd
            level = sustain + (1 - sustain) * dec
        else:
            level *= kr
        s = table[int(ph)]
        if detune:
            s = 0.5 * (s + table[int(ph2)])
            ph2 += inc2
            if ph2 >= TABLE:
                ph2 -= TABLE
        out[i] = s * level
        step = inc
        if vibrato and i > vib_start:
            step = inc * (1 + vibrato * math.sin(vib_w * (i - vib_start)))
        ph += step
        if ph >= TABLE:
            ph -= TABLE
    # fade the very last samples so a release never ends on a step
    for i in range(max(0, total - 64), total):
        out[i] *= (total - i) / 64.0
    return out


class Mixer:
    def __init__(self):
        self.left = array.array('f', bytes(4 * LENGTH))
        self.right = array.array('f', bytes(4 * LENGTH))

    def add(self, start, sound, gain, pan=0.0):
        """Adds a mono sound at `start`, wrapping past the end to the start.
        pan: -1 left .. 1 right (equal power)."""
        gl = gain * math.cos((pan + 1) * math.pi / 4)
        gr = gain * math.sin((pan + 1) * math.pi / 4)
        pos = start % LENGTH
        done = 0
        n = len(sound)
        while done < n:
            take = min(n - done, LENGTH - pos)
            seg = sound[done:done + take]
            for buf, g in ((self.left, gl), (self.right, gr)):
                if g:
                    scaled = map(operator.mul, seg, [g] * take)
                    buf[pos:pos + take] = array.array('f', map(operator.add, buf[pos:pos + take], scaled))
            done += take
            pos = 0


# ---------------------------------------------------------------- drums

def noise(rng, n):
    return [rng.uniform(-1, 1) for _ in range(n)]


def kick():
    n = int(0.38 * RATE)
    out = array.array('f', bytes(4 * n))
    ph = 0.0
    for i in range(n):
        t = i / RATE
        f = 46 + 110 * math.exp(-t * 28)
        ph += 2 * math.pi * f / RATE
        amp = math.exp(-t * 6.5) * min(1.0, i / 40.0)
        out[i] = math.sin(ph) * amp
    return out


def snare(rng):
    n = int(0.26 * RATE)
    out = array.array('f', bytes(4 * n))
    nz = noise(rng, n)
    prev = 0.0
    ph = 0.0
    for i in range(n):
        t = i / RATE
        hp = nz[i] - prev * 0.6          # brighten the noise
        prev = nz[i]
        ph += 2 * math.pi * (185 - 30 * t) / RATE
        body = math.sin(ph) * math.exp(-t * 28) * 0.7
        out[i] = (hp * math.exp(-t * 17) * 0.6 + body) * min(1.0, i / 30.0)
    return out


def hat(rng, open_):
    n = int((0.32 if open_ else 0.07) * RATE)
    out = array.array('f', bytes(4 * n))
    nz = noise(rng, n + 2)
    k = 10 if open_ else 55
    for i in range(n):
        t = i / RATE
        hp = nz[i + 2] - 2 * nz[i + 1] + nz[i]    # second difference: a crude high-pass
        out[i] = hp * 0.35 * math.exp(-t * k) * min(1.0, i / 20.0)
    return out


# ---------------------------------------------------------------- arrangement

def at(bar, sixteenth):
    return bar * BAR + sixteenth * SIXTEENTH


def build():
    rng = random.Random(2024)
    mix = Mixer()
    cache = {}

    def note(kind, m, length16, **kw):
        key = (kind, m, length16, tuple(sorted(kw.items())))
        if key not in cache:
            table, env = {
                'lead': (LEAD, (0.008, 0.18, 0.62, 0.09)),
                'bass': (BASS, (0.004, 0.22, 0.45, 0.05)),
                'stab': (PLUCK, (0.003, 0.07, 0.0, 0.05)),
                'arp': (PLUCK, (0.002, 0.09, 0.0, 0.06)),
            }[kind]
            length = int(length16 * SIXTEENTH) - kw.pop('gap', 0)
            cache[key] = render_note(table, freq(m), length, *env, **kw)
        return cache[key]

    # lead, with a ping-pong echo at a dotted eighth
    lead = Mixer()
    for start, length, m in parse_melody():
        s = note('lead', m, length, gap=300, vibrato=0.004, detune=0.003)
        lead.add(at(0, start), s, 1.0, 0.0)
    dry = lead.left                         # centred, so both sides are equal
    scale = 1 / math.cos(math.pi / 4)
    dry = array.array('f', [v * scale for v in dry])
    mix.add(0, dry, 0.30, 0.05)
    d = 3 * SIXTEENTH
    for tap, (g, pan) in enumerate(((0.12, 0.7), (0.07, -0.7), (0.04, 0.7))):
        shift = d * (tap + 1)
        echo = dry[-shift:] + dry[:-shift]
        mix.add(0, echo, g, pan)

    # bass: eighth notes bouncing between root and octave
    pattern = [0, 0, 12, 0, 0, 0, 12, 7]
    for bar in range(BARS):
        for e in range(8):
            root = chord_at(bar, e // 4)[0] - 12 if chord_at(bar, e // 4)[0] >= 45 else chord_at(bar, e // 4)[0]
            m = root + pattern[e]
            mix.add(at(bar, e * 2), note('bass', m, 1.75), 0.42, -0.05)

    # chord stabs on the off-beats in the A sections, arpeggio in B and at the end
    for bar in range(BARS):
        section = 'A' if bar < 8 else 'B' if bar < 16 else 'A3'
        for half in (0, 1):
            root, iv = chord_at(bar, half)
            tones = [root + 12 + i for i in iv]
            if section in ('A', 'A3'):
                for off in (2, 6):
                    pos = half * 8 + off
                    for k, m in enumerate(tones):
                        mix.add(at(bar, pos), note('stab', m, 1.2, detune=0.004), 0.09, 0.35 - 0.2 * k)
            if section in ('B', 'A3'):
                seq = [tones[0] + 12, tones[1] + 12, tones[2] + 12, tones[1] + 24,
                       tones[2] + 12, tones[1] + 12, tones[0] + 12, tones[1] + 12]
                g = 0.10 if section == 'B' else 0.06
                for s16 in range(8):
                    mix.add(at(bar, half * 8 + s16), note('arp', seq[s16] - 12, 1.0), g, -0.55)

    # drums
    K, S = kick(), snare(rng)
    CH = [hat(rng, False) for _ in range(4)]
    OH = hat(rng, True)
    for bar in range(BARS):
        section = 'A' if bar < 8 else 'B' if bar < 16 else 'A3'
        fill = bar in (7, 15, 23)
        # the last bar runs straight into the first: no breath, the roll
        # climbs through the final beat and the hats keep going
        into_loop = bar == BARS - 1
        kicks = (0, 4, 8, 12) if section != 'B' else (0, 6, 8, 11)
        for k in kicks:
            if fill and k == 12 and not into_loop:
                continue
            mix.add(at(bar, k), K, 0.85)
        for sn in (4, 12):
            mix.add(at(bar, sn), S, 0.42, 0.05)
        if fill:
            # mid-tune the roll stops a beat early so the bar ends on a breath
            roll = ((12, 0.3), (13, 0.33), (14, 0.36), (15, 0.4)) if into_loop else ((12, 0.3), (13, 0.24), (14, 0.36))
            for k, g in roll:
                mix.add(at(bar, k), S, g, -0.1 + 0.1 * (k - 13))
        for s16 in range(16):
            if fill and s16 >= 12 and not into_loop:
                break
            if s16 % 4 == 2:
                g = 0.5 if (section == 'A3' and s16 == 14 and bar % 2) else 0.42
                mix.add(at(bar, s16), OH if g == 0.5 else CH[s16 % 4], g * 0.55, 0.45)
            elif s16 % 2 == 1 or section != 'B':
                mix.add(at(bar, s16), CH[(s16 + bar) % 4], 0.16 if s16 % 2 else 0.22, 0.45)
    return mix


def to_pcm(mix):
    peak = max(max(abs(v) for v in mix.left), max(abs(v) for v in mix.right))
    g = 0.89 / peak
    pcm = array.array('h', bytes(4 * LENGTH))
    for i in range(LENGTH):
        pcm[2 * i] = int(round(mix.left[i] * g * 32767))
        pcm[2 * i + 1] = int(round(mix.right[i] * g * 32767))
    if pcm.itemsize != 2:
        raise RuntimeError('16-bit samples expected')
    return pcm


def write_ogg(path, keep_wav=None):
    mix = build()
    pcm = to_pcm(mix)
    fd, wav_path = tempfile.mkstemp(suffix='.wav')
    os.close(fd)
    try:
        with wave.open(wav_path, 'wb') as w:
            w.setnchannels(2)
            w.setsampwidth(2)
            w.setframerate(RATE)
            import sys
            if sys.byteorder != 'little':
                pcm.byteswap()
            w.writeframes(pcm.tobytes())
        if keep_wav:
            import shutil
            shutil.copyfile(wav_path, keep_wav)
        # a fixed stream serial number keeps the file identical between runs
        subprocess.run(['oggenc', '-Q', '-q', '3', '--serial', '1', '-o', path, wav_path], check=True)
    finally:
        os.remove(wav_path)
    first = (pcm[0], pcm[1])
    last = (pcm[-2], pcm[-1])
    print('music: %s, %.1f s, %d bytes; first sample %s, last %s'
          % (os.path.basename(path), LENGTH / RATE, os.path.getsize(path), first, last))
