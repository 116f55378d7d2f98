#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs the computer drivers round every shipped track in chainball-sim,
one-player and two-player, every racer with a 10-ball chain, and fails when
one of them stalls: its head moving less than half a pixel a step for more
than 100 steps (2 s) while none of its balls lies in a slowing cell, or
finishing no lap in the time. Player 1 (and player 2 in a two-player race)
stays parked on the start grid, so the drivers also pass through it.

    /usr/bin/python3 tools/check_drivers.py BUILD_DIR [TRACK.txt ...]

Without tracks it reads the catalogue filut/levelit/all_levels.txt. Prints
one line per track and mode: laps, the longest stall, steps slowed.
"""
import os
import subprocess
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_levels   # noqa: E402

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
STALL_STEPS = 100       # 2 s at 50 steps a second
STILL_PX = 0.5          # "near zero": less than this a step
LAPS = 2
SECONDS_PER_LAP = 60    # the check's lap limit is 45 s


def slowing_cells(path):
    with open(path) as f:
        size, tiles, _, _ = check_levels.parse(f.read())
    return size, {(x, y) for x in range(size) for y in range(size) if tiles[x][y] == 1}


def in_slowing(px, py, size, slow):
    # As slow_racers: truncated pixels, a ball on a cell border is in none.
    px, py = int(px), int(py)
    if px <= 0 or py <= 0 or px % 50 == 0 or py % 50 == 0:
        return False
    return (px // 50, py // 50) in slow


def drive(sim, path, two_player):
    """Returns {racer: (laps, longest stall in steps, steps slowed)} for the
    computer drivers."""
    size, slow = slowing_cells(path)
    half_w, half_h = (200 if two_player else 250), 250
    drivers = (2,) if two_player else (1, 2)
    args = [sim, '--lengths', '10,10,10', '--laps', str(LAPS),
            '--steps', str(LAPS * SECONDS_PER_LAP * 50), path]
    if two_player:
        args.insert(1, '--two-player')
    out = subprocess.run(args, capture_output=True, text=True, check=True).stdout
    last, still, worst, slowed, laps = {}, {}, {}, {}, {}
    for line in out.splitlines():
        if not line.startswith('racer '):
            continue
        f = line.split()
        r = int(f[1])
        if r not in drivers:
            continue
        laps[r] = int(f[3])
        balls = [(float(f[5 + 3 * b]) + half_w, float(f[6 + 3 * b]) + half_h) for b in range((len(f) - 5) // 3)]
        head = balls[0]
        in_mud = any(in_slowing(x, y, size, slow) for x, y in balls)
        slowed[r] = slowed.get(r, 0) + in_mud
        if r in last:
            moved = ((head[0] - last[r][0]) ** 2 + (head[1] - last[r][1]) ** 2) ** 0.5
            still[r] = still.get(r, 0) + 1 if moved < STILL_PX and not in_mud else 0
            worst[r] = max(worst.get(r, 0), still[r])
        last[r] = head
    return {r: (laps.get(r, 0), worst.get(r, 0), slowed.get(r, 0)) for r in drivers}


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    sim = os.path.join(sys.argv[1], 'chainball-sim')
    tracks = sys.argv[2:]
    if not tracks:
        folder = os.path.join(ROOT, 'filut', 'levelit')
        with open(os.path.join(folder, 'all_levels.txt')) as f:
            tracks = [os.path.join(folder, n + '.txt') for n in check_levels.read_catalogue(f.read())]
    failed = 0
    for path in tracks:
        for two in (False, True):
            for r, (laps, worst, slowed) in sorted(drive(sim, path, two).items()):
                bad = laps < 1 or worst > STALL_STEPS
                failed += bad
                print('%-14s %s  player %d: %d laps, longest stall %3d steps, %4d steps slowed%s'
                      % (os.path.basename(path)[:-4], 'two' if two else 'one', r + 1, laps, worst, slowed,
                         '  STALLS' if bad else ''))
    if failed:
        print('%d driver runs stall or finish no lap' % failed)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
