#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Lists the game's writable globals (file-level and function-local statics
included) from the object files of a build, by source file.

Every static library of the project in the build folder is read
(libchainball_*.a, not the sanitized or fuzzing ones), and the object files
of the programs' own main sources. Counted are the objects in writable
data: constants are not, whether in .rodata or, holding addresses, in
.data.rel.ro. Statics that belong to the header libraries compiled into our
objects (the standard library, toml++, CLI11, GoogleTest) are left out, as
are the compiler's own (guard variables, vtables, type information). A
template's or inline variable's static, in every object that uses it, is
counted once.

The classic game's own globals, which its screens keep by design, are told
apart from the project's own: tools/globals_reasons.txt names them in its
[classic] section. The project's own are held to a target of at most 40.

    tools/globals.py BUILD                 by source file, then the totals
    tools/globals.py BUILD --count         the project's own count alone
    tools/globals.py BUILD --markdown FILE write docs/globals.md's page to FILE
                                           (- for standard output)
    tools/globals.py BUILD --check FILE    exit 1, showing the difference,
                                           when FILE is not what --markdown
                                           writes now

The page takes each file's owner and reason from tools/globals_reasons.txt."""
import difflib
import glob
import os
import re
import shlex
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
REASONS = os.path.join(ROOT, 'tools', 'globals_reasons.txt')
# The most globals of the project's own the page holds the build to.
TARGET = 40
# The section of the reasons file that names the classic game's globals.
CLASSIC = 'classic'
# Writable data: objects in the initialised and zeroed data sections, common
# ones, thread-local ones. Constants are not counted, those in .rodata nor
# those that hold addresses (.data.rel.ro, read-only once the program is
# loaded: the same constant is in .rodata in a build without PIE).
WRITABLE = ('.bss', '.data', '.tbss', '.tdata', '*COM*')
# The compiler's own objects, never a variable of the program.
COMPILER = ('guard variable', 'vtable for', 'construction vtable', 'VTT for', 'typeinfo', 'reference temporary',
            'transaction clone', 'DW.ref', '.', '__')
# Outermost names of the header libraries instantiated in our objects.
THIRD_PARTY = {'std', '__gnu_cxx', '__cxxabiv1', 'toml', 'CLI', 'testing', 'benchmark'}
# objdump -t: address, seven flag columns, section, size, name.
LINE = re.compile(r'[0-9a-fA-F]+ (.{7}) (\S+)\t[0-9a-fA-F]+ (?:\.hidden )?(.+)$')


def outer_name(name):
    """The outermost scope of a demangled name: 'toml' for
    'toml::v3::impl::x', 'kit_open_data' for 'kit_open_data(std::string&)::names',
    '' for a name in an anonymous namespace (always ours)."""
    if name.startswith('(anonymous namespace)'):
        return ''
    for i, c in enumerate(name):
        if c in '(<' or name[i:i + 2] == '::':
            return name[:i]
    return name


def writable(flags, section):
    return flags[6] == 'O' and section.startswith(WRITABLE) and not section.startswith('.data.rel.ro')


def ours(name):
    if name.startswith(COMPILER) or 'GCC_except' in name:
        return False
    return outer_name(name) not in THIRD_PARTY


def short(name):
    """A global's name as the page shows it: argument lists and ABI tags
    dropped, an anonymous namespace left unsaid."""
    name = name.replace('[abi:cxx11]', '').replace('(anonymous namespace)::', '')
    out, depth = [], 0
    for c in name:
        if c == '(':
            if depth == 0:
                out.append('()')
            depth += 1
        elif c == ')':
            depth -= 1
        elif depth == 0:
            out.append(c)
    return ''.join(out)


def object_paths(build, lib):
    """Member name -> source path (under src/) for the objects a library
    was made of, from CMake's archive command; empty when there is none."""
    stem = os.path.basename(lib)[3:-2]
    paths = {}
    try:
        with open(os.path.join(build, 'CMakeFiles', stem + '.dir', 'link.txt'), encoding='utf-8') as f:
            words = shlex.split(f.read())
    except OSError:
        words = sorted(glob.glob(os.path.join(build, 'CMakeFiles', stem + '.dir', '**', '*.o'), recursive=True))
    for word in words:
        if word.endswith('.o'):
            paths.setdefault(os.path.basename(word), []).append(source_of(word))
    return {member: found[0] for member, found in paths.items() if len(found) == 1}


def source_of(obj):
    """'CMakeFiles/x.dir/src/view/race.cpp.o' -> 'view/race.cpp'."""
    path = obj.replace(os.sep, '/')
    path = path[:-2] if path.endswith('.o') else path
    m = re.search(r'\.dir/(.+)$', path)
    path = m.group(1) if m else os.path.basename(path)
    return path[4:] if path.startswith('src/') else path


