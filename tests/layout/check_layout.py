#!/usr/bin/env python3
"""Checks that every include between source folders follows the table in src/README.md.

A folder may include itself, the folders its row names, and, transitively, what those may
include. Every folder holding code must have a row, every row must name an existing folder, and a
row may name only folders of earlier rows, so that includes point one way. main.cpp, the program
itself, may include anything. The build enforces the same rule from src/CMakeLists.txt, so each
area there must declare the uses its row names.
"""
import pathlib
import re
import sys

src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[2] / "src")
row = re.compile(r"^\| `([a-z0-9_/]+)/` \|.*\| (.*) \|$")
allowed = {}
errors = []
for line in (src / "README.md").read_text().splitlines():
    m = row.match(line)
    if m:
        named = set(re.findall(r"`([a-z0-9_/]+)/`", m.group(2)))
        for later in sorted(named - allowed.keys()):
            errors.append(f"src/README.md: {m.group(1)}/ names {later}/, which is not an earlier row")
        allowed[m.group(1)] = named

def closure(folder, seen=None):
    seen = set() if seen is None else seen
    for dep in allowed.get(folder, ()):
        if dep not in seen:
            seen.add(dep)
            closure(dep, seen)
    return seen

program = src / "main.cpp"
code_dirs = {p.parent.relative_to(src).as_posix() for p in src.rglob("*")
             if p.suffix in (".cpp", ".h") and p != program}
for folder in sorted(code_dirs - allowed.keys()):
    errors.append(f"{folder}/ holds code but has no row in src/README.md")
for folder in sorted(allowed.keys() - code_dirs):
    errors.append(f"src/README.md names {folder}/, which holds no code")

# The build holds each area to its row: src/CMakeLists.txt must declare the same uses.
folder_of, uses_of = {}, {}
for target, folder, rest in re.findall(r"ovra_add_area\((\w+) ([a-z0-9_/]+)([^)]*)\)",
                                       (src / "CMakeLists.txt").read_text()):
    words = rest.split()
    used = words[words.index("USES") + 1:] if "USES" in words else []
    folder_of[target] = folder
    uses_of[folder] = used[:used.index("LIBRARIES")] if "LIBRARIES" in used else used
for folder in sorted(allowed.keys() - uses_of.keys()):
    errors.append(f"src/CMakeLists.txt declares no area for {folder}/")
for folder, used in sorted(uses_of.items()):
    declared = {folder_of.get(target, target) for target in used}
    if folder in allowed and declared != allowed[folder]:
        errors.append(f"src/CMakeLists.txt: {folder}/ uses {sorted(declared)}, "
                      f"its row names {sorted(allowed[folder])}")

include = re.compile(r'^\s*#\s*include\s+"([^"]+)/[^/"]+"', re.M)
for folder in sorted(code_dirs & allowed.keys()):
    permitted = closure(folder) | {folder, "ovra"}
    for path in sorted((src / folder).glob("*")):
        if path.suffix not in (".cpp", ".h"):
            continue
        for target in include.findall(path.read_text()):
            if target not in permitted:
                errors.append(f"{path.relative_to(src)} includes {target}/, outside what {folder}/ may use")

print("\n".join(errors) if errors else f"{len(code_dirs)} folders follow src/README.md")
sys.exit(1 if errors else 0)
