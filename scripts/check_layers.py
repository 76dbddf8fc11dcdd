#!/usr/bin/env python3
"""Keeps the source folders in their layers and every control name in one place.

1. Every `#include "..."` under src/ and sim/ is checked: the folder of the
   including file against the folder of the included one, by the table below.
   The layers, bottom up: base; jiglink; update and session; the modes; app;
   frontend; the two front ends cli and gui. A lower layer never includes a
   higher one, so no folder cycle can come back.
2. A layout-name literal (`inline constexpr const char* kX = "NAME";`) is
   defined once among src/base/names.h and src/*/*_controls.h: a second
   spelling would let a typo show only when the program runs.

Usage: scripts/check_layers.py [ROOT]   (ROOT defaults to the repository)
Exit status 1 and one line per problem when something is out of place.
"""

import re
import sys
from pathlib import Path

# The mode folders. A folder of src/ with a *_controls.h (the layout of a
# mode's window) is a mode folder too, so a new mode needs no line here.
MODE_FOLDERS = {
    "edid",
    "kb901x_form",
    "keyboard",
    "mec16xx",
    "ite",
    "npce",
    "nuvoton_jtag_form",
}

# The folders of src/ that are no mode, with the layers each may include
# (its own always). "modes" stands for every mode folder's core files,
# "mode windows" and "mode commands" for their *_window and *_command files.
LAYERS = {
    "base": set(),
    "jiglink": {"base"},
    "update": {"base", "jiglink"},
    "session": {"base", "jiglink"},
    "app": {"base", "jiglink", "update", "session"},
    "frontend": {"base", "jiglink", "sim"},
    # The simulated JIG is a model of the fixture of its own: nothing of
    # src/, so a mistake on the PC side cannot be mirrored in it.
    "sim": set(),
    "cli": {"base", "jiglink", "update", "session", "modes", "mode commands", "app",
            "frontend"},
    "gui": {"base", "jiglink", "update", "session", "modes", "mode windows", "app",
            "frontend"},
}

# Subfolders that belong to their parent's layer.
SUBFOLDERS = {"jiglink/backends": "jiglink"}

# Single files allowed one include more than their layer.
FILE_EXCEPTIONS = {
    # The simulated JIG behind the device layer.
    ("src/jiglink/backends/sim_port.cpp", "sim"),
}

# What a mode's files may include besides their own mode's core files.
MODE_CORE = {"base", "jiglink", "session"}
MODE_WINDOW = MODE_CORE | {"gui"}
MODE_COMMAND = MODE_CORE | {"cli", "frontend", "app"}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
NAME_DEFINITION = re.compile(
    r'inline\s+constexpr\s+const\s+char\s*\*\s*(k\w+)\s*=\s*"((?:[^"\\\n]|\\.)*)"\s*;')


class Unit:
    """Where a file stands: its layer, and for a mode file its mode and kind."""

    def __init__(self, layer, mode=None, kind=None):
        self.layer = layer  # a LAYERS key or "mode"
        self.mode = mode
        self.kind = kind  # "core", "window" or "command" for a mode file

    def name(self):
        if self.layer != "mode":
            return self.layer
        return self.mode if self.kind == "core" else f"{self.mode} {self.kind} files"


def unit_of(relative_path):
    """The unit of a path relative to the repository root, None when unknown."""
    parts = relative_path.split("/")
    if parts[0] == "sim":
        return Unit("sim")
    if parts[0] != "src" or len(parts) < 3:
        return None
    folder = "/".join(parts[1:-1])
    folder = SUBFOLDERS.get(folder, folder)
    if folder in LAYERS:
        return Unit(folder)
    if folder in MODE_FOLDERS:
        stem = parts[-1].rsplit(".", 1)[0]
        kind = "core"
        if stem.endswith("_window"):
            kind = "window"
        elif stem.endswith("_command"):
            kind = "command"
        return Unit("mode", folder, kind)
    return None


def included_path(including, target):
    """The repository path an include names. Includes are written from src/
    (and sim/ from the root); a bare file name is beside the including file."""
    if "/" not in target:
        return str(Path(including).parent / target)
    if target.startswith("sim/"):
        return target
    return "src/" + target


def allowed(source, target, source_path):
    if (source_path, target.name()) in FILE_EXCEPTIONS:
        return True
    if source.layer != "mode":
        if target.layer == source.layer:
            return True
        if target.layer == "mode":
            wanted = {"core": "modes", "window": "mode windows", "command": "mode commands"}
            return wanted[target.kind] in LAYERS[source.layer]
        return target.layer in LAYERS[source.layer]
    # A mode file.
    if target.layer == "mode":
        if target.mode != source.mode:
            return False
        return target.kind == "core" or target.kind == source.kind
    extra = {"core": MODE_CORE, "window": MODE_WINDOW, "command": MODE_COMMAND}[source.kind]
    return target.layer in extra


def unknown_folder_line(where, folder):
    return (f"{where}: folder {folder} is in no layer: add it to LAYERS in "
            f"scripts/check_layers.py (a mode folder is known by its *_controls.h)")


def discover_mode_folders(root):
    for controls in (root / "src").glob("*/*_controls.h"):
        folder = controls.parent.name
        if folder not in LAYERS:
            MODE_FOLDERS.add(folder)


def check_includes(root):
    discover_mode_folders(root)
    problems = []
    checked = 0
    files = sorted(p for p in (root / "src").rglob("*") if p.suffix in {".h", ".cpp", ".def"})
    files += sorted(p for p in (root / "sim").rglob("*") if p.suffix in {".h", ".cpp"})
    for path in files:
        relative = path.relative_to(root).as_posix()
        source = unit_of(relative)
        if source is None:
            problems.append(unknown_folder_line(relative, str(Path(relative).parent)))
            continue
        lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
        for number, line in enumerate(lines, start=1):
            match = INCLUDE.match(line)
            if not match:
                continue
            checked += 1
            target_text = match.group(1)
            target_path = included_path(relative, target_text)
            target = unit_of(target_path)
            where = f"{relative}:{number}"
            if target is None:
                problems.append(unknown_folder_line(f"{where}: includes {target_text}",
                                                    str(Path(target_path).parent)))
            elif not allowed(source, target, relative):
                problems.append(f"{where}: includes {target_text} (layer {source.name()} "
                                f"may not include layer {target.name()})")
    return problems, checked


def check_control_names(root):
    problems = []
    first = {}
    files = [root / "src/base/names.h"] + sorted((root / "src").glob("*/*_controls.h"))
    for path in files:
        if not path.is_file():
            continue
        relative = path.relative_to(root).as_posix()
        text = path.read_text(encoding="utf-8", errors="replace")
        for match in NAME_DEFINITION.finditer(text):
            name, literal = match.group(1), match.group(2)
            where = f"{relative}:{text.count(chr(10), 0, match.start()) + 1}"
            if literal in first:
                earlier_where, earlier_name = first[literal]
                problems.append(f'{where}: {name} = "{literal}" is defined already as '
                                f"{earlier_name} at {earlier_where} (refer to that one)")
            else:
                first[literal] = (where, name)
    return problems, len(first)


def main(argv):
    root = Path(argv[1] if len(argv) > 1 else Path(__file__).resolve().parent.parent)
    include_problems, includes = check_includes(root)
    name_problems, names = check_control_names(root)
    problems = include_problems + name_problems
    for line in problems:
        print(line)
    print(f"layers: {includes} includes checked, {names} control names; "
          f"{len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
