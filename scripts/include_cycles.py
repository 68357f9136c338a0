#!/usr/bin/env python3
"""Counts the files of a source folder that sit in an include cycle.

A unit is a header and its source file together (x.h + x.cpp); unit A uses unit B when either of A's files
includes B's header. Units of one strongly connected component larger than one are in a cycle.
Usage: scripts/include_cycles.py SRC_ROOT FOLDER [FOLDER...]   (e.g. scripts/include_cycles.py src app)
"""
import os, re, sys

root, folders = sys.argv[1], sys.argv[2:]
inc = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
units, uses = set(), {}
for folder in folders:
    for name in sorted(os.listdir(os.path.join(root, folder))):
        stem, ext = os.path.splitext(name)
        if ext not in ('.h', '.cpp'):
            continue
        unit = f'{folder}/{stem}'
        units.add(unit)
        with open(os.path.join(root, folder, name), encoding='utf-8', errors='replace') as f:
            for target in inc.findall(f.read()):
                used = os.path.splitext(target)[0]
                if used != unit:
                    uses.setdefault(unit, set()).add(used)
graph = {u: sorted(v for v in uses.get(u, ()) if v in units) for u in sorted(units)}

# Tarjan's strongly connected components.
index, low, stack, on, comps, n = {}, {}, [], set(), [], [0]
def visit(v):
    index[v] = low[v] = n[0]; n[0] += 1; stack.append(v); on.add(v)
    for w in graph[v]:
        if w not in index:
            visit(w); low[v] = min(low[v], low[w])
        elif w in on:
            low[v] = min(low[v], index[w])
    if low[v] == index[v]:
        comp = []
        while True:
            w = stack.pop(); on.discard(w); comp.append(w)
            if w == v: break
        comps.append(sorted(comp))
sys.setrecursionlimit(10000)
for v in graph:
    if v not in index:
        visit(v)
cyclic = [c for c in comps if len(c) > 1]
mutual = sorted({tuple(sorted((a, b))) for a in graph for b in graph[a] if a in graph.get(b, [])})
print(f'units: {len(units)}; in an include cycle: {sum(len(c) for c in cyclic)}; mutual pairs: {len(mutual)}')
for c in cyclic:
    print('  cycle:', ' '.join(c))
for a, b in mutual:
    print(f'  {a} <-> {b}')