def libraries(build):
    libs = sorted(glob.glob(os.path.join(build, 'libchainball_*.a')))
    return [lib for lib in libs if not lib.endswith(('_san.a', '_fuzz.a'))]


def program_objects(build):
    """The object files of the programs' own sources under src/ (the game's,
    the simulator's and the kit's main files), from CMake's link commands."""
    found = set()
    for link in glob.glob(os.path.join(build, 'CMakeFiles', '*.dir', 'link.txt')):
        target = os.path.basename(os.path.dirname(link))[:-4]
        if target.endswith(('_san', '_fuzz')):
            continue
        with open(link, encoding='utf-8') as f:
            words = shlex.split(f.read())
        if words[1:2] == ['qc'] or not any(w.startswith('libchainball_') for w in words):
            continue   # a library, or a program that is not built on ours
        for word in words:
            if word.endswith('.o') and '.dir/src/' in word and os.path.exists(os.path.join(build, word)):
                found.add(os.path.join(build, word))
    return sorted(found)


def object_symbols(path):
    """[(member, weak, name)] of the writable data objects an object file or
    an archive defines; member is None for an object file."""
    run = subprocess.run(['objdump', '-t', '-C', path], capture_output=True, text=True)
    if run.returncode != 0:
        sys.exit(f'globals.py: objdump -t {path} failed: {run.stderr.strip()}')
    rows, member = [], None
    for line in run.stdout.splitlines():
        head = re.match(r'(\S+):\s+file format ', line)
        if head:
            member = head.group(1) if path.endswith('.a') else None
            continue
        m = LINE.match(line)
        if m and writable(m.group(1), m.group(2)):
            flags = m.group(1)
            rows.append((member, flags[0] == 'u' or flags[1] == 'w', m.group(3)))
    return rows


def symbols(build):
    """Source path -> set of global names. A weak or unique symbol (a
    template's or an inline variable's) is counted once, in the first file."""
    libs = libraries(build)
    if not libs:
        sys.exit(f'globals.py: no libchainball_*.a in {build}')
    found, weak_seen = {}, set()
    inputs = [(lib, object_paths(build, lib)) for lib in libs] + [(o, None) for o in program_objects(build)]
    rows = []
    for path, members in inputs:
        for member, weak, name in object_symbols(path):
            source = members.get(member, source_of(member)) if members is not None else source_of(path)
            rows.append((source, weak, name))
    for source, weak, name in sorted(rows):
        if not ours(name):
            continue
        if weak:
            if name in weak_seen:
                continue
            weak_seen.add(name)
        found.setdefault(source, set()).add(name)
    return found


def read_reasons(path=REASONS):
    """'[intro]' and each '[source path]' -> its text, lines joined; the
    '[classic]' section -> the list of the names it gives (spaces or commas
    between them)."""
    sections, current = {}, None
    with open(path, encoding='utf-8') as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip('\n')
            if line.startswith('#'):
                continue
            m = re.match(r'\[([^\]]+)\]\s*$', line)
            if m:
                current = m.group(1)
                if current in sections:
                    sys.exit(f'{path}:{number}: [{current}] given twice')
                sections[current] = []
            elif line.strip():
                if current is None:
                    sys.exit(f'{path}:{number}: text before the first [section]')
                sections[current].append(line.strip())
    reasons = {k: ' '.join(v) for k, v in sections.items() if k != CLASSIC}
    reasons[CLASSIC] = [n for line in sections.get(CLASSIC, []) for n in re.split(r'[\s,]+', line) if n]
    return reasons


def is_classic(source, name, classic):
    """Whether a global is one the classic game's design names: listed in
    [classic] by its name, or as 'source:name' for that file alone."""
    n = short(name)
    return n in classic or f'{source}:{n}' in classic


def split_classic(found, classic):
    """(the project's own, the classic game's): each source path -> names."""
    own, kept = {}, {}
    for source, names in found.items():
        for name in names:
            (kept if is_classic(source, name, classic) else own).setdefault(source, set()).add(name)
    return own, kept


def count(found):
    return sum(len(v) for v in found.values())


def cell(text):
    return text.replace('|', '\\|')


def name_cells(names):
    return ', '.join(f'`{cell(n)}`' for n in sorted(map(short, names)))


