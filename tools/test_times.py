#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the Time column of the label table in tests/README.md from CTest's
own measurement: the time of each test's last run, which CTest keeps in
BUILD/Testing/Temporary/CTestCostData.txt, added up over the tests of each
label (so the time one after another; `ctest -j2` takes less).

    tools/test_times.py BUILD FILE     rewrite the table's Time column in FILE

A label with a test that has not run in BUILD reads "not measured": run
`ctest -L LABEL` there first (make docs runs this after make test).
"""
import json
import os
import re
import subprocess
import sys


def last_times(build):
    """Test name -> seconds of its last run, from CTest's cost file."""
    times = {}
    path = os.path.join(build, 'Testing', 'Temporary', 'CTestCostData.txt')
    if not os.path.exists(path):
        return times
    with open(path, encoding='utf-8') as f:
        for line in f:
            if line.startswith('---'):
                break   # the failed tests' names follow
            parts = line.split()
            if len(parts) == 3:   # a skipped test counts no run and no time
                times[parts[0]] = float(parts[2]) if int(parts[1]) > 0 else 0.0
    return times


def labels_of_tests(build):
    """Label -> names of its tests, as the build's CTest lists them."""
    out = subprocess.run(['ctest', '--show-only=json-v1'], cwd=build, check=True,
                         capture_output=True, text=True).stdout
    labels = {}
    for test in json.loads(out)['tests']:
        for prop in test.get('properties', []):
            if prop['name'] == 'LABELS':
                for label in prop['value']:
                    labels.setdefault(label, []).append(test['name'])
    return labels


def shown(seconds):
    if seconds < 60:
        return '%.0f s' % max(seconds, 1)
    return '%.1f min' % (seconds / 60)


def time_cell(label, labels, times):
    tests = labels.get(label, [])
    if not tests or any(t not in times for t in tests):
        return 'not measured (`ctest -L %s`)' % label
    return shown(sum(times[t] for t in tests))


ROW = re.compile(r'^\| `([a-z]+)` \|(.*)\| [^|]* \|$')


def rewrite(text, labels, times):
    lines = []
    for line in text.split('\n'):
        m = ROW.match(line)
        if m and m.group(1) in labels:
            line = '| `%s` |%s| %s |' % (m.group(1), m.group(2), time_cell(m.group(1), labels, times))
        lines.append(line)
    return '\n'.join(lines)


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().split('\n\n')[1], file=sys.stderr)
        return 2
    build, path = argv[1], argv[2]
    with open(path, encoding='utf-8') as f:
        text = f.read()
    new = rewrite(text, labels_of_tests(build), last_times(build))
    if new != text:
        with open(path + '.tmp', 'w', encoding='utf-8') as f:
            f.write(new)
        os.replace(path + '.tmp', path)
    print('%s: the Time column from %s' % (path, os.path.join(build, 'Testing')))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
