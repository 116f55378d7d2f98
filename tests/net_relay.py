#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A UDP relay on 127.0.0.1 for online-race tests, standing in for a bad
link (this kernel has no netem): each datagram either way is dropped with
probability LOSS or sent on after DELAY +- JITTER ms, so some overtake
others. The first sender is the guest; the relay forwards to the host's
port and back. Prints 'port N' once listening; on SIGTERM or SIGINT prints
the datagrams and bytes each way, with the bytes counted as on the wire
(IPv4 and UDP headers, 28 bytes a datagram), the seconds it ran and the
seconds from the first datagram to the last.
Sends only to 127.0.0.1."""
import argparse
import heapq
import random
import select
import signal
import socket
import sys
import time

LOCAL = '127.0.0.1'
HEADERS = 28


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument('--host-port', type=int, required=True)
    ap.add_argument('--port', type=int, default=0, help='port to listen on (0: any free one)')
    ap.add_argument('--delay', type=float, default=50.0)
    ap.add_argument('--jitter', type=float, default=10.0)
    ap.add_argument('--loss', type=float, default=0.05)
    ap.add_argument('--seed', type=int, default=1)
    a = ap.parse_args()
    rnd = random.Random(a.seed)

    front = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)   # faces the guest
    front.bind((LOCAL, a.port))
    back = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)    # faces the host
    back.bind((LOCAL, 0))
    host = (LOCAL, a.host_port)
    guest = None
    queue = []   # (due, order, socket, address, bytes)
    order = 0
    counts = {'to_host': [0, 0], 'to_guest': [0, 0]}
    started = time.monotonic()
    first_last = [0.0, 0.0]   # the first and the last datagram
    running = [True]

    def stop(*_):
        running[0] = False
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    print('port', front.getsockname()[1], flush=True)

    while running[0]:
        now = time.monotonic()
        wait = max(0.0, queue[0][0] - now) if queue else 0.1
        try:
            ready, _, _ = select.select([front, back], [], [], min(wait, 0.1))
        except InterruptedError:
            continue
        now = time.monotonic()
        for s in ready:
            data, sender = s.recvfrom(65536)
            if sender[0] != LOCAL:
                continue
            if s is front:
                guest = sender
                target, out, way = host, back, 'to_host'
            else:
                if guest is None:
                    continue
                target, out, way = guest, front, 'to_guest'
            first_last[0] = first_last[0] or now
            first_last[1] = now
            counts[way][0] += 1
            counts[way][1] += len(data) + HEADERS
            if rnd.random() < a.loss:
                continue
            due = now + (a.delay + rnd.uniform(-a.jitter, a.jitter)) / 1000.0
            heapq.heappush(queue, (due, order, out, target, data))
            order += 1
        while queue and queue[0][0] <= time.monotonic():
            _, _, out, target, data = heapq.heappop(queue)
            out.sendto(data, target)
    seconds = time.monotonic() - started
    for way, (n, b) in counts.items():
        print(f'{way} {n} datagrams {b} bytes', flush=True)
    print(f'seconds {seconds:.2f}', flush=True)
    print(f'active {first_last[1] - first_last[0]:.2f}', flush=True)
    return 0


if __name__ == '__main__':
    sys.exit(main())
