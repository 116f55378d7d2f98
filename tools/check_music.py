#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks that the tune loops without a dip or a click.

    /usr/bin/python3 tools/check_music.py [filut/musa.ogg]

Decodes the file with oggdec and prints the loudness (RMS, dBFS) of its
first and last half second and the jump across the loop seam, from the last
sample back to the first. Exits 1 when the ends differ by more than 3 dB or
the seam jumps more than three times as far as the music around it usually
does from one sample to the next (the median step within 50 ms of it).
"""
import array
import math
import os
import subprocess
import sys
import tempfile
import wave

MAX_LOUDNESS_GAP = 3.0     # dB between the first and last half second
MAX_SEAM_STEPS = 3.0       # seam jump, in ordinary steps
WINDOW = 0.5               # seconds
NEAR = 0.05                # seconds each side of the seam for ordinary steps


def decode(path):
    fd, wav_path = tempfile.mkstemp(suffix='.wav')
    os.close(fd)
    try:
        subprocess.run(['oggdec', '-Q', '-o', wav_path, path], check=True)
        with wave.open(wav_path, 'rb') as w:
            if w.getsampwidth() != 2:
                raise SystemExit('check_music: 16-bit samples expected')
            rate, channels = w.getframerate(), w.getnchannels()
            pcm = array.array('h', w.readframes(w.getnframes()))
    finally:
        os.remove(wav_path)
    if sys.byteorder != 'little':
        pcm.byteswap()
    return rate, [pcm[c::channels] for c in range(channels)]


def rms_db(chans, start, end):
    total = sum(sum(v * v for v in ch[start:end]) for ch in chans)
    n = len(chans) * (end - start)
    r = math.sqrt(total / n) / 32768.0 if n else 0.0
    return 20 * math.log10(r) if r > 0 else -math.inf


def main(argv):
    path = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'filut', 'musa.ogg')
    rate, chans = decode(path)
    n = len(chans[0])
    half = int(WINDOW * rate)
    if n < 4 * half:
        print('check_music: %s is only %d samples long' % (path, n))
        return 1
    first = rms_db(chans, 0, half)
    last = rms_db(chans, n - half, n)
    failed = False
    print('loudness: first %.1f s %.1f dBFS, last %.1f s %.1f dBFS, gap %.1f dB (at most %.1f)'
          % (WINDOW, first, WINDOW, last, abs(first - last), MAX_LOUDNESS_GAP))
    if not abs(first - last) <= MAX_LOUDNESS_GAP:
        failed = True
    for c, ch in enumerate(chans):
        k = int(NEAR * rate)
        near = list(ch[n - k:]) + list(ch[:k])
        steps = sorted(abs(near[i + 1] - near[i]) for i in range(len(near) - 1) if i != k - 1)
        usual = steps[len(steps) // 2]
        jump = abs(ch[0] - ch[-1])
        print('seam, channel %d: %d -> %d, jump %d = %.1f ordinary steps (median step near it %d; at most %.1f)'
              % (c, ch[-1], ch[0], jump, jump / max(1, usual), usual, MAX_SEAM_STEPS))
        if jump > MAX_SEAM_STEPS * max(1, usual):
            failed = True
    print('music loop: %s' % ('FAILED' if failed else 'ok'))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
