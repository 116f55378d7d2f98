#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Every file of the source tree says its licence.

A file that can hold a comment carries an SPDX-License-Identifier line near
its top. A file that cannot (pictures, music, the font, tracks, key scripts
whose every byte counts) is named by a stanza of debian/copyright other than
the catch-all `Files: *`, which says its licence in the DEP-5 way.

    tools/spdx.py --check   list the files with neither; exit 1 when any
    tools/spdx.py --apply   add the header to each that can take one; exit 1
                            while files no header fits are still uncovered

The licence a header gets is the one debian/copyright gives the file
(GPL-3.0-or-later for code, tools and tests, CC0-1.0 for the metainfo).
"""
import fnmatch
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
COPYRIGHT = 'debian/copyright'
TAG = 'SPDX-License-Identifier:'
# How far down a header may sit: after a shebang, an XML declaration or a
# man page's title comment.
HEAD_LINES = 5

# Comment forms, by file name pattern (or path pattern, with a /):
# (prefix, suffix).
HASH = ('# ', '')
STYLES = [
    ('*.cpp', ('// ', '')), ('*.h', ('// ', '')),
    ('*.py', HASH), ('*.sh', HASH), ('*.cmake', HASH), ('CMakeLists.txt', HASH),
    ('Makefile', HASH), ('.gitignore', HASH), ('*.supp', HASH), ('*.desktop', HASH),
    ('*.desktop.in', HASH), ('debian/control', HASH), ('debian/rules', HASH),
    ('*.keys', HASH), ('*.6', ('.\\" ', '')),
    ('*.md', ('<!-- ', ' -->')), ('*.xml', ('<!-- ', ' -->')), ('*.xml.in', ('<!-- ', ' -->')),
]
# Licence texts, the copyright file itself and files read byte for byte
# are covered by debian/copyright, never by a header.
NO_HEADER = ['LICENSE', 'LICENSES/*']


def tree_files(root):
    """The files git tracks, or every file outside build folders."""
    try:
        out = subprocess.run(['git', 'ls-files', '-z'], cwd=root, check=True,
                             capture_output=True).stdout.decode()
        return sorted(f for f in out.split('\0') if f and os.path.isfile(os.path.join(root, f)))
    except (OSError, subprocess.CalledProcessError):
        files = []
        for top, dirs, names in os.walk(root):
            dirs[:] = [d for d in dirs if d != '.git' and not d.startswith('build')]
            files += [os.path.relpath(os.path.join(top, n), root) for n in names]
        return sorted(files)


def read_dep5(path):
    """The Files stanzas of a DEP-5 file: [(patterns, licence)], in order."""
    stanzas = []
    with open(path, encoding='utf-8') as f:
        paragraphs = f.read().split('\n\n')
    for para in paragraphs:
        fields, key = {}, None
        for line in para.splitlines():
            if line[:1] in (' ', '\t') and key:
                fields[key] += ' ' + line.strip()
            elif ':' in line:
                key, value = line.split(':', 1)
                fields[key] = value.strip()
        if 'Files' in fields and 'License' in fields:
            stanzas.append((fields['Files'].split(), fields['License'].split('\n')[0].strip()))
    return stanzas


def dep5_licence(stanzas, name):
    """(licence, from the catch-all?) of the last stanza matching name."""
    found = None
    for patterns, licence in stanzas:
        for p in patterns:
            if fnmatch.fnmatchcase(name, p):
                found = (licence, p == '*')
    return found


def style_of(name, first_line):
    base = os.path.basename(name)
    for pattern, style in STYLES:
        if fnmatch.fnmatchcase(base if '/' not in pattern else name, pattern):
            return style
    if first_line.startswith('#!'):
        return HASH
    return None


def has_header(text):
    return any(TAG in line for line in text.splitlines()[:HEAD_LINES])


def add_header(text, style, licence):
    line = style[0] + TAG + ' ' + licence + style[1] + '\n'
    lines = text.splitlines(keepends=True)
    at = 0
    # A shebang, an XML declaration and a man page's first line stay first.
    if lines and (lines[0].startswith('#!') or lines[0].startswith('<?xml')
                  or lines[0].startswith('.\\"') or lines[0].startswith("'\\\"")):
        at = 1
    return ''.join(lines[:at]) + line + ''.join(lines[at:])


def survey(root):
    """[(file, licence, style or None)] for every file lacking a licence."""
    stanzas = read_dep5(os.path.join(root, COPYRIGHT))
    lacking = []
    for name in tree_files(root):
        if any(fnmatch.fnmatchcase(name, p) for p in NO_HEADER) or name == COPYRIGHT:
            continue
        found = dep5_licence(stanzas, name)
        if found and not found[1]:
            continue   # named by its own stanza
        try:
            with open(os.path.join(root, name), encoding='utf-8') as f:
                text = f.read()
        except (UnicodeDecodeError, OSError):
            text = None
        if text is not None and has_header(text):
            continue
        style = style_of(name, text.split('\n', 1)[0]) if text is not None else None
        lacking.append((name, found[0] if found else None, style))
    return lacking


def main(argv):
    if len(argv) != 2 or argv[1] not in ('--check', '--apply'):
        print('usage: tools/spdx.py --check | --apply', file=sys.stderr)
        return 2
    root = os.environ.get('SPDX_ROOT', ROOT)
    lacking = survey(root)
    if argv[1] == '--check':
        for name, _, style in lacking:
            print(f'{name}: no {TAG} line' + ('' if style else ' and no stanza of its own in ' + COPYRIGHT))
        if lacking:
            print(f'spdx: {len(lacking)} files without a licence; tools/spdx.py --apply adds the headers')
        return 1 if lacking else 0
    left = 0
    for name, licence, style in lacking:
        if style is None or licence is None:
            print(f'{name}: no header fits; give it a stanza in {COPYRIGHT}')
            left += 1
            continue
        path = os.path.join(root, name)
        with open(path, encoding='utf-8') as f:
            text = f.read()
        mode = os.stat(path).st_mode
        tmp = path + '.spdx-tmp'
        with open(tmp, 'w', encoding='utf-8') as f:
            f.write(add_header(text, style, licence))
        os.chmod(tmp, mode)
        os.replace(tmp, path)
        print(f'{name}: {licence}')
    return 1 if left else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
