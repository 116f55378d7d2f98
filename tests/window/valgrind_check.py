#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads a valgrind log of the game: fails on lost memory, and on any block
still allocated at exit that our own code asked for (a surface, font or
chunk that shut-down forgot). Blocks that the libraries keep for themselves
are theirs to keep.

Usage: valgrind_check.py LOG SRC_DIR
"""
import os
import re
import sys

log, src = sys.argv[1], sys.argv[2]
ours = {f for _, _, files in os.walk(src) for f in files if f.endswith(".cpp")}
# How many frames above the allocation our code may stand and still be the
# one that asked for the block (IMG_Load and TTF_OpenFont go a few calls deep).
DEPTH = 7

records, current = [], None
for line in open(log, errors="replace"):
    line = re.sub(r"^==\d+== ?", "", line.rstrip("\n"))
    m = re.match(r"([\d,]+) bytes in ([\d,]+) blocks are (definitely lost|indirectly lost|possibly lost|still reachable)", line)
    if m:
        current = {"head": line, "kind": m.group(3), "frames": []}
        records.append(current)
    elif current is not None and re.match(r"\s+(at|by) 0x", line):
        current["frames"].append(line.strip())
    elif current is not None and not line.strip():
        current = None

# Blocks reached through these calls are the libraries' own running state,
# kept (or freed) by the libraries themselves.
LIBRARY_STATE = {"SDL_Init", "SDL_InitSubSystem", "SDL_SetVideoMode", "SDL_WM_SetCaption",
                 "Mix_OpenAudio", "Mix_CloseAudio", "TTF_Init", "SDL_Quit"}


def function_of(frame):
    m = re.match(r"(?:at|by) 0x[0-9A-F]+: (\S+?)(?:\(|\s)", frame)
    return m.group(1) if m else ""


def frame_is_ours(frame):
    m = re.search(r"\(([\w.]+\.cpp):\d+\)$", frame)
    return bool(m and m.group(1) in ours)

bad = []
for r in records:
    allocs = [f for f in r["frames"] if "vgpreload" not in f]
    if r["kind"] in ("definitely lost", "indirectly lost"):
        bad.append(r)
    else:
        near = [i for i, f in enumerate(allocs[:DEPTH]) if frame_is_ours(f)]
        if near and not (near[0] > 0 and function_of(allocs[near[0] - 1]) in LIBRARY_STATE):
            bad.append(r)

summary = [l for l in open(log, errors="replace") if re.search(r"definitely lost:|indirectly lost:|still reachable:|ERROR SUMMARY", l)]
sys.stdout.write("".join(summary))
for r in bad:
    print(r["head"])
    for f in r["frames"][:12]:
        print("    " + f)
if bad:
    print(f"{len(bad)} loss record(s) of ours")
    sys.exit(1)
print(f"{len(records)} loss records, none of ours")
