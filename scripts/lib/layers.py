#!/usr/bin/env python3
"""The layers of the tree, checked: every #include "folder/file" of the C++ sources must name a file
of its own layer or of one below it, and no two files of different folders may need each other in a
circle (a header and the sources of the same name count as one file). Prints what it checked and
each fault; exits 1 on any. Usage: scripts/lib/layers.py [ROOT]"""
import os
import re
import sys

# Lowest first. A file includes from its own row and the rows above it, never from a row below.
LAYERS = [
    ('platform', ['web', 'assets']),  # the browser's stand-ins for Windows; the embedded data
    ('base', ['base']),               # arithmetic and random numbers, clock, heap
    ('module', ['module']),           # streams, the XM loader, the in-memory module
    ('player', ['player']),           # sequencer, channels, effects, the voices it writes
    ('audio', ['audio']),             # mixer, slices, the ring and its devices, the polled loop
    ('gfx', ['gfx']),                 # device set-up, textures, DXT1, scroll text
    ('show', ['show']),               # timeline, fades, effects
    ('app', ['shell']),               # entry, window, main loop, shutdown
    ('tools', ['tools']),             # xmtool, forge, the capture build's pieces
    ('tests', ['tests', 'bench']),    # nothing in the program includes these
]
RANK = {folder: rank for rank, (_, folders) in enumerate(LAYERS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)


def folder_of(path):
    return path.split('/', 1)[0]


def unit_of(path):
    """One node per piece: dir/name.h, dir/name.cpp and its twins dir/name_win32.cpp and so on."""
    stem = os.path.splitext(path)[0]
    return re.sub(r'_(win32|d3d8|host|web)$', '', stem)


def main(root):
    sources = []
    for folder in RANK:
        for d, dirs, names in os.walk(os.path.join(root, folder)):
            dirs[:] = [n for n in dirs if n not in ('corpus', 'node_modules')]
            sources += [os.path.relpath(os.path.join(d, n), root) for n in names if n.endswith(('.cpp', '.h'))]
    faults = []
    edges = {}
    count = 0
    for src in sorted(sources):
        with open(os.path.join(root, src), encoding='utf-8', errors='replace') as f:
            text = f.read()
        for m in INCLUDE.finditer(text):
            inc = m.group(1)
            if '/' not in inc or folder_of(inc) not in RANK or not os.path.isfile(os.path.join(root, inc)):
                continue  # a system header or one of the folder's own include path (web/include)
            count += 1
            line = text.count('\n', 0, m.start()) + 1
            if RANK[folder_of(inc)] > RANK[folder_of(src)]:
                faults.append(f'{src}:{line}: includes {inc}, a layer above its own '
                              f'({LAYERS[RANK[folder_of(inc)]][0]} over {LAYERS[RANK[folder_of(src)]][0]})')
            if unit_of(inc) != unit_of(src):
                edges.setdefault(unit_of(src), set()).add(unit_of(inc))
    for circle in circles(edges):
        if len({folder_of(u) for u in circle}) > 1:
            faults.append('circle between folders: ' + ' -> '.join(sorted(circle)))
    print(f'layers: {len(sources)} files, {count} includes of the tree checked against {len(LAYERS)} layers')
    for fault in faults:
        print('layers: ' + fault)
    return 1 if faults else 0


def circles(edges):
    """The groups of files that reach each other through includes (a small graph: a search from each)."""
    reach = {}
    for start in edges:
        seen, todo = set(), [start]
        while todo:
            for n in edges.get(todo.pop(), ()):
                if n not in seen:
                    seen.add(n); todo.append(n)
        reach[start] = seen
    groups = {frozenset([u] + [v for v in reach[u] if u in reach.get(v, ())]) for u in reach if u in reach[u]}
    return [sorted(g) for g in groups]


if __name__ == '__main__':
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', '..')))
