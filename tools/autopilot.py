#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Drives player 1 once round a track, as a player at the keys would, and
writes the drive as a replay file that `chainball --replay` shows in a
real window and `chainball-sim --replay` checks.

The driver holds Up and steers towards the computer drivers' waypoints with
Left and Right, deciding a few steps at a time from where chainball-sim says
the head is: the same keys, the same race, no shortcut through the game.

    tools/autopilot.py BUILD_DIR TRACK_NAME OUT.cbreplay
"""
import hashlib
import math
import os
import subprocess
import sys

CHUNK = 4            # steps decided at a time
REACH = 49           # a waypoint counts as reached this close, as for the drivers
MOST_STEPS = 4000    # 80 s: a lap that takes longer is a failure


def sim_lines(sim, track, keys):
    """chainball-sim's records of a one-ball, one-lap race alone on the keys."""
    # --keys reads regular files only.
    path = f'/tmp/autopilot-{os.getpid()}.keys'
    with open(path, 'w') as f:
        f.write(''.join(f'{n} {k}\n' for n, k in keys))
    out = subprocess.run([sim, '--lengths', '1,0,0', '--laps', '1', '--keys', path, track],
                         capture_output=True, text=True, check=True)
    os.unlink(path)
    return out.stdout.splitlines()


def run_sim(sim, track, keys):
    """Player 1's head after the keys: x, y, heading, the step the lap ended
    at (0 while it runs), and the waypoints."""
    lines = sim_lines(sim, track, keys)
    waypoints = [tuple(map(int, l.split()[2:4])) for l in lines if l.startswith('waypoint ')]
    racer = [l for l in lines if l.startswith('racer 0 ')][-1].split()
    ended = [int(l.split()[1]) for l in lines if l.startswith('end ')]
    x, y, h = float(racer[5]) + 250, float(racer[6]) + 250, float(racer[7])
    return x, y, h, ended[0] if ended else 0, waypoints


def drive(sim, track):
    keys = []          # (count, keys) runs
    steps = 0
    target = 0
    x, y, h, ended, waypoints = run_sim(sim, track, [])
    while not ended:
        if steps > MOST_STEPS:
            sys.exit(f'autopilot: no lap of {track} within {MOST_STEPS} steps')
        while math.hypot(waypoints[target][0] - x, waypoints[target][1] - y) <= REACH:
            target = (target + 1) % len(waypoints)
        wx, wy = waypoints[target]
        # Forward is (-sin h, -cos h); Left turns the heading up by 5 degrees.
        want = math.degrees(math.atan2(-(wx - x), -(wy - y)))
        diff = (want - h + 180) % 360 - 180
        turns = min(CHUNK, int(abs(diff) / 5 + 0.5))
        turn = 'LEFT' if diff > 0 else 'RIGHT'
        # Ease off in sharp turns, as a player would.
        throttle = 'UP' if abs(diff) < 60 else ''
        chunk = [(turns, f'{throttle} {turn}'.strip())] if turns else []
        if CHUNK - turns:
            chunk.append((CHUNK - turns, throttle))
        keys += [c for c in chunk if c[0] > 0]
        steps += CHUNK
        x, y, h, ended, _ = run_sim(sim, track, keys)
    return trimmed(keys, ended)


def trimmed(keys, steps):
    """The runs of keys cut to `steps` steps, equal neighbours joined."""
    out = []
    for n, k in keys:
        n = min(n, steps - sum(c for c, _ in out))
        if n <= 0:
            break
        if out and out[-1][1] == k:
            out[-1] = (out[-1][0] + n, k)
        else:
            out.append((n, k))
    return out


def main():
    build, name, out = sys.argv[1:4]
    sim = os.path.join(build, 'chainball-sim')
    track = os.path.join(build, 'filut', 'levelit', name + '.txt')
    keys = drive(sim, track)
    with open(track, 'rb') as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    with open(track) as f:
        text = ''.join(f.read().split())
    size = int(text[:4])
    slowing = text[4:4 + size * size].count('x')
    with open(out, 'w') as f:
        f.write('chainball-replay 1\n')
        f.write(f'# {name}: one lap driven by tools/autopilot.py\n')
        f.write(f'track {name} {digest}\n')
        f.write('players 1\nlengths 1 0 0\nlaps 1\ncarried 0 0 0 0.899999976\n')
        f.write(f'slowing {slowing}' + ''.join(f' {1 + i % 5}' for i in range(slowing)) + '\n')
        f.write('pictures 1 0\n')
        f.write(f'keys {len(keys)}\n')
        for n, k in keys:
            f.write(f'{n} {k}'.rstrip() + '\n')
        f.write(f'result winner 1 steps {sum(n for n, _ in keys)} laps 1 0 0\n')
    print(f'{name}: {sum(n for n, _ in keys)} steps')


if __name__ == '__main__':
    main()
