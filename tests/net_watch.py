#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Spectators of an online race, with chainball-sim processes on 127.0.0.1:
one race watched by a spectator from step 0 and one joining mid-race (both
write the players' replay byte for byte), one killed with SIGKILL (the
players finish, same replays), one that sends inputs (dropped, the race
unchanged), and a fifth refused while four watch; a host that leaves
mid-race tells its spectator at once, whose replay is the host's.
Usage: net_watch.py BUILD_DIR"""
import os
import signal
import subprocess
import sys
import tempfile
import time

import net_peers
from net_peers import Run, check, free_port, TRACK

LAPS = 24   # about 320 steps, 6.5 s


def watcher(run, port, name, extra=()):
    return subprocess.Popen([run.sim, '--net-watch', '127.0.0.1:%d' % port, '--track', TRACK,
                             '--write-replay', os.path.join(run.tmp, name + '.cbreplay'), *extra],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def replay_bytes(run, name):
    path = os.path.join(run.tmp, name + '.cbreplay')
    return open(path, 'rb').read() if os.path.exists(path) else None


def finish(proc, timeout=40):
    try:
        out, err = proc.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        out, err = proc.communicate()
    return out + err


def watched_race(run):
    port = free_port()
    host = run.host(port, 'watched', laps=LAPS)
    time.sleep(0.3)
    early = watcher(run, port, 'early')
    killed = watcher(run, port, 'killed')
    talker = watcher(run, port, 'talker', ('--net-misbehave', 'inputs'))
    time.sleep(0.3)
    guest = run.guest(port, 'watched')
    time.sleep(1.0)
    killed.send_signal(signal.SIGKILL)
    time.sleep(0.5)
    late = watcher(run, port, 'late')
    extra = watcher(run, port, 'extra')
    time.sleep(0.5)
    fifth = watcher(run, port, 'fifth')
    fifth_text = finish(fifth, 10)
    check(fifth.returncode == 4 and 'as many spectators as it takes' in fifth_text,
          'a fifth spectator is refused with one line (%d): %s' % (fifth.returncode, fifth_text.strip()[-120:]))
    texts = {name: finish(p) for name, p in (('guest', guest), ('host', host), ('early', early),
                                             ('late', late), ('extra', extra), ('talker', talker))}
    killed.communicate()
    check(host.returncode == 0 and guest.returncode == 0,
          'a killed spectator changes nothing: the players finish (host %d, guest %d) %s'
          % (host.returncode, guest.returncode, texts['host'].strip()[-200:]))
    theirs = replay_bytes(run, 'watched-host')
    check(theirs is not None and theirs == replay_bytes(run, 'watched-guest'),
          'the players\' replays are the same bytes')
    for name, when in (('early', 'from step 0'), ('late', 'from mid-race'), ('extra', 'from mid-race')):
        proc = {'early': early, 'late': late, 'extra': extra}[name]
        check(proc.returncode == 0 and replay_bytes(run, name) == theirs,
              'a spectator watching %s writes the players\' replay (%d) %s'
              % (when, proc.returncode, texts[name].strip()[-120:]))
    check(talker.returncode == 5 and 'closed the connection' in texts['talker'],
          'a spectator sending inputs is dropped (%d) %s' % (talker.returncode, texts['talker'].strip()[-120:]))
    status, line = run.confirm(os.path.join(run.tmp, 'watched-host.cbreplay'))
    check(status == 0 and 'as recorded' in line, 'the watched race replays as recorded: %s' % line)


def host_leaves(run):
    port = free_port()
    host = run.host(port, 'left', laps=LAPS)
    time.sleep(0.3)
    spectator = watcher(run, port, 'left-spectator')
    guest = run.guest(port, 'left')
    time.sleep(2.5)
    host.send_signal(signal.SIGTERM)
    t0 = time.monotonic()
    text = finish(spectator, 10)
    took = time.monotonic() - t0
    finish(host, 10)
    finish(guest, 10)
    check(spectator.returncode == 5 and 'ended before the finish' in text and took <= 1.5,
          'the host leaves: its spectator knows in %.2f s (%d) %s' % (took, spectator.returncode, text.strip()[-100:]))
    mine = replay_bytes(run, 'left-spectator')
    check(mine is not None and mine == replay_bytes(run, 'left-host') and b'result left at step' in mine,
          'the spectator of a race left mid-way writes the host\'s replay')


def main():
    build = sys.argv[1]
    with tempfile.TemporaryDirectory() as tmp:
        run = Run(os.path.join(build, 'chainball-sim'), tmp)
        watched_race(run)
        host_leaves(run)
    if net_peers.failures:
        print('%d failed' % len(net_peers.failures))
        return 1
    print('all passed')
    return 0


if __name__ == '__main__':
    sys.exit(main())
