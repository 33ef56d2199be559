# Brisel's canvas and tool panel in sway's tree (swaymsg -t get_tree on standard input): prints a line each,
# "1.1" or "Tools", then x, y, width and height with the title bar sway draws, then 1 where it floats. Exits
# with 0 where the panel is placed, whole on the workspace WIDTH pixels wide (the argument): beside a
# floating canvas, or inside the right edge of a tiled one; else 1.
import json
import sys

found = {}


def walk(node):
    if node.get("name", "").startswith(("Brisel 1.1 for", "Brisel Tools")):
        rect, title = node["rect"], node["deco_rect"]["height"]
        found[node["name"].split()[1]] = (rect["x"], rect["y"] - title, rect["width"], rect["height"] + title,
                                          int(node["type"] == "floating_con"))
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child)


walk(json.load(sys.stdin))
for name, window in sorted(found.items()):
    print(name, *window)
if "1.1" not in found or "Tools" not in found:
    sys.exit(1)
cx, _, cw, _, floats = found["1.1"]
px, _, pw, _, _ = found["Tools"]
on_workspace = 0 <= px and px + pw <= int(sys.argv[1])
sys.exit(0 if on_workspace and (px == cx + cw if floats else px + pw == cx + cw) else 1)
