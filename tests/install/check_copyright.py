#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The package's copyright file against the source tree and an installed tree.

    check_copyright.py SOURCE_DIR STAGED_PREFIX

- It parses as DEP-5: the Format line, every Files paragraph with Copyright
  and License, every licence it names given its text once.
- Each Files pattern matches a file of the source tree (no stale pattern).
- Every installed file comes from a file of the source tree (or is built
  from one) and gets a licence: pictures, music, tracks and icons their own
  stanza (CC-BY-SA-4.0), sounds too, the font Bitstream-Vera, never the catch-all.
- The font's licence is Bitstream's own text, LICENSES/Bitstream-Vera.txt,
  the same in filut/ and in the Bitstream-Vera paragraph; not another
  package's copyright file.
"""
import fnmatch
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tools'))
import spdx  # noqa: E402

FORMAT = 'https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/'
errors = []


def fail(msg):
    errors.append(msg)


def paragraphs(text):
    out = []
    for para in text.strip('\n').split('\n\n'):
        fields, key = {}, None
        for n, line in enumerate(para.split('\n')):
            if line[:1] in (' ', '\t'):
                if key is None:
                    fail(f'continuation line without a field: {line!r}')
                    continue
                fields[key] += '\n' + line
            elif ':' in line:
                key, value = line.split(':', 1)
                if key in fields:
                    fail(f'field {key} twice in one paragraph')
                fields[key] = value.strip()
            else:
                fail(f'not a field: {line!r}')
        out.append(fields)
    return out


# Installed path under the prefix -> the source file it comes from; None
# for files the build makes (programs, compressed pages, configured files).
def source_of(rel):
    maps = [('share/chainball/filut/', 'filut/'), ('share/doc/chainball/docs/', 'docs/')]
    for inst, src in maps:
        if rel.startswith(inst):
            return src + rel[len(inst):]
    if rel == 'share/doc/chainball/README.md':
        return 'README.md'
    if rel == 'share/doc/chainball/copyright':
        return 'debian/copyright'
    if rel.startswith('share/icons/hicolor/'):
        size = rel.split('/')[3]
        return 'dist/icons/chainball.svg' if size == 'scalable' else f'dist/icons/chainball-{size.split("x")[0]}.png'
    return None


def check_font_licence(source, paras):
    with open(os.path.join(source, 'LICENSES/Bitstream-Vera.txt'), encoding='utf-8') as f:
        licence = f.read()
    if 'Permission is hereby granted' not in licence or any(
            line.startswith(('Format:', 'Files:', 'Upstream-Name:')) for line in licence.split('\n')):
        fail('LICENSES/Bitstream-Vera.txt is not the font licence itself')
    with open(os.path.join(source, 'filut/VeraMoBd-LICENSE.txt'), encoding='utf-8') as f:
        if f.read() != licence:
            fail('filut/VeraMoBd-LICENSE.txt differs from LICENSES/Bitstream-Vera.txt')
    for p in paras:
        name, _, text = p.get('License', '').partition('\n')
        if name == 'Bitstream-Vera' and text.strip():
            lines = [line[1:] if line != ' .' else '' for line in text.split('\n')]
            if '\n'.join(lines) + '\n' != licence:
                fail('the Bitstream-Vera text of debian/copyright differs from LICENSES/Bitstream-Vera.txt')


def main(source, prefix):
    with open(os.path.join(source, 'debian/copyright'), encoding='utf-8') as f:
        paras = paragraphs(f.read())
    if paras[0].get('Format') != FORMAT:
        fail(f'the first paragraph has no Format: {FORMAT}')
    for key in paras[0]:
        if key not in ('Format', 'Upstream-Name', 'Upstream-Contact', 'Source', 'Comment', 'Copyright', 'License'):
            fail(f'unknown header field {key}')
    used, texts = set(), set()
    for p in paras[1:]:
        licence = p.get('License', '')
        name, _, text = licence.partition('\n')
        if 'Files' in p:
            if not p.get('Copyright'):
                fail(f'Files: {p["Files"]} has no Copyright')
            if not name:
                fail(f'Files: {p["Files"]} has no License')
            used.add(name)
            if text.strip():
                texts.add(name)
        elif name and text.strip():
            if name in texts:
                fail(f'the text of {name} is given twice')
            texts.add(name)
        else:
            fail(f'a paragraph that is neither Files nor a licence text: {sorted(p)}')
    for name in sorted(used - texts):
        fail(f'licence {name} is used but its text is not given')
    for name in sorted(texts - used):
        fail(f'licence {name} is given but no file uses it')

    check_font_licence(source, paras)

    tree = spdx.tree_files(source)
    stanzas = spdx.read_dep5(os.path.join(source, 'debian/copyright'))
    for patterns, _ in stanzas:
        for pat in patterns:
            if not any(fnmatch.fnmatchcase(f, pat) for f in tree):
                fail(f'the pattern {pat} matches no file of the source tree')

    media = ('.png', '.ogg', '.wav', '.svg', '.ttf')
    checked = 0
    for top, _, names in os.walk(prefix):
        for n in names:
            rel = os.path.relpath(os.path.join(top, n), prefix)
            src = source_of(rel)
            if src is None:
                continue   # made by the build from files under the catch-all
            checked += 1
            if src not in tree:
                fail(f'{rel}: installed from {src}, which is not in the source tree')
                continue
            licence, catch_all = spdx.dep5_licence(stanzas, src)
            is_data = src.endswith(media) or src.startswith(('filut/levelit/', 'docs/example/'))
            if is_data and catch_all:
                fail(f'{rel} ({src}) is a picture, sound, font or track but only the catch-all covers it')
            if src.endswith('.ttf') and licence != 'Bitstream-Vera':
                fail(f'{rel}: the font is under {licence}')
            if is_data and not src.endswith('.ttf') and licence != 'CC-BY-SA-4.0':
                fail(f'{rel} ({src}) is under {licence}, not CC-BY-SA-4.0')
    if checked < 20:
        fail(f'only {checked} installed files were traced to the source tree')
    for e in errors:
        print('FAIL: copyright:', e)
    if not errors:
        print(f'copyright: DEP-5, {len(stanzas)} Files stanzas, {checked} installed files traced and covered')
    return 1 if errors else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1], sys.argv[2]))
