#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The longest functions in src/: scans every .cpp and .h file below src/,
finds the function definitions (free functions, member functions defined
inside or outside their class, at any indentation; a lambda inside a
function counts as part of that function, a lambda given a name at
namespace or class scope counts on its own) and prints the longest, one a
line: LINES FILE:LINE NAME. A function's length runs from the first line of
its declaration to the line of its closing brace, both counted.

    /usr/bin/python3 tools/function_lengths.py [--top N] [--max N] [FILE...]

--max N exits with status 1 after naming every function longer than N
lines (CTest `function_lengths`); --top N prints the N longest (default 10;
with --max only the offenders). Braces in comments, string and character
literals and preprocessor lines are not counted. Exits with status 2 when a
file's braces do not pair up.
"""
import argparse
import os
import re
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..')
SRC = os.path.join(ROOT, 'src')

IDENT_CHAR = re.compile(r'[A-Za-z0-9_]')


def _blank(text):
    """`text` with newlines kept and everything else turned to spaces."""
    return re.sub(r'[^\n]', ' ', text)


def _literal(src, i, quote):
    """The string or character literal opening at src[i], blanked, and where it ends."""
    n = len(src)
    j = i + 1
    while j < n and src[j] != quote and src[j] != '\n':
        j += 2 if src[j] == '\\' else 1
    j = min(j + 1, n)
    return quote + _blank(src[i + 1:j - 1]) + quote, j


def strip_source(src):
    """The source with comments, preprocessor lines and the insides of string
    and character literals blanked out, line numbers kept: a literal leaves
    its quotes, so `f("{")` reads as `f("  ")`."""
    out = []
    i, n = 0, len(src)
    line_start = True   # only whitespace so far on this line
    while i < n:
        c = src[i]
        if c == '\n':
            out.append(c)
            line_start = True
            i += 1
            continue
        if line_start and c == '#':
            # A preprocessor directive, with its continuation lines.
            j = i
            while j < n and src[j] != '\n':
                if src[j] == '\\' and j + 1 < n and src[j + 1] == '\n':
                    j += 2
                    continue
                if src.startswith('/*', j):
                    end = src.find('*/', j + 2)
                    j = n if end < 0 else end + 2
                    continue
                if src.startswith('//', j):
                    while j < n and src[j] != '\n':
                        j += 1
                    break
                j += 1
            out.append(_blank(src[i:j]))
            i = j
            continue
        if not c.isspace():
            line_start = False
        if src.startswith('//', i):
            j = src.find('\n', i)
            j = n if j < 0 else j
            out.append(_blank(src[i:j]))
            i = j
            continue
        if src.startswith('/*', i):
            j = src.find('*/', i + 2)
            j = n if j < 0 else j + 2
            out.append(_blank(src[i:j]))
            i = j
            continue
        if c == '"':
            prefix_start = i
            while prefix_start > 0 and IDENT_CHAR.match(src[prefix_start - 1]):
                prefix_start -= 1
            prefix = src[prefix_start:i]
            if prefix in ('R', 'u8R', 'uR', 'UR', 'LR'):
                open_paren = src.find('(', i)
                delim = src[i + 1:open_paren]
                close = src.find(')' + delim + '"', open_paren)
                j = n if close < 0 else close + len(delim) + 2
                out.append('"' + _blank(src[i + 1:j - 1]) + '"')
                i = j
                continue
            text, i = _literal(src, i, '"')
            out.append(text)
            continue
        if c == "'":
            # A digit separator (1'000) is no literal.
            k = i - 1
            while k >= 0 and IDENT_CHAR.match(src[k]):
                k -= 1
            word = src[k + 1:i]
            if word and word[0].isdigit():
                out.append(c)
                i += 1
                continue
            text, i = _literal(src, i, "'")
            out.append(text)
            continue
        out.append(c)
        i += 1
    return ''.join(out)


def matching(text, i, open_ch, close_ch):
    """The index of the bracket closing the one at `i`, or -1."""
    depth = 0
    for j in range(i, len(text)):
        if text[j] == open_ch:
            depth += 1
        elif text[j] == close_ch:
            depth -= 1
            if depth == 0:
                return j
    return -1


def top_level(text):
    """`text` with everything inside (), [] and <...> of templates blanked,
    so that only its outermost punctuation is left to look at."""
    out = list(text)
    depth = 0
    for j, c in enumerate(text):
        if c in '([':
            depth += 1
            if depth > 1:
                out[j] = ' '
        elif c in ')]':
            if depth > 1:
                out[j] = ' '
            depth -= 1
        elif depth > 0:
            out[j] = ' '
    return ''.join(out)


ACCESS = re.compile(r'^\s*(?:(?:public|private|protected)\s*:(?!:)\s*)+')
QUALIFIER = re.compile(r'\s*(?:const|volatile|noexcept|override|final|mutable|&&|&|'
                       r'noexcept\s*\([^()]*\)|throw\s*\(\s*\))\s*$')
NAME = re.compile(r'((?:[A-Za-z_]\w*\s*(?:<(?:[^<>;{}]|<[^<>;{}]*>)*>)?\s*::\s*)*'
                  r'(?:operator\s*(?:\(\s*\)|\[\s*\]|[^\s\w(]+|\w[\w\s:<>*&]*?)|~?[A-Za-z_]\w*))\s*$')
LAMBDA = re.compile(r'([A-Za-z_]\w*)\s*(?:\[[^\]]*\])?\s*=\s*\[[^\]]*\]\s*(?:\([^)]*\))?\s*'
                    r'(?:mutable\s*)?(?:constexpr\s*)?(?:noexcept\s*)?(?:->[^=]*)?$', re.S)
CLASS = re.compile(r'\b(?:class|struct|union)\b')
NAMESPACE = re.compile(r'(?:\bnamespace\b[\w\s:]*|\bextern\s*"\s*")$')


def strip_qualifiers(sig):
    while True:
        shorter = QUALIFIER.sub('', sig)
        if shorter == sig:
            return sig
        sig = shorter


def ctor_colon(flat):
    """The index of the colon opening a constructor's initializer list in
    the flattened head `flat`, or -1."""
    for m in re.finditer(r'(?<!:):(?!:)', flat):
        before = flat[:m.start()].rstrip()
        before = strip_qualifiers(before)
        if before.endswith(')'):
            return m.start()
    return -1


def classify(head):
    """What a `{` after the declaration text `head` opens: ('function',
    name), ('scope', None) for a namespace or class body, or ('other',
    None) for an initializer, an enum body or anything else."""
    flat = top_level(head)
    if NAMESPACE.search(flat.strip()):
        return 'scope', None
    lam = LAMBDA.search(head.strip())
    if lam:
        return 'function', lam.group(1) + ' (lambda)'
    colon = ctor_colon(flat)
    if colon >= 0:
        # A constructor: its body comes after the last initializer; a brace
        # right after a member's name is that member's initializer.
        rest = flat[colon + 1:].rstrip()
        if not rest or rest.endswith(')') or rest.endswith('}'):
            sig = head[:colon]
        else:
            return 'other', None
    else:
        sig = head
    sig_flat = strip_qualifiers(top_level(sig).rstrip())
    arrow = sig_flat.rfind('->')
    if arrow >= 0 and strip_qualifiers(sig_flat[:arrow].rstrip()).endswith(')'):
        sig_flat = strip_qualifiers(sig_flat[:arrow].rstrip())
    if sig_flat.endswith(')') and '=' not in re.sub(r'operator\s*\S+', '', sig_flat):
        open_paren = sig_flat.rfind('(')
        m = NAME.search(sig[:open_paren])
        if m and m.group(1) not in ('if', 'for', 'while', 'switch', 'catch',
                                    'alignas', 'decltype', 'sizeof'):
            return 'function', re.sub(r'\s+', ' ', m.group(1)).strip()
    if CLASS.search(flat) and not re.search(r'=', flat):
        return 'scope', None
    return 'other', None


def functions(path):
    """(first line, last line, name) of every function defined in `path`."""
    with open(path, encoding='utf-8') as f:
        text = strip_source(f.read())
    found = []
    depth = 0           # open namespace and class bodies
    head_start = 0
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if c == ';':
            head_start = i + 1
        elif c == '}':
            if depth == 0:
                raise ValueError('%s:%d: a } closes nothing'
                                 % (path, text.count('\n', 0, i) + 1))
            depth -= 1
            head_start = i + 1
        elif c == '{':
            head = text[head_start:i]
            kind, name = classify(head)
            if kind == 'scope':
                depth += 1
                head_start = i + 1
            else:
                end = matching(text, i, '{', '}')
                if end < 0:
                    raise ValueError('%s:%d: a { is never closed'
                                     % (path, text.count('\n', 0, i) + 1))
                if kind == 'function':
                    lead = len(head) - len(ACCESS.sub('', head).lstrip())
                    first = text.count('\n', 0, head_start + lead) + 1
                    last = text.count('\n', 0, end) + 1
                    found.append((first, last, name))
                    head_start = end + 1
                i = end
        i += 1
    if depth != 0:
        raise ValueError('%s: %d bodies never closed' % (path, depth))
    return found


def sources():
    for folder, _, names in os.walk(SRC):
        for name in names:
            if name.endswith(('.cpp', '.h')):
                yield os.path.join(folder, name)


def main():
    parser = argparse.ArgumentParser(description='The longest functions in src/.')
    parser.add_argument('--max', type=int, help='fail naming every function longer than this')
    parser.add_argument('--top', type=int, default=10, help='how many to print (default 10)')
    parser.add_argument('files', nargs='*', help='files to scan instead of src/')
    args = parser.parse_args()
    rows = []
    try:
        for path in sorted(args.files or sources()):
            shown = os.path.relpath(path, ROOT) if not args.files else path
            for first, last, name in functions(path):
                rows.append((last - first + 1, shown, first, name))
    except ValueError as e:
        print('function_lengths: %s' % e, file=sys.stderr)
        return 2
    rows.sort(key=lambda r: (-r[0], r[1], r[2]))
    if args.max is not None:
        over = [r for r in rows if r[0] > args.max]
        for lines, path, first, name in over:
            print('%4d %s:%d %s: longer than %d lines' % (lines, path, first, name, args.max))
        if over:
            return 1
        print('%d functions, the longest %d lines (at most %d allowed)'
              % (len(rows), rows[0][0] if rows else 0, args.max))
        return 0
    for lines, path, first, name in rows[:args.top]:
        print('%4d %s:%d %s' % (lines, path, first, name))
    return 0


if __name__ == '__main__':
    sys.exit(main())
