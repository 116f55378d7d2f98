#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Virtual gamepads for the real-window check, made through /dev/uinput.

Each pad has the Xbox layout as Linux gives it (A B X Y, the shoulders,
Select, Start, Mode and the stick clicks: 11 buttons, Start the 8th), a left
stick and a d-pad. Commands on stdin, one a line; each is answered with one
line, "ok" or what went wrong:
    plug N                 make pad N (the game finds it at its next scan)
    N press|release BUTTON A, B or START
    N hat X Y              d-pad, each -1, 0 or 1 (Y -1 is up)
    N stick X Y            left stick, each -32768..32767
    N unplug               pull pad N out
With "check" as its only argument it makes one pad, waits for its device
node and exits: 0 when it appeared, 3 with the reason when it cannot.
"""
import sys
import time

from evdev import AbsInfo, InputDevice, UInput, ecodes as e, util

BUTTONS = [e.BTN_A, e.BTN_B, e.BTN_X, e.BTN_Y, e.BTN_TL, e.BTN_TR, e.BTN_SELECT,
           e.BTN_START, e.BTN_MODE, e.BTN_THUMBL, e.BTN_THUMBR]
NAMED = {'A': e.BTN_A, 'B': e.BTN_B, 'START': e.BTN_START}
STICK = AbsInfo(value=0, min=-32768, max=32767, fuzz=16, flat=128, resolution=0)
HAT = AbsInfo(value=0, min=-1, max=1, fuzz=0, flat=0, resolution=0)


def make_pad(n):
    name = f'chainball test pad {n}'
    events = {e.EV_KEY: BUTTONS,
              e.EV_ABS: [(e.ABS_X, STICK), (e.ABS_Y, STICK), (e.ABS_HAT0X, HAT), (e.ABS_HAT0Y, HAT)]}
    pad = UInput(events, name=name, vendor=0x45e, product=0x28e, version=0x110)
    # The node comes from the kernel's devtmpfs or from udev, a moment later.
    for _ in range(30):
        if any(util.is_device(p) and open_name(p) == name for p in util.list_devices('/dev/input/')):
            return pad
        time.sleep(0.1)
    pad.close()
    raise RuntimeError(f'no device node for "{name}" appeared in /dev/input (no devtmpfs or udev here)')


def open_name(path):
    try:
        d = InputDevice(path)
        name = d.name
        d.close()
        return name
    except OSError:
        return None


def command(pads, words):
    if words[0] == 'plug':
        pads[words[1]] = make_pad(words[1])
        return
    pad = pads[words[0]]
    what = words[1]
    if what in ('press', 'release'):
        pad.write(e.EV_KEY, NAMED[words[2]], 1 if what == 'press' else 0)
    elif what in ('hat', 'stick'):
        codes = (e.ABS_HAT0X, e.ABS_HAT0Y) if what == 'hat' else (e.ABS_X, e.ABS_Y)
        pad.write(e.EV_ABS, codes[0], int(words[2]))
        pad.write(e.EV_ABS, codes[1], int(words[3]))
    elif what == 'unplug':
        pads.pop(words[0]).close()
        return
    else:
        raise ValueError(f'unknown command {what}')
    pad.syn()


def main():
    if sys.argv[1:] == ['check']:
        try:
            make_pad(0).close()
        except Exception as err:   # no uinput, no permission, no node
            print(err)
            return 3
        return 0
    pads = {}
    for line in sys.stdin:
        words = line.split()
        if not words:
            continue
        try:
            command(pads, words)
            print('ok', flush=True)
        except Exception as err:
            print(f'{line.strip()}: {err}', flush=True)
    for pad in pads.values():
        pad.close()
    return 0


if __name__ == '__main__':
    sys.exit(main())
