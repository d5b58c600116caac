#!/usr/bin/python3
"""Checks that no two files of the web layer (src/web) depend on each other, even through others.

A file depends on another when it includes its header, when it calls a C entry point the other
defines (glBegin, frimel_...), when it declares with `extern` what the other defines, or when its
header declares a function that only the other file defines. A header and its .cpp are one unit.
Usage: check-layer-cycles.py [LAYER_DIR]   (default: src/web beside this script)
"""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent / "src/web")
sources = {p: p.read_text() for p in sorted(root.rglob("*")) if p.suffix in (".h", ".cpp")}
unit = lambda path: str(path.relative_to(root).with_suffix(""))
units = sorted({unit(p) for p in sources})

def code(text):  # without comments or string literals
    text = re.sub(r'R"\((.|\n)*?\)"', '""', text)
    text = re.sub(r"//[^\n]*|/\*(.|\n)*?\*/", "", text)
    return re.sub(r'"(\\.|[^"\\\n])*"', '""', text)

texts = {p: code(t) for p, t in sources.items()}
defined = {}  # function name -> units defining it
for path, text in texts.items():
    for name in re.findall(r"(?:\w+::)?(\w+)\s*\([^;{}]*\)\s*(?:const\s*)?\{", text):
        defined.setdefault(name, set()).add(unit(path))
entry_points = {n: u for n, u in defined.items() if re.match(r"(gl|glu|glut|frimel_)[A-Za-z_]", n) and len(u) == 1}

edges = {u: set() for u in units}
why = {}
def depend(a, b, reason):
    if a != b and b in edges:
        edges[a].add(b)
        why.setdefault((a, b), reason)

for path, text in texts.items():
    here = unit(path)
    for header in re.findall(r'#include\s+"web/([^"]+)\.h"', sources[path]):
        depend(here, header, "includes " + header + ".h")
    for name, (there,) in entry_points.items():
        if re.search(r"(?<![\w.>:])" + name + r"\s*\(", text) and there != here:
            depend(here, there, "calls " + name)
    declarations = re.findall(r"\b(\w+)\s*\([^;{}()]*(?:\([^()]*\)[^;{}()]*)*\)\s*(?:const\s*)?;", text)
    if path.suffix == ".cpp":
        declarations = re.findall(r"\bextern\b[^;{]*?\b(\w+)\s*\([^;{]*\)\s*;", text)
    for name in declarations:
        owners = defined.get(name, set())
        if owners and here not in owners:
            for there in owners:
                depend(here, there, "declares " + name + ", defined there")

# Depth-first search; a unit met again while still on the path closes a cycle.
cycles, state, path = [], {}, []
def visit(u):
    state[u] = "open"
    path.append(u)
    for v in sorted(edges[u]):
        if state.get(v) == "open":
            cycles.append(path[path.index(v):] + [v])
        elif v not in state:
            visit(v)
    path.pop()
    state[u] = "done"
for u in units:
    if u not in state:
        visit(u)

for cycle in cycles:
    steps = [f"{a} -> {b} ({why[(a, b)]})" for a, b in zip(cycle, cycle[1:])]
    print("web layer cycle:\n  " + "\n  ".join(steps), file=sys.stderr)
edge_count = sum(len(v) for v in edges.values())
print(f"web layer: {len(units)} units, {edge_count} dependencies, {len(cycles)} cycles")
sys.exit(1 if cycles else 0)
