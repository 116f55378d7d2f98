#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Hosting that strangers cannot break, and links that lose without ending
a race, with chainball-sim processes on 127.0.0.1: a stranger's replayed
connect packet, a connection that says nothing and one whose first message
is bad, after which a real guest still races, and a second guest told the
host is busy within 1 s; a join to a closed port given up within 5 s; a
guest that keeps sending its old inputs ended by the watchdog within 6 s;
a guest paused 8 s told at once that the host left; a guest ended by
SIGTERM telling the host; a race at 50 +- 10 ms and 25 % loss through
tests/net_relay.py. With --soak N: N such races, all finished with the
same replays, and their figures.
Usage: net_hosting.py BUILD_DIR [--soak N]"""
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time

import net_peers
from net_peers import Run, check, free_port, stats, relay_figures

SHORT_LAPS = 12   # about 150 steps, 3 s


def timed(proc, timeout):
    """Waits for `proc`: (stdout, stderr, seconds it took from now)."""
    t0 = time.monotonic()
    try:
        out, err = proc.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        out, err = proc.communicate()
    return out, err, time.monotonic() - t0


def same_replays(run, name):
    hp, gp = (os.path.join(run.tmp, name + s) for s in ('-host.cbreplay', '-guest.cbreplay'))
    return os.path.exists(hp) and os.path.exists(gp) and open(hp, 'rb').read() == open(gp, 'rb').read()


def captured_connect(run):
    """The first datagram a guest sends: its connect request, to be replayed."""
    trap = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    trap.bind(('127.0.0.1', 0))
    trap.settimeout(3)
    guest = run.guest(trap.getsockname()[1], 'trap')
    try:
        data = trap.recv(2048)
    except socket.timeout:
        data = b''
    guest.kill()
    guest.communicate()
    trap.close()
    return data


def strangers_then_a_guest(run):
    port = free_port()
    host = run.host(port, 'held', laps=SHORT_LAPS)
    time.sleep(0.3)
    packet = captured_connect(run)
    check(len(packet) > 0, 'a guest\'s connect request was captured (%d bytes)' % len(packet))
    stranger = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    for _ in range(3):
        stranger.sendto(packet, ('127.0.0.1', port))
    silent = run.guest(port, 'silent', extra=('--net-misbehave', 'silent'))
    garbage = run.guest(port, 'garbage', extra=('--net-misbehave', 'garbage'))
    _, gerr, _ = timed(garbage, 10)
    check(garbage.returncode == 4 and 'let this connection go' in gerr,
          'a bad first message: the host drops the connection (%d) %s' % (garbage.returncode, gerr.strip()))
    _, serr, _ = timed(silent, 15)
    ms = [int(w) for w in serr.split() if w.isdigit()]
    check(silent.returncode == 4 and ms and 4500 <= ms[0] <= 6500,
          'a silent connection is dropped after about 5 s: %s' % serr.strip())
    guest = run.guest(port, 'held')
    time.sleep(1.5)
    busy = run.guest(port, 'busy')
    _, berr, took = timed(busy, 10)
    check(busy.returncode == 4 and 'The host is busy' in berr and took <= 1.0,
          'a second guest hears "busy" in %.2f s (%d) %s' % (took, busy.returncode, berr.strip()[-120:]))
    _, gerr, _ = timed(guest, 60)
    hout, herr, _ = timed(host, 30)
    stranger.close()
    check(host.returncode == 0 and guest.returncode == 0 and same_replays(run, 'held'),
          'after the strangers a real guest races to the end, same replays (host %d, guest %d) %s'
          % (host.returncode, guest.returncode, gerr.strip()[-200:]))
    check('bad message' in herr and 'no hello within 5 s' in herr,
          'the host says what it dropped: %s' % herr.strip().replace('\n', ' | ')[:400])


def closed_port(run):
    guest = run.guest(free_port(), 'closed')
    _, err, took = timed(guest, 20)
    check(guest.returncode == 4 and 'Could not reach the host' in err and took <= 5.0,
          'a join to a closed port gives up in %.1f s (%d): %s' % (took, guest.returncode, err.strip()[-80:]))


def stale_guest(run):
    port = free_port()
    host = run.host(port, 'stale')
    time.sleep(0.3)
    guest = run.guest(port, 'stale', extra=('--net-misbehave', 'stale'))
    # The guest stops at step 100, 2 s into the race.
    _, herr, took = timed(host, 30)
    timed(guest, 10)
    check(host.returncode == 5 and 'The race stopped advancing' in herr and took <= 2.5 + 6.0,
          'old inputs only: the host ends %.1f s after the guest came, "The race stopped advancing" (%d)'
          % (took, host.returncode))


def paused_guest(run):
    port = free_port()
    host = run.host(port, 'paused')
    time.sleep(0.3)
    guest = run.guest(port, 'paused')
    time.sleep(2.5)
    guest.send_signal(signal.SIGSTOP)
    time.sleep(8)
    guest.send_signal(signal.SIGCONT)
    _, gerr, took = timed(guest, 15)
    _, herr, _ = timed(host, 10)
    check(host.returncode == 5 and 'Opponent left' in herr, 'paused 8 s: the host ends on the silence')
    check(guest.returncode == 5 and 'Opponent left' in gerr and took <= 1.0,
          'paused 8 s: the guest hears the host left %.2f s after it goes on (%d)' % (took, guest.returncode))


def terminated_guest(run):
    port = free_port()
    host = run.host(port, 'term')
    time.sleep(0.3)
    guest = run.guest(port, 'term')
    time.sleep(2.5)
    guest.send_signal(signal.SIGTERM)
    t0 = time.monotonic()
    _, gerr, _ = timed(guest, 10)
    _, herr, _ = timed(host, 10)
    took = time.monotonic() - t0
    check(guest.returncode == 5 and host.returncode == 5 and 'Opponent left' in herr and took <= 1.5,
          'SIGTERM: the guest leaves (%d) and the host knows in %.1f s (%d)' % (guest.returncode, took,
                                                                              host.returncode))


def lossy_race(run, seed, figures):
    name = 'loss%d' % seed
    port = free_port()
    host = run.host(port, name)
    relay, relay_port = run.relay(port, 50, loss=0.25, seed=seed)
    guest = run.guest(relay_port, name)
    gout, gerr, took = timed(guest, 180)
    hout, herr, _ = timed(host, 30)
    relay.send_signal(signal.SIGTERM)
    rtext = relay.communicate(timeout=10)[0]
    ok = host.returncode == 0 and guest.returncode == 0 and same_replays(run, name)
    check(ok, '25 %% loss, seed %d: both finish with the same replays (host %d, guest %d) %s %s'
          % (seed, host.returncode, guest.returncode, herr.strip()[-150:], gerr.strip()[-150:]))
    if figures:
        f = relay_figures(rtext)
        secs = f.get('active', 0) or 1
        s = [stats(hout), stats(gout)]
        warned = sum(e.count('Connection problem') for e in (herr, gerr))
        print('  seed %d: %.1f s; host %s, guest %s (frames, stalled, clock waits, rollbacks, re-run, deepest); '
              '%.2f / %.2f KB/s to host / guest; %d warning lines'
              % (seed, took, s[0], s[1], f.get('to_host', (0, 0))[1] / secs / 1000.0,
                 f.get('to_guest', (0, 0))[1] / secs / 1000.0, warned), flush=True)


def main():
    build = sys.argv[1]
    sim = os.path.join(build, 'chainball-sim')
    with tempfile.TemporaryDirectory() as tmp:
        run = Run(sim, tmp)
        if '--soak' in sys.argv:
            for seed in range(2, int(sys.argv[sys.argv.index('--soak') + 1]) + 2):
                lossy_race(run, seed, True)
        else:
            strangers_then_a_guest(run)
            closed_port(run)
            stale_guest(run)
            paused_guest(run)
            terminated_guest(run)
            lossy_race(run, 2, False)
    if net_peers.failures:
        print('%d failed' % len(net_peers.failures))
        return 1
    print('all passed')
    return 0


if __name__ == '__main__':
    sys.exit(main())
