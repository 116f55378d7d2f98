#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks that the documents name only paths that exist, and that the test
guide lists every test file.

    tools/check_docs.py            exit 1, naming each stale path and each
                                   test file tests/README.md leaves out

A path is a backticked word or a link target in README.md, BENCHMARKS.md,
docs/*.md and tests/README.md, or a word of a manual page in dist/man/:
- a link target, from the document's folder;
- a word with a slash whose first folder is one of the tree's (src/,
  tools/, ...) or of the document's own folder (window/ in tests/);
- an installed path (/usr/share/chainball/filut/..., share/doc/chainball/
  docs/...), where the install takes it from;
- a bare file name of a source or a document (.md, .cpp, .h, .py, .sh,
  .cmake), somewhere in the tree.
Words with placeholders (NAME, FILE, *, $VAR, ~, <...>) are not paths.
"""
import glob
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DOCUMENTS = ['README.md', 'BENCHMARKS.md', 'tests/README.md'] + sorted(
    os.path.relpath(p, ROOT) for p in glob.glob(os.path.join(ROOT, 'docs', '*.md')))
MAN_PAGES = sorted(os.path.relpath(p, ROOT) for p in glob.glob(os.path.join(ROOT, 'dist', 'man', '*.6')))
SOURCE_NAMES = ('.md', '.cpp', '.h', '.py', '.sh', '.cmake')
# Installed places, with or without their prefix, and the tree's folders
# they are installed from; the longest first.
INSTALLED = [('share/chainball/filut/', 'filut/'), ('share/doc/chainball/docs/', 'docs/'),
             ('share/doc/chainball/', ''), ('share/chainball/', '')]
PREFIXES = ('/usr/local/', '/usr/', '../')
SKIPPED = ('build', '.git', 'build-package', 'build-fuzz')
# Test files the test guide must name.
TEST_FILES = ['tests/test_*.cpp', 'tests/*.py', 'tests/*.sh', 'tests/window/*.sh', 'tests/window/*.py',
              'tests/install/*.sh', 'tests/install/*.py', 'tests/fuzz/*.cpp', 'tests/fuzz/*.sh']

BACKTICKED = re.compile(r'`([^`\n]+)`')
LINKED = re.compile(r'\]\(([^)\s#]+)')
MAN_WORD = re.compile(r'[\w./-]+')


def tree():
    """Every folder and file of the tree by path, and the files' names."""
    paths, names = set(), set()
    for top, dirs, files in os.walk(ROOT):
        dirs[:] = [d for d in dirs if not (top == ROOT and d.startswith(SKIPPED))]
        rel = os.path.relpath(top, ROOT)
        for n in dirs + files:
            paths.add(os.path.normpath(os.path.join(rel, n)))
        names.update(files)
    return paths, names


def installed_source(path):
    """The tree's path an installed path comes from; None when it is not one."""
    for prefix in PREFIXES:
        if path.startswith(prefix):
            path = path[len(prefix):]
            break
    for place, source in INSTALLED:
        if path.startswith(place):
            return source + path[len(place):]
    return None


def stale(word, document, linked, paths, names):
    """Why `word` in `document` names a path that is not there; None if it
    is there or is no path."""
    word = word.rstrip('.,;:')
    if not word or re.search(r'[\s*$~<>{}%|=()\[\]@]|\.\.\.|://|^-|[A-Z]{3,}', word):
        return None   # a placeholder, a pattern, an address or a command
    here = os.path.dirname(document)
    there = lambda p: os.path.normpath(p).strip('/') in paths or os.path.normpath(p) == '.'
    if linked:
        found = there(os.path.join(here, word))
    elif installed_source(word) is not None:
        found = there(installed_source(word) or '.')
    elif '/' in word.strip('/'):
        first = word.split('/')[0]
        if first not in paths and os.path.join(here, first) not in paths:
            return None
        found = there(word) or there(os.path.join(here, word))
    elif word.endswith(SOURCE_NAMES) and '/' not in word:
        found = word in names
    else:
        return None
    return None if found else '%s names %s, which is not in the tree' % (document, word)


def stale_paths(text, document, words, paths, names):
    out = []
    for word, linked in words(text):
        why = stale(word, document, linked, paths, names)
        if why:
            out.append(why)
    return out


def markdown_words(text):
    return [(w, False) for w in BACKTICKED.findall(text)] + [(w, True) for w in LINKED.findall(text)]


def man_words(text):
    # Roff escapes (\-, \fB) out of the way; comments are not read.
    text = '\n'.join(line for line in text.split('\n') if not line.startswith('.\\"'))
    text = re.sub(r'\\f[BIRP]|\\-|\\&|\\\(..', lambda m: '-' if m.group() == '\\-' else '', text)
    return [(w, False) for w in MAN_WORD.findall(text) if '/' in w]


def unlisted_tests(guide):
    named = {os.path.basename(w.rstrip('/')) for w in BACKTICKED.findall(guide)}
    out = []
    for pattern in TEST_FILES:
        for path in sorted(glob.glob(os.path.join(ROOT, pattern))):
            if os.path.basename(path) not in named:
                out.append('tests/README.md does not name %s' % os.path.relpath(path, ROOT))
    return out


def main():
    problems = []
    paths, names = tree()
    for document in DOCUMENTS:
        with open(os.path.join(ROOT, document), encoding='utf-8') as f:
            problems += stale_paths(f.read(), document, markdown_words, paths, names)
    for page in MAN_PAGES:
        with open(os.path.join(ROOT, page), encoding='utf-8') as f:
            problems += stale_paths(f.read(), page, man_words, paths, names)
    with open(os.path.join(ROOT, 'tests', 'README.md'), encoding='utf-8') as f:
        problems += unlisted_tests(f.read())
    for p in problems:
        print('FAIL:', p)
    if not problems:
        print('documents: every path named exists; tests/README.md names every test file')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
