#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Lists the game's writable globals (file-level and function-local statics
included) from the object files of a build, by source file: what
docs/globals.md accounts for. Usage: tools/globals.py BUILD [--count]"""
import re
import subprocess
import sys

LIBS = ('libchainball_base.a', 'libchainball_sim.a', 'libchainball_sim_cli.a', 'libchainball_game.a', 'libchainball_kit.a')


def symbols(build):
    found = {}
    for lib in LIBS:
        out = subprocess.run(['nm', '-A', '-C', '--defined-only', f'{build}/{lib}'], capture_output=True,
                             text=True, check=True).stdout
        for line in out.splitlines():
            m = re.match(r'[^:]+:([^:]+\.o):\s*[0-9a-f]+ ([BbDdSsVv]) (.+)$', line)
            if not m:
                continue
            obj, kind, name = m.groups()
            if name.startswith(('guard variable', 'vtable', 'typeinfo', '.', '__', 'DW.ref')) or 'GCC_except' in name:
                continue
            source = obj.replace('.cpp.o', '.cpp')
            found.setdefault(source, set()).add(name)
    return found


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else 'build'
    found = symbols(build)
    total = sum(len(v) for v in found.values())
    if '--count' in sys.argv:
        print(total)
        return 0
    for source in sorted(found):
        print(f'{source} ({len(found[source])})')
        for name in sorted(found[source]):
            print(f'    {name}')
    print(f'{total} globals in {len(found)} files')
    return 0


if __name__ == '__main__':
    sys.exit(main())
