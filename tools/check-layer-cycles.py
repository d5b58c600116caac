#!/usr/bin/python3
"""Checks that no two files of the web layer (src/web) depend on each other, even through others.

A file depends on another when it includes its header, when it calls a C entry point the other
defines (glBegin, frimel_...), when it declares with `extern` what the other defines, or when its
header declares a function that only the other file defines. A header and its .cpp are one unit.
The page's modules (site/*.js) are checked the same way, apart: a module depends on another when
it imports it, at once (`import ... from './x.js'`, `export ... from`) or on demand
(`import('./x.js')`); an import() of anything but such a name cannot be checked, and fails too.
So does a module imported at once that site/index.html neither runs nor preloads: the page would
find it only once its importer arrived, a round trip late.
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
def find_cycles(edges):
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
    for u in sorted(edges):
        if u not in state:
            visit(u)
    return cycles

def report(what, edges, why, count_name, failures=()):
    cycles = find_cycles(edges)
    for cycle in cycles:
        steps = [f"{a} -> {b} ({why[(a, b)]})" for a, b in zip(cycle, cycle[1:])]
        print(f"{what} cycle:\n  " + "\n  ".join(steps), file=sys.stderr)
    for failure in failures:
        print(f"{what}: {failure}", file=sys.stderr)
    edge_count = sum(len(v) for v in edges.values())
    print(f"{what}: {len(edges)} {count_name}, {edge_count} dependencies, {len(cycles)} cycles")
    return not cycles and not failures

# The page's modules, by what they import. Comments go, strings stay: import names are strings.
def without_comments(text):
    strings = r"'(?:\\.|[^'\\\n])*'|\"(?:\\.|[^\"\\\n])*\"|`(?:\\.|[^`\\])*`"
    return re.sub(strings + r"|//[^\n]*|/\*[\s\S]*?\*/",
                  lambda m: m.group(0) if m.group(0)[0] in "'\"`" else " ", text)

modules = {p.name: without_comments(p.read_text()) for p in sorted(root.glob("site/*.js"))}
module_edges = {m: set() for m in modules}
module_why, unchecked = {}, []
at_once = {m: set() for m in modules}  # what each imports at once, the build's site.js too
SPECIFIER = r"""['"]([^'"\n]*)['"]"""
for name, text in modules.items():
    found = [(s, "imports") for s in re.findall(r"\b(?:import|export)\b[\w\s{},*$]*?\bfrom\s*" + SPECIFIER, text)]
    found += [(s, "imports") for s in re.findall(r"\bimport\s*" + SPECIFIER, text)]
    for argument in re.findall(r"\bimport\s*\(([^)]*)\)", text):
        quoted = re.fullmatch(r"\s*" + SPECIFIER + r"\s*", argument)
        found.append((quoted.group(1) if quoted else argument.strip(), "imports on demand"))
    for specifier, how in found:
        sibling = re.fullmatch(r"\./([\w.-]+\.js)", specifier)
        if not sibling:
            unchecked.append(f"{name} {how} what cannot be checked: {specifier}")
            continue
        if how == "imports":
            at_once[name].add(sibling.group(1))
        if sibling.group(1) in modules and sibling.group(1) != name:  # the build's site.js imports nothing
            module_edges[name].add(sibling.group(1))
            module_why.setdefault((name, sibling.group(1)), f"{how} {sibling.group(1)}")

index = root / "site/index.html"
page = re.sub(r"<!--[\s\S]*?-->", "", index.read_text()) if index.exists() else ""
entries = re.findall(r"""<script\b[^>]*\btype=["']module["'][^>]*\bsrc=["']([\w.-]+\.js)["']""", page)
preloaded = re.findall(r"""<link\b[^>]*\brel=["']modulepreload["'][^>]*\bhref=["']([\w.-]+\.js)["']""", page)
reached, waiting = set(), list(entries)
while waiting:
    name = waiting.pop()
    if name not in reached:
        reached.add(name)
        waiting += sorted(at_once.get(name, ()))
unchecked += [f"{name} is imported at once, but index.html neither runs nor preloads it"
              for name in sorted(reached - set(entries) - set(preloaded))]

layer_ok = report("web layer", edges, why, "units")
page_ok = report("page modules", module_edges, module_why, "modules", unchecked)
sys.exit(0 if layer_ok and page_ok else 1)
