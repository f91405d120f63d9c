#!/usr/bin/python3
"""Fails when a source file includes a header from a layer above its own.

The layers and what each may include are drawn in docs/architecture.md; this table is the
same picture in a form a program can check. A folder may include its own headers and those
of the folders listed for it. Includes written "folder/..." are attributed to that folder;
bare names ("kv2_cam.h", "MainWindow.h") to the including file's own folder when the header
sits beside it, otherwise to devlib when devlib has a header of that name. The lower layers
also must not include Qt GUI, VTK, Qwt or docking headers (they link no Qt GUI module), and
the non-GUI layers no Qt header at all.

Usage: check-layering.py [ROOT]   (default: the repository this script lives in)
Exit status 0 when every include keeps to the layering, 1 otherwise (each offence printed).
"""

import glob
import os
import re
import sys

# Layer of a source file: the longest matching folder prefix.
LAYERS = [
    "devlib",
    "camera",
    "lightsource/lsx",
    "acquisition",
    "view",
    "widgets",
    "lightsource/panel",
    "server",
    "app",
]

# What each layer may include besides itself.
ALLOWED = {
    "devlib": set(),
    "camera": {"devlib"},
    "lightsource/lsx": {"camera", "devlib"},
    "acquisition": {"camera", "devlib"},
    "view": {"acquisition", "camera", "devlib"},
    "widgets": {"acquisition", "camera", "devlib"},
    "lightsource/panel": {"lightsource/lsx", "widgets", "acquisition", "camera", "devlib"},
    "server": {"camera", "lightsource/lsx", "devlib"},
    "app": {"devlib", "camera", "lightsource/lsx", "acquisition", "view", "widgets",
            "lightsource/panel"},
}

# Which third-party headers a layer may use: "none" = no Qt, VTK, Qwt or docking header;
# "core" = QtCore only; "gui" = anything.
TOOLKIT = {
    "devlib": "none",
    "camera": "none",
    "lightsource/lsx": "none",
    "server": "none",
    "acquisition": "core",
}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c")


def layer_of(path):
    """The layer a repository-relative path belongs to, or None outside the layers."""
    best = None
    for layer in LAYERS:
        if path == layer or path.startswith(layer + "/"):
            if best is None or len(layer) > len(best):
                best = layer
    return best


def devlib_headers(root):
    names = set()
    for path in glob.glob(os.path.join(root, "devlib", "**", "*.h"), recursive=True):
        names.add(os.path.basename(path))
    return names


def qt_gui_headers():
    """Bare Qt class headers (<QWidget>) that belong to a Qt GUI module."""
    names = set()
    for base in glob.glob("/usr/include/*/qt5") + glob.glob("/usr/include/qt5"):
        for module in ("QtGui", "QtWidgets", "QtOpenGL", "QtSvg"):
            folder = os.path.join(base, module)
            if os.path.isdir(folder):
                names.update(n for n in os.listdir(folder) if not n.endswith(".h"))
    return names


def toolkit_offence(policy, name, gui_names):
    """Why an angle-bracket include breaks the layer's toolkit policy, or None."""
    first = name.split("/")[0]
    is_qt = first.startswith("Qt") or (re.match(r"^Q[A-Z]\w*$", name) is not None)
    is_gui_toolkit = (name.startswith("vtk") or name.startswith("qwt") or first == "qwt"
                      or first == "qtadvanceddocking" or name.startswith("QVTK"))
    if policy == "none" and (is_qt or is_gui_toolkit):
        return "a Qt or GUI toolkit header in a layer that links no Qt"
    if policy == "core":
        if is_gui_toolkit or first in ("QtGui", "QtWidgets", "QtOpenGL", "QtSvg") \
                or name in gui_names:
            return "a Qt GUI header in a layer that links QtCore only"
    return None


def check(root):
    devlib_names = devlib_headers(root)
    gui_names = qt_gui_headers()
    offences = []
    for layer in LAYERS:
        for path in sorted(glob.glob(os.path.join(root, layer, "**", "*"), recursive=True)):
            if not path.endswith(SOURCE_SUFFIXES) or not os.path.isfile(path):
                continue
            rel = os.path.relpath(path, root).replace(os.sep, "/")
            own = layer_of(rel)
            if own != layer:
                continue  # a deeper layer's file, checked under that layer
            with open(path, encoding="utf-8", errors="replace") as source:
                for number, line in enumerate(source, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    quote, name = match.groups()
                    why = None
                    if quote == "<":
                        why = toolkit_offence(TOOLKIT.get(own, "gui"), name, gui_names)
                    else:
                        target = layer_of(name) if "/" in name else None
                        if target is None and "/" not in name:
                            beside = os.path.join(os.path.dirname(path), name)
                            if os.path.exists(beside):
                                target = own
                            elif name in devlib_names:
                                target = "devlib"
                        if target is None and "/" in name and name.split("/")[0] in ("tests", "bench"):
                            target = name.split("/")[0]
                        if target is not None and target != own and target not in ALLOWED[own]:
                            why = f"{own}/ may not include from {target}/"
                    if why:
                        closing = ">" if quote == "<" else '"'
                        offences.append(f"{rel}:{number}: #include {quote}{name}{closing}: {why}")
    return offences


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    offences = check(root)
    for offence in offences:
        print(offence)
    if offences:
        print(f"layering: {len(offences)} include(s) break the layering (see docs/architecture.md)")
        return 1
    print("layering: every include keeps to the layering")
    return 0


if __name__ == "__main__":
    sys.exit(main())
