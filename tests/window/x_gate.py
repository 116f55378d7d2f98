#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""X display GATE passes its first ALLOWED connections on to display REAL
and closes every later one at once: a server gone after a program's first
looks. Usage: x_gate.py REAL GATE ALLOWED; prints "ready", runs until killed."""
import os
import signal
import socket
import sys
import threading

SOCKETS = '/tmp/.X11-unix/X'


def pump(source, sink):
    try:
        while data := source.recv(65536):
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
    try:
        for taken in range(1, sys.maxsize):
            client, _ = listener.accept()
            if taken > allowed:
                client.close()
                continue
            server = socket.socket(socket.AF_UNIX)
            server.connect(SOCKETS + real)
            for pair in ((client, server), (server, client)):
                threading.Thread(target=pump, args=pair, daemon=True).start()
    finally:
        os.unlink(SOCKETS + gate)


if __name__ == '__main__':
    main()
