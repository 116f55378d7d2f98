#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Asks an X window to close, as a window manager's close button does."""
import sys

from Xlib import X, display
from Xlib.protocol import event

d = display.Display()
win = d.create_resource_object("window", int(sys.argv[1]))
protocols = d.intern_atom("WM_PROTOCOLS")
delete = d.intern_atom("WM_DELETE_WINDOW")
msg = event.ClientMessage(window=win, client_type=protocols, data=(32, [delete, X.CurrentTime, 0, 0, 0]))
win.send_event(msg, event_mask=X.NoEventMask)
d.flush()
