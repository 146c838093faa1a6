"""The file managers' "Rename with Quarrytide…" entries parse as their file
managers read them and hand the selection to the program. The desktop-file
validator refuses both key files by design (a KDE service menu's Type=Service,
Nemo's [Nemo Action] group are no freedesktop entries), so they are read here
with the same key-file rules."""

import ast
import configparser
import pathlib
import sys

here = pathlib.Path(sys.argv[1])
failures = []


def keyfile(name):
    parser = configparser.ConfigParser(interpolation=None, strict=True, delimiters=("=",))
    parser.optionxform = str  # keys are case-sensitive
    parser.read_string((here / name).read_text(encoding="utf-8"), source=name)
    return parser


def expect(ok, what):
    if not ok:
        failures.append(what)


dolphin = keyfile("quarrytide-dolphin.desktop")
entry = dolphin["Desktop Entry"]
expect(entry.get("Type") == "Service", "dolphin: Type is Service")
expect("KonqPopupMenu/Plugin" in entry.get("X-KDE-ServiceTypes", ""), "dolphin: a popup menu plugin")
for action in filter(None, entry.get("Actions", "").split(";")):
    group = dolphin[f"Desktop Action {action}"] if dolphin.has_section(f"Desktop Action {action}") else {}
    expect(group.get("Exec", "").split()[:1] == ["quarrytide"] and "%U" in group.get("Exec", ""), f"dolphin: {action} runs quarrytide %U")
    expect(bool(group.get("Name")), f"dolphin: {action} has a name")

nemo = keyfile("quarrytide.nemo_action")["Nemo Action"]
expect(nemo.get("Exec", "").startswith("quarrytide ") and "%F" in nemo.get("Exec", ""), "nemo: runs quarrytide %F")
expect(nemo.get("Selection", "").lower() == "notnone" and nemo.get("Extensions") == "any;", "nemo: any selection")
expect(bool(nemo.get("Name")), "nemo: has a name")

source = here / "quarrytide-nautilus.py"
# compiled as Python compiles it, nothing written
tree = ast.parse(source.read_text(encoding="utf-8"))
compile(tree, str(source), "exec")
providers = [c for c in tree.body if isinstance(c, ast.ClassDef) and any(ast.unparse(b) == "Nautilus.MenuProvider" for b in c.bases)]
expect(any(f.name == "get_file_items" for c in providers for f in c.body if isinstance(f, ast.FunctionDef)), "nautilus: a menu provider with get_file_items")

for f in failures:
    print("file managers:", f)
sys.exit(1 if failures else 0)
