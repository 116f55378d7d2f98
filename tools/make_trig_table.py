#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The race's sines and cosines of whole degrees, as fixed bits.

The race turns whole degrees d into radians as the double d / DEG and takes
their sine and cosine. Libraries round some of those one unit in the last
place apart, so the race reads them from src/base/trig_table.cpp instead.

  make_trig_table.py --write   writes the table from this machine's C library
                               (done once, on Debian 12, glibc 2.36, x86-64;
                               the bits must never change: replays rely on them)
  make_trig_table.py --check   checks the table against correctly rounded
                               values computed with mpmath at 200 bits, and
                               against this machine's C library (information)

See docs/determinism.md.
"""
import math
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TABLE = os.path.join(ROOT, 'src', 'base', 'trig_table.cpp')
DEG = 57.29577957855229   # as src/base/arith.h has it
FIRST, LAST = -90, 359    # every whole degree the race can ask for
# (degrees, 'sin' or 'cos') whose table value is one unit in the last place
# from the correctly rounded one: the C library's rounding, kept on purpose.
# sin(15 / DEG) lies 0.5019 units from the C library's value, which takes
# the far side of a near tie; sin(-15) mirrors it.
MISROUNDED = {(-15, 'sin'), (15, 'sin')}


def radians(d):
    return d / DEG   # one correctly rounded double division, as in C++


def write():
    lines = [
        '// SPDX-License-Identifier: GPL-3.0-or-later',
        '// Written by tools/make_trig_table.py --write; never edit by hand: replays',
        '// depend on every bit. {sin, cos} of d / DEG for d = %d .. %d.' % (FIRST, LAST),
        '#include "base/trig.h"',
        '',
        'const double trig_table[TRIG_LAST_DEGREE - TRIG_FIRST_DEGREE + 1][2] = {',
    ]
    for d in range(FIRST, LAST + 1):
        x = radians(d)
        lines.append('    {%s, %s},   // %d' % (math.sin(x).hex(), math.cos(x).hex(), d))
    lines.append('};')
    with open(TABLE, 'w') as f:
        f.write('\n'.join(lines) + '\n')
    print('wrote %d degrees to %s' % (LAST - FIRST + 1, TABLE))


def read_table():
    rows = {}
    with open(TABLE) as f:
        for line in f:
            m = re.match(r'\s*\{(\S+), (\S+)\},\s*// (-?\d+)$', line)
            if m:
                rows[int(m.group(3))] = (float.fromhex(m.group(1)), float.fromhex(m.group(2)))
    return rows


def correctly_rounded(fn, x):
    import mpmath
    with mpmath.workprec(200):
        exact = fn(mpmath.mpf(x))   # x is a double: converted exactly
    with mpmath.workprec(53):
        return float(+exact)        # one rounding to nearest, to 53 bits


def ulps_apart(a, b):
    if a == b:
        return 0
    return abs(a - b) / math.ulp(max(abs(a), abs(b)))


def check():
    import mpmath
    rows = read_table()
    faults = []
    if sorted(rows) != list(range(FIRST, LAST + 1)):
        faults.append('table does not hold exactly the degrees %d..%d' % (FIRST, LAST))
    misrounded = set()
    libc_differs = []
    for d, (s, c) in sorted(rows.items()):
        x = radians(d)
        for name, value, fn, libc in (('sin', s, mpmath.sin, math.sin), ('cos', c, mpmath.cos, math.cos)):
            best = correctly_rounded(fn, x)
            apart = ulps_apart(value, best)
            if apart > 1:
                faults.append('%s(%d) is %g units from the correct %s' % (name, d, apart, best.hex()))
            elif apart:
                misrounded.add((d, name))
            if libc(x) != value:
                libc_differs.append('%s(%d)' % (name, d))
    for d, name in sorted(misrounded - MISROUNDED):
        faults.append('%s(%d) is not correctly rounded and not listed in MISROUNDED' % (name, d))
    for d, name in sorted(MISROUNDED - misrounded):
        faults.append('%s(%d) is listed in MISROUNDED but is correctly rounded' % (name, d))
    print('%d degrees, %d values; %d one unit from correct rounding: %s' % (
        len(rows), 2 * len(rows), len(misrounded),
        ', '.join('%s(%d)' % (n, d) for d, n in sorted(misrounded)) or 'none'))
    print("this machine's C library differs from the table at: %s" % (', '.join(libc_differs) or 'none'))
    for f in faults:
        print('FAULT: ' + f)
    print('%d passed, %d failed' % (0 if faults else 1, 1 if faults else 0))
    return 1 if faults else 0


if __name__ == '__main__':
    if sys.argv[1:] == ['--write']:
        write()
    elif sys.argv[1:] == ['--check']:
        sys.exit(check())
    else:
        print(__doc__.strip(), file=sys.stderr)
        sys.exit(2)
