#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Online races between two chainball-sim processes on 127.0.0.1, the guest
through tests/net_relay.py's bad link: a whole race at 100 ms and 150 ms
round trips with 5 % loss (both exit 0, byte-identical replays that
chainball-sim --replay confirms; with --figures-only, longer races for the
figures of BENCHMARKS.md), the guest killed with SIGKILL at about step 250
(the host ends within 6 s with its replay), a race made to differ (caught at
the next checksum), and a version and a track mismatch (refused on both
sides, the host hosting on).
Usage: net_peers.py BUILD_DIR [--figures-only]"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TRACK = os.path.join(HERE, 'data', 'replays', 'Straight.txt')
# About 600 steps with the script below (12 s a race); --figures-only races
# 120 laps, about 1500 steps, for BENCHMARKS.md.
LAPS = 120 if '--figures-only' in sys.argv else 48
failures = []


def check(cond, what):
    print(('ok   ' if cond else 'FAIL ') + what, flush=True)
    if not cond:
        failures.append(what)


def free_port():
    import socket
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(('127.0.0.1', 0))
    port = s.getsockname()[1]
    s.close()
    return port


class Run:
    def __init__(self, sim, tmp):
        self.sim, self.tmp = sim, tmp
        self.keys = os.path.join(tmp, 'loop.keys')
        with open(self.keys, 'w') as f:
            f.write('# back and forth over the finish line\n' + '24\n60 DOWN\n1\n44 UP\n' * 200)

    def relay(self, host_port, delay, loss=0.05, seed=1):
        r = subprocess.Popen([sys.executable, os.path.join(HERE, 'net_relay.py'), '--host-port', str(host_port),
                              '--delay', str(delay), '--jitter', '10', '--loss', str(loss), '--seed', str(seed)],
                             stdout=subprocess.PIPE, text=True)
        line = r.stdout.readline()
        return r, int(line.split()[1])

    def host(self, port, name, extra=(), laps=LAPS):
        return subprocess.Popen([self.sim, '--net-host', str(port), '--bind', '127.0.0.1', '--lengths', '3,3,0',
                                 '--laps', str(laps), '--keys', self.keys, '--write-replay',
                                 os.path.join(self.tmp, name + '-host.cbreplay'), *extra, TRACK],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

    def guest(self, port, name, extra=(), track=TRACK):
        return subprocess.Popen([self.sim, '--net-join', '127.0.0.1:%d' % port, '--track', track,
                                 '--keys', self.keys, '--write-replay',
                                 os.path.join(self.tmp, name + '-guest.cbreplay'), *extra],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

    def confirm(self, path, track=TRACK):
        r = subprocess.run([self.sim, '--replay', path, '--track', track], stdout=subprocess.DEVNULL,
                           stderr=subprocess.PIPE, text=True)
        return r.returncode, r.stderr.strip()


def stats(out):
    m = re.search(r'(\d+) frames, (\d+) stalled, (\d+) clock waits, (\d+) rollbacks, (\d+) steps re-run, '
                  r'at most (\d+) at once', out)
    return [int(x) for x in m.groups()] if m else None


def relay_figures(text):
    f = {}
    for line in text.splitlines():
        w = line.split()
        if w and w[0] in ('to_host', 'to_guest'):
            f[w[0]] = (int(w[1]), int(w[3]))
        elif w and w[0] in ('seconds', 'active'):
            f[w[0]] = float(w[1])
    return f


def whole_race(run, delay, stall_limit):
    name = 'relay%d' % delay
    port = free_port()
    host = run.host(port, name)
    relay, relay_port = run.relay(port, delay)
    guest = run.guest(relay_port, name)
    gout, gerr = guest.communicate(timeout=180)
    hout, herr = host.communicate(timeout=30)
    relay.send_signal(signal.SIGTERM)
    rtext = relay.communicate(timeout=10)[0]
    print('relay %d +- 10 ms each way, 5 %% loss' % delay)
    print(' ', hout.strip(), '\n ', gout.strip())
    check(host.returncode == 0 and guest.returncode == 0,
          '%s: both exit 0 (host %d, guest %d) %s %s' % (name, host.returncode, guest.returncode,
                                                       herr.strip()[-200:], gerr.strip()[-200:]))
    hp, gp = (os.path.join(run.tmp, name + s) for s in ('-host.cbreplay', '-guest.cbreplay'))
    same = os.path.exists(hp) and os.path.exists(gp) and open(hp, 'rb').read() == open(gp, 'rb').read()
    check(same, '%s: the two replays are the same bytes' % name)
    status, line = run.confirm(hp)
    check(status == 0 and 'as recorded (winner' in line, '%s: chainball-sim --replay: %s' % (name, line))
    f = relay_figures(rtext)
    secs = f.get('active', 0) or 1
    for side, out in (('host', hout), ('guest', gout)):
        s = stats(out)
        check(s is not None, '%s: %s printed its figures' % (name, side))
        if s is None:
            continue
        frames, stalled, waits, rollbacks, rerun, most = s
        print('  %s: %d frames, %d stalled (%.2f %%), %d clock waits, %d rollbacks, at most %d steps at once'
              % (side, frames, stalled, 100.0 * stalled / max(frames, 1), waits, rollbacks, most))
        check(stalled <= stall_limit * frames, '%s: %s stalled %d of %d frames' % (name, side, stalled, frames))
        check(most <= 8, '%s: %s rolled back at most %d steps' % (name, side, most))
    for way in ('to_host', 'to_guest'):
        n, b = f.get(way, (0, 0))
        print('  %s: %d datagrams, %d bytes in %.1f s: %.2f KB/s' % (way, n, b, secs, b / secs / 1000.0))
        check(b / secs <= 3500, '%s: %s at most 3.5 KB/s' % (name, way))


def killed_guest(run):
    port = free_port()
    host = run.host(port, 'killed')
    relay, relay_port = run.relay(port, 50)
    guest = run.guest(relay_port, 'killed')
    # The race starts once the handshake is through, some 0.3 s in; step 250 is 5 s later.
    time.sleep(5.3)
    guest.send_signal(signal.SIGKILL)
    guest.wait()
    killed = time.monotonic()
    try:
        hout, herr = host.communicate(timeout=15)
    except subprocess.TimeoutExpired:
        host.kill()
        hout, herr = host.communicate()
    took = time.monotonic() - killed
    relay.send_signal(signal.SIGTERM)
    relay.communicate(timeout=10)
    check(took <= 6.0, 'killed guest: the host ended %.1f s after the kill' % took)
    check(host.returncode == 5 and 'Opponent left' in herr,
          'killed guest: the host says "Opponent left" (status %d)' % host.returncode)
    hp = os.path.join(run.tmp, 'killed-host.cbreplay')
    status, line = run.confirm(hp) if os.path.exists(hp) else (-1, 'no replay')
    m = re.search(r'left at step (\d+)', line)
    check(status == 0 and m and 150 <= int(m.group(1)) <= 400,
          'killed guest: the host kept its replay: %s' % line)


def differing(run):
    port = free_port()
    host = run.host(port, 'differ', laps=LAPS)
    guest = run.guest(port, 'differ', extra=('--net-perturb', '120'))
    gout, gerr = guest.communicate(timeout=60)
    hout, herr = host.communicate(timeout=30)
    for side, p, err in (('host', host, herr), ('guest', guest, gerr)):
        check(p.returncode == 6 and 'Races differ from step 150' in err,
              'perturbed at step 120: the %s stops with "Races differ from step 150" (status %d)'
              % (side, p.returncode))
    for side in ('host', 'guest'):
        status, line = run.confirm(os.path.join(run.tmp, 'differ-%s.cbreplay' % side))
        check(status in (0, 3) and 'left at step' in line, 'perturbed: the %s kept its replay: %s' % (side, line))


def refused(run):
    other_track = os.path.join(run.tmp, 'Straight.txt')
    with open(TRACK) as f:
        text = f.read()
    with open(other_track, 'w') as f:
        f.write(text.replace('...M....', '..M.....'))
    for name, extra, track, words in (('version', ('--net-claim-version', '0.0-other'), TRACK, 'another version'),
                                      ('track', (), other_track, 'Straight')):
        port = free_port()
        host = run.host(port, 'refused-' + name)
        guest = run.guest(port, 'refused-' + name, extra=extra, track=track)
        gout, gerr = guest.communicate(timeout=30)
        # The host goes on hosting until its player leaves.
        time.sleep(0.3)
        host.send_signal(signal.SIGTERM)
        hout, herr = host.communicate(timeout=30)
        line = [l for l in gerr.splitlines() if 'no race' in l]
        check(guest.returncode == 4 and line and words in line[0],
              '%s mismatch refused on the guest (status %d): %s' % (name, guest.returncode, line))
        line = [l for l in herr.splitlines() if 'could not join' in l]
        check(host.returncode == 4 and line and words in line[0] and 'Left before the race' in herr,
              '%s mismatch: the host says so and hosts on until it leaves (status %d): %s'
              % (name, host.returncode, line))


def main():
    build = sys.argv[1]
    sim = os.path.join(build, 'chainball-sim')
    with tempfile.TemporaryDirectory() as tmp:
        run = Run(sim, tmp)
        whole_race(run, 50, 0.0)
        whole_race(run, 75, 0.01)
        if '--figures-only' not in sys.argv:
            killed_guest(run)
            differing(run)
            refused(run)
    if failures:
        print('%d failed' % len(failures))
        return 1
    print('all passed')
    return 0


if __name__ == '__main__':
    sys.exit(main())
