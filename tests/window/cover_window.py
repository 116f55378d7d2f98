#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Covers the whole display with a white window for SECONDS, then takes it
away, as another program's window passing over the game would.
Usage: cover_window.py SECONDS"""
import sys
import time

from Xlib import X, display

d = display.Display()
s = d.screen()
w = s.root.create_window(0, 0, s.width_in_pixels, s.height_in_pixels, 0, s.root_depth, X.InputOutput,
                         X.CopyFromParent, background_pixel=s.white_pixel, override_redirect=True)
w.map()
d.sync()
time.sleep(float(sys.argv[1]))
w.unmap()
w.destroy()
d.sync()
