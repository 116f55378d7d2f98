#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""An X display that lets its first ALLOWED connections through to a real
server and closes every later one at once, as a server that went away
after a program's first look would.
Usage: x_gate.py REAL_DISPLAY_NUMBER GATE_DISPLAY_NUMBER ALLOWED
Prints "ready" once it listens; runs until killed."""
import os
import signal
import socket
import sys
import threading

SOCKETS = '/tmp/.X11-unix/X'


def pump(source, sink):
    try:
        while True:
            data = source.recv(65536)
            if not data:
                break
            sink.sendall(data)
    except OSError:
        pass
    for s in (source, sink):
        try:
            s.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


def main():
    real, gate, allowed = sys.argv[1], sys.argv[2], int(sys.argv[3])
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))   # the socket goes too
    listener = socket.socket(socket.AF_UNIX)
    listener.bind(SOCKETS + gate)
    listener.listen(8)
    print('ready', flush=True)
    taken = 0
    try:
        while True:
            client, _ = listener.accept()
            taken += 1
            if taken > allowed:
                client.close()
                continue
            server = socket.socket(socket.AF_UNIX)
            server.connect(SOCKETS + real)
            threading.Thread(target=pump, args=(client, server), daemon=True).start()
            threading.Thread(target=pump, args=(server, client), daemon=True).start()
    finally:
        os.unlink(SOCKETS + gate)


if __name__ == '__main__':
    main()