def markdown(found, reasons):
    own, kept = split_classic(found, reasons.get(CLASSIC, []))
    explained = {s: n for s, n in own.items() if s in reasons}
    unexplained = {s: n for s, n in own.items() if s not in reasons}
    out = ['<!-- SPDX-License-Identifier: GPL-3.0-or-later -->',
           '<!-- Written by `make docs` (tools/globals.py BUILD --markdown docs/globals.md)',
           '     from a build and tools/globals_reasons.txt: edit those, not this page. -->',
           '# What stays global', '']
    if reasons.get('intro'):
        out += [reasons['intro'], '']
    out += [f'The build has {count(found)} writable globals in {len(found)} source files '
            f'(function-local statics included; constants, and the statics of the standard '
            f'library, toml++ and CLI11, left out):', '',
            f'- **{count(kept)}** are the classic game\'s, kept by design;',
            f'- **{count(own)}** are the project\'s own, against a target of at most **{TARGET}**.', '',
            '`tools/globals.py build` lists them, `--count` counts the project\'s own.', '',
            f"## The project's own ({count(own)})", '']
    if explained:
        out += ['| File | Globals | Owner and why it is global |', '|---|---|---|']
        for source in sorted(explained):
            out.append(f'| `src/{source}` | {name_cells(explained[source])} | {cell(reasons[source])} |')
        out.append('')
    if unexplained:
        out += ['### Without a reason', '',
                'These files have globals of the project\'s own but no entry in `tools/globals_reasons.txt`:', '',
                '| File | Globals |', '|---|---|']
        for source in sorted(unexplained):
            out.append(f'| `src/{source}` | {name_cells(unexplained[source])} |')
        out.append('')
    if kept:
        out += [f"## The classic game's ({count(kept)})", '',
                'The globals that the classic game\'s design names, listed under `[classic]` in '
                '`tools/globals_reasons.txt`. The classic screens share them as that design has it; '
                'they stay by design and are not held to the target.', '',
                '| File | Globals |', '|---|---|']
        for source in sorted(kept):
            out.append(f'| `src/{source}` | {name_cells(kept[source])} |')
        out.append('')
    return '\n'.join(out)


def check(page, path):
    """0 when the file at path is page; else 1, with the difference shown."""
    with tempfile.NamedTemporaryFile('w', suffix='.md', encoding='utf-8', delete=False) as tmp:
        tmp.write(page)
    try:
        with open(tmp.name, encoding='utf-8') as f:
            fresh = f.read().splitlines()
        try:
            with open(path, encoding='utf-8') as f:
                kept = f.read().splitlines()
        except OSError as e:
            print(f'{path}: {e.strerror}; make docs writes it')
            return 1
        diff = list(difflib.unified_diff(kept, fresh, path, 'regenerated', lineterm=''))
        if diff:
            print(f'{path} is stale: make docs writes it afresh. The difference:')
            print('\n'.join(diff))
            return 1
        return 0
    finally:
        os.unlink(tmp.name)


def main(argv):
    args = argv[1:]
    if not args or args[0].startswith('-') or len(args) > 3:
        sys.exit(__doc__)
    build, rest = args[0], args[1:]
    if rest and rest[0] not in ('--count', '--markdown', '--check') \
            or rest[:1] == ['--count'] and len(rest) != 1 \
            or rest[:1] in (['--markdown'], ['--check']) and len(rest) != 2:
        sys.exit(__doc__)
    found = symbols(build)
    reasons = read_reasons()
    classic = reasons[CLASSIC]
    own, kept = split_classic(found, classic)
    if rest == ['--count']:
        print(count(own))
        return 0
    if rest and rest[0] in ('--markdown', '--check'):
        page = markdown(found, reasons)
        stale = sorted(k for k in reasons if k not in ('intro', CLASSIC) and k not in own)
        for source in stale:
            print(f'note: {source} has a reason in tools/globals_reasons.txt but no globals of the project\'s own',
                  file=sys.stderr)
        seen = {short(n) for names in kept.values() for n in names}
        seen |= {f'{s}:{short(n)}' for s, names in kept.items() for n in names}
        for name in classic:
            if name not in seen:
                print(f'note: {name} is listed as the classic game\'s but the build has no such global',
                      file=sys.stderr)
        if rest[0] == '--check':
            return check(page, rest[1])
        if rest[1] == '-':
            sys.stdout.write(page)
        else:
            with open(rest[1], 'w', encoding='utf-8') as f:
                f.write(page)
        return 0
    for source in sorted(found):
        print(f'{source} ({len(found[source])})')
        for name in sorted(found[source], key=short):
            print(f'    {short(name)}' + ('  (classic)' if is_classic(source, name, classic) else ''))
    print(f'{count(found)} globals in {len(found)} files: {count(kept)} the classic game\'s, '
          f'{count(own)} the project\'s own (target: at most {TARGET})')
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
