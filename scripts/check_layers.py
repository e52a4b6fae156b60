#!/usr/bin/env python3
"""Checks every include of the product's sources against layers.txt.

    scripts/check_layers.py [ROOT]

Fails, naming the file, the line and the include, on an include that runs up
a layer, sideways into a folder its rule does not name, or into a folder
layers.txt does not declare. Headers are named from a folder's root
("core/ljungcv.h", "cvmodule/cvhost.h" for kit's public header) or, for a
folder's own files, by file name alone. Both forms count: an include in
angle brackets that names a folder of layers.txt (<standin/call.h>) is
checked as the quoted form is; other angle-bracket includes (<vector>,
<fmt/format.h>) are the system's and the libraries'.
"""
import pathlib
import re
import sys

SOURCES = {".c", ".cc", ".cpp", ".h", ".hpp", ".rc", ".in"}
INCLUDE = re.compile(r'^\s*#\s*include\s*(?:"([^"]+)"|<([^>]+)>)')
# Public include roots that are not the folder's own name.
ROOT_NAMES = {"cvmodule": "kit"}


def read_layers(path):
    layers = {}
    for number, line in enumerate(path.read_text().splitlines(), 1):
        words = line.split("#", 1)[0].split()
        if not words:
            continue
        if len(words) < 2 or not words[1].isdigit() or (len(words) > 2 and words[2] not in ("also", "only")):
            sys.exit(f"{path}:{number}: expected 'folder layer [also|only folder...]'")
        layers[words[0]] = (int(words[1]), words[2] if len(words) > 2 else None, set(words[3:]))
    return layers


def allowed(layers, source, target):
    if source == target:
        return True
    layer, rule, named = layers[source]
    if rule == "only":
        return target in named
    return layers[target][0] < layer or (rule == "also" and target in named)


def folder_of(include, layers):
    first = include.split("/", 1)[0] if "/" in include else None
    if first is None:
        return None
    return ROOT_NAMES.get(first, first)


def check(root):
    layers = read_layers(root / "layers.txt")
    faults = []
    for folder in sorted(layers):
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in SOURCES or not path.is_file():
                continue
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                quoted, bracketed = match.groups()
                include = quoted if quoted is not None else bracketed
                target = folder_of(include, layers)
                spelled = f'"{include}"' if quoted is not None else f"<{include}>"
                where = f"{path.relative_to(root)}:{number}: #include {spelled}"
                if target is None:
                    continue  # the folder's own file, or a system header
                if bracketed is not None and target not in layers:
                    continue  # a system or library header
                if target not in layers:
                    faults.append(f"{where}: '{target}' is no layer in layers.txt")
                elif not allowed(layers, folder, target):
                    faults.append(f"{where}: {folder} (layer {layers[folder][0]}) may not include "
                                  f"{target} (layer {layers[target][0]})")
    return faults


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    faults = check(root)
    for fault in faults:
        print(fault)
    if faults:
        print(f"check_layers: {len(faults)} include(s) cross the layers declared in layers.txt")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
