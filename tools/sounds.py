# SPDX-License-Identifier: GPL-3.0-or-later
"""The race's sound effects, synthesised here: 16-bit mono WAV at 22050 Hz,
which SDL_mixer loads without any codec.

Tones are sums of sine partials kept below 9 kHz, so nothing aliases; every
sound rises from silence and falls back to it (the first and last 2 ms are
faded), has its offset removed, and is scaled so that its loudest 100 ms
sit near one common loudness with the peak between -6 and -3 dBFS. The
surface rumble is a loop: its noise is filtered round the loop, so the end
runs on into the start, and the loop starts at a zero crossing.
"""
import array
import math
import os
import random
import sys
import wave

RATE = 22050
TOP_PARTIAL = 9000.0           # Hz: no partial above this
EDGE = 0.002                   # seconds faded in and out
LOUDNESS = -11.0               # dBFS, RMS of the loudest 100 ms
PEAK_RANGE = (-6.0, -3.0)      # dBFS
WINDOW = 0.1                   # seconds for the loudness

NOTES = {'C': 0, 'D': 2, 'E': 4, 'F': 5, 'G': 7, 'A': 9, 'B': 11}


def note(name):
    """'A5' -> 880.0 Hz; '#' after the letter raises a semitone."""
    n = NOTES[name[0]] + (1 if name[1] == '#' else 0)
    octave = int(name[2:] if name[1] == '#' else name[1:])
    return 440.0 * 2 ** ((12 * (octave + 1) + n - 69) / 12.0)


def silence(seconds):
    return [0.0] * int(round(seconds * RATE))


def tone(freq, seconds, partials=((1, 1.0),), attack=0.004, decay=0.1, glide=0.0, vibrato=0.0):
    """A note: harmonic partials (number, amplitude) of `freq`, an attack
    of `attack` seconds, then an exponential fall with time constant
    `decay`. `glide` bends the pitch from freq * (1 + glide) to freq over
    the first 30 ms; `vibrato` is a depth (fraction of the pitch)."""
    n = int(round(seconds * RATE))
    out = [0.0] * n
    parts = [(k, a) for k, a in partials if k * freq * (1 + max(0.0, glide)) * (1 + vibrato) < TOP_PARTIAL]
    phase = 0.0
    for i in range(n):
        t = i / RATE
        f = freq * (1 + glide * math.exp(-t / 0.03)) * (1 + vibrato * math.sin(2 * math.pi * 6.0 * t))
        phase += 2 * math.pi * f / RATE
        env = min(1.0, t / attack) * math.exp(-t / decay)
        out[i] = env * sum(a * math.sin(k * phase) for k, a in parts)
    return fade_out(out, 0.015)


def fade_out(x, seconds):
    """Brings the last `seconds` smoothly down to silence, so a note cut
    short never stops on a step."""
    m = min(len(x) // 4, int(seconds * RATE))
    for i in range(m):
        x[len(x) - 1 - i] *= 0.5 - 0.5 * math.cos(math.pi * i / m)
    return x


def noise(rng, n):
    return [rng.uniform(-1.0, 1.0) for _ in range(n)]


def low_pass(x, cutoff, passes=2, circular=False):
    """One-pole low-pass, applied `passes` times. Circular: the filter runs
    over the buffer twice and keeps the second run, so a loop's end flows
    into its start."""
    k = 1.0 - math.exp(-2 * math.pi * cutoff / RATE)
    for _ in range(passes):
        y = x[-1] if circular else 0.0
        if circular:
            for v in x:
                y += k * (v - y)
        out = []
        for v in x:
            y += k * (v - y)
            out.append(y)
        x = out
    return x


def high_pass(x, cutoff, circular=False):
    low = low_pass(x, cutoff, passes=1, circular=circular)
    return [a - b for a, b in zip(x, low)]


def add(into, sound, at, gain=1.0):
    """Mixes `sound` into `into` from `at` seconds on, growing it as needed."""
    start = int(round(at * RATE))
    if len(into) < start + len(sound):
        into.extend([0.0] * (start + len(sound) - len(into)))
    for i, v in enumerate(sound):
        into[start + i] += gain * v
    return into


# ---------------------------------------------------------------- the effects

BELL = ((1, 1.0), (2, 0.35), (3, 0.12), (4, 0.06))
SOFT = ((1, 1.0), (2, 0.18), (3, 0.08))
BRASS = ((1, 1.0), (2, 0.55), (3, 0.38), (4, 0.22), (5, 0.14), (6, 0.08))
ODD = ((1, 1.0), (3, 0.3), (5, 0.14), (7, 0.07))


def countdown_beep():
    return tone(note('A5'), 0.16, SOFT, attack=0.005, decay=0.07)


def go_beep():
    # an octave above the count, held longer, with a little upward swoop
    return tone(note('A6'), 0.28, SOFT, attack=0.006, decay=0.12, glide=-0.06)


def bump(rng):
    """A dull knock: a falling low thump with a short burst of dark noise."""
    n = int(0.16 * RATE)
    body = [0.0] * n
    phase = 0.0
    for i in range(n):
        t = i / RATE
        phase += 2 * math.pi * (95 + 120 * math.exp(-t / 0.018)) / RATE
        body[i] = math.sin(phase) * min(1.0, t / 0.0015) * math.exp(-t / 0.045)
    knock = low_pass(noise(rng, n), 1800.0)
    knock = [v * 2.0 * math.exp(-i / RATE / 0.008) for i, v in enumerate(knock)]
    return fade_out([a + b for a, b in zip(body, knock)], 0.02)


def surface_loop(rng):
    """One second of low rumble with grit crackling through it, seamless."""
    n = RATE
    rumble = low_pass(noise(rng, n), 220.0, passes=3, circular=True)
    grit = [0.0] * n
    for _ in range(70):
        at = rng.randrange(n)
        size = rng.uniform(0.3, 1.0)
        width = rng.uniform(0.0006, 0.002)
        for j in range(int(width * 5 * RATE)):
            grit[(at + j) % n] += size * rng.uniform(-1, 1) * math.exp(-j / (width * RATE))
    grit = low_pass(high_pass(grit, 600.0, circular=True), 4500.0, circular=True)
    peak_r = max(abs(v) for v in rumble)
    peak_g = max(abs(v) for v in grit)
    mixed = [r / peak_r + 0.45 * g / peak_g for r, g in zip(rumble, grit)]
    # gentle saturation keeps the loudness even without sharp peaks
    mixed = [math.tanh(1.6 * v) for v in mixed]
    mixed = high_pass(mixed, 30.0, circular=True)
    # start where the wave crosses zero going up, so the loop may start cold
    start = min((i for i in range(n) if mixed[i - 1] < 0 <= mixed[i]),
                key=lambda i: abs(mixed[i]) + abs(mixed[i - 1]))
    return mixed[start:] + mixed[:start]


def checkpoint_ding():
    out = add([], tone(note('E6'), 0.1, BELL, decay=0.05), 0.0)
    return add(out, tone(note('B6'), 0.15, BELL, decay=0.06), 0.075)


def arpeggio(names, step, length, partials, decay, gain=1.0, into=None, at=0.0):
    out = [] if into is None else into
    for k, name in enumerate(names):
        add(out, tone(note(name), length, partials, decay=decay), at + k * step, gain)
    return out


def lap_chime():
    return arpeggio(['C6', 'E6', 'G6'], 0.075, 0.35, BELL, 0.09)


def final_lap_call():
    # two quick urgent pairs, then a high note that rings: the last lap
    out = arpeggio(['G5', 'C6', 'G5', 'C6'], 0.085, 0.12, ODD, 0.06)
    return add(out, tone(note('G6'), 0.38, ODD, decay=0.13, vibrato=0.004), 0.34)


def finish_fanfare():
    out = arpeggio(['C5', 'E5', 'G5'], 0.11, 0.2, BRASS, 0.12, gain=0.8)
    for name in ('C5', 'E5', 'G5', 'C6'):
        add(out, tone(note(name), 0.95, BRASS, attack=0.012, decay=0.38, vibrato=0.003), 0.33, 0.45)
    return out


def record_sparkle():
    out = arpeggio(['C6', 'E6', 'G6', 'C7', 'E7', 'G7'], 0.055, 0.3, BELL, 0.1, gain=0.7)
    for k, name in enumerate(('C6', 'G6', 'C7', 'E7')):
        add(out, tone(note(name), 1.05 - 0.05 * k, BELL, attack=0.01, decay=0.35, vibrato=0.005), 0.33, 0.3)
    return out


def menu_move():
    return tone(note('E6'), 0.05, SOFT, attack=0.002, decay=0.014)


def menu_choose():
    out = add([], tone(note('A5'), 0.07, SOFT, attack=0.003, decay=0.03), 0.0)
    return add(out, tone(note('E6'), 0.11, SOFT, attack=0.003, decay=0.04), 0.05)


def effects():
    """file name -> (samples, is it a loop)"""
    rng = random.Random(4711)
    return {
        'countdown.wav': (countdown_beep(), False),
        'go.wav': (go_beep(), False),
        'bump.wav': (bump(rng), False),
        'surface_loop.wav': (surface_loop(rng), True),
        'checkpoint.wav': (checkpoint_ding(), False),
        'lap.wav': (lap_chime(), False),
        'final_lap.wav': (final_lap_call(), False),
        'finish.wav': (finish_fanfare(), False),
        'record.wav': (record_sparkle(), False),
        'menu_move.wav': (menu_move(), False),
        'menu_choose.wav': (menu_choose(), False),
    }


# ---------------------------------------------------------------- finishing

def db(v):
    return 20 * math.log10(v) if v > 0 else -math.inf


def loudest_rms(x):
    """RMS of the loudest WINDOW seconds (the whole sound if shorter)."""
    w = min(len(x), int(WINDOW * RATE))
    sq = [v * v for v in x]
    run = sum(sq[:w])
    best = run
    for i in range(w, len(x)):
        run += sq[i] - sq[i - w]
        best = max(best, run)
    return math.sqrt(max(0.0, best) / w)


def finish(x, loop):
    """Offset removed, ends faded (not a loop's), scaled to the common
    loudness within the peak range; returns floats in -1..1."""
    mean = sum(x) / len(x)
    x = [v - mean for v in x]
    if not loop:
        edge = int(EDGE * RATE)
        for i in range(edge):
            f = 0.5 - 0.5 * math.cos(math.pi * i / edge)
            x[i] *= f
            x[-1 - i] *= f
        mean = sum(x) / len(x)
        # what is left of the offset goes out under a smooth bump that is
        # zero at both ends, so the ends stay silent
        bump = [math.sin(math.pi * i / (len(x) - 1)) ** 2 for i in range(len(x))]
        scale = mean * len(x) / sum(bump)
        x = [v - scale * b for v, b in zip(x, bump)]
    gain = 10 ** (LOUDNESS / 20) / loudest_rms(x)
    peak = max(abs(v) for v in x) * gain
    low, high = (10 ** (p / 20) for p in PEAK_RANGE)
    if peak > high:
        gain *= high / peak
    elif peak < low:
        gain *= low / peak
    return [v * gain for v in x]


def to_pcm(x):
    pcm = array.array('h', (int(round(v * 32767)) for v in x))
    if sys.byteorder != 'little':
        pcm.byteswap()
    return pcm


def describe(name, pcm):
    vals = [v / 32768.0 for v in pcm]
    peak = max(abs(v) for v in vals)
    rms = math.sqrt(sum(v * v for v in vals) / len(vals))
    return ('sound: %-17s %.3f s  peak %5.1f dBFS  RMS %5.1f dBFS  loudest 100 ms %5.1f dBFS  %d bytes'
            % (name, len(vals) / RATE, db(peak), db(rms), db(loudest_rms(vals)), 44 + 2 * len(vals)))


def write_sounds(folder):
    os.makedirs(folder, exist_ok=True)
    for name, (samples, loop) in sorted(effects().items()):
        pcm = to_pcm(finish(samples, loop))
        with wave.open(os.path.join(folder, name), 'wb') as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(RATE)
            w.writeframes(pcm.tobytes())
        if sys.byteorder != 'little':
            pcm.byteswap()
        print(describe(name, pcm))
