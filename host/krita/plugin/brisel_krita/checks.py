"""What the plug-in decides without Krita: which layers Brisel paints on, the exchange folder's header, the
environment Brisel starts in, the requests it reads, where Krita's history stands at a send, and which exchange
folders a Krita that died left.

Nothing here imports Krita or Qt, so that it is tested anywhere (tests/krita/checks_test.py).
"""

import os
import shutil
import stat
from collections import namedtuple

# What is known of the layer the painter chose, as Krita reports it. kind is Node.type() ("paintlayer",
# "grouplayer", ...), model and depth Node.colorModel() and Node.colorDepth().
LayerFacts = namedtuple("LayerFacts", "selected kind model depth visible locked animated")

_KIND_ADVICE = {
    "grouplayer": "a layer group, whose pixels come from its layers: select one of them",
    "vectorlayer": "a vector layer: paint on a paint layer (Layer > New > Add Paint Layer), or convert this one "
                   "with Layer > Convert > Convert to Paint Layer",
    "filelayer": "a file layer, whose pixels come from its file: convert it with Layer > Convert > Convert to "
                 "Paint Layer first",
    "clonelayer": "a clone layer, whose pixels come from another layer: paint on that one, or convert this one "
                  "with Layer > Convert > Convert to Paint Layer",
    "filllayer": "a fill layer, whose pixels Krita makes: convert it with Layer > Convert > Convert to Paint "
                 "Layer first",
    "filterlayer": "a filter layer, which holds no pixels of its own: select a paint layer",
}


def refusal_for(facts, again="choose Paint in Brisel again"):
    """None when Brisel can paint on the layer; else why not, with what to do, in a sentence for the painter.
    again is what the painter does once the layer is fit: at a send, "send again" (choosing the menu entry
    again would start a second Brisel)."""
    if facts.selected == 0:
        return "Select the paint layer to paint on in the Layers docker, then choose Paint in Brisel again."
    if facts.selected > 1:
        return ("Brisel paints on one layer at a time: select just one paint layer in the Layers docker and "
                "choose Paint in Brisel again.")
    if facts.kind.endswith("mask"):
        return ("Brisel paints on a layer's colours, not on its masks: select the layer itself in the Layers "
                "docker and choose Paint in Brisel again.")
    if facts.kind != "paintlayer":
        advice = _KIND_ADVICE.get(facts.kind, "not a paint layer: select a paint layer")
        return "Brisel cannot paint on " + advice + "."
    if facts.model != "RGBA":
        names = {"CMYKA": "CMYK", "LABA": "Lab", "GRAYA": "greyscale", "XYZA": "XYZ", "YCbCrA": "YCbCr"}
        return ("Brisel paints in RGB, and this layer is {}: convert it with Image > Convert Image Color Space "
                "(RGB/Alpha, 8 or 16 bit integer) first.".format(names.get(facts.model, facts.model)))
    if facts.depth not in ("U8", "U16"):
        kind = "floating point" if facts.depth.startswith("F") else facts.depth
        return ("Brisel paints on 8- or 16-bit integer layers, and this one is {}: convert it with Image > "
                "Convert Image Color Space (8 or 16 bit integer/channel) first.".format(kind))
    if not facts.visible:
        return "The layer is hidden: show it (the eye in the Layers docker) so you can see what you paint."
    if facts.locked:
        return "The layer is locked: unlock it (the lock in the Layers docker) and {}.".format(again)
    if facts.animated:
        return ("The layer is animated, and Brisel paints on one picture: paint on a layer without frames, or "
                "copy this frame to a layer of its own.")
    return None


def header_text(width, height, x, y, depth, document, layer, window=0):
    """header.txt of the exchange folder (see Brisel's host/krita/exchange.h)."""
    def one_line(text):
        return " ".join(str(text).split())
    return ("brisel-krita 1\nsize {} {}\norigin {} {}\ndepth {}\ndocument {}\nlayer {}\nwindow {}\n".format(
        width, height, x, y, depth, one_line(document), one_line(layer), int(window)))


def depth_bits(depth):
    return 16 if depth == "U16" else 8


# Set by an AppImage or a Flatpak Krita, or by Krita itself, for its own Qt 5 and Python: a Qt 6 program that
# inherits them loads the wrong plug-ins and libraries, or none.
_FOREIGN = ("PYTHONPATH", "PYTHONHOME", "PYTHONSTARTUP", "LD_LIBRARY_PATH", "LD_PRELOAD", "QT_PLUGIN_PATH",
            "QT_QPA_PLATFORM_PLUGIN_PATH", "QML_IMPORT_PATH", "QML2_IMPORT_PATH", "QT_QPA_PLATFORMTHEME",
            "QT_STYLE_OVERRIDE", "QTWEBENGINEPROCESS_PATH", "APPDIR", "APPIMAGE", "ARGV0", "OWD",
            "GST_PLUGIN_SYSTEM_PATH", "GST_PLUGIN_SCANNER", "GIO_MODULE_DIR", "GDK_PIXBUF_MODULE_FILE",
            "XDG_DATA_DIRS_ORIGINAL")


def clean_environment(environment):
    """Krita's environment, as Brisel is to start in: without what Krita's own Qt and Python need. Krita 5 runs
    on X11 (Xwayland on a Wayland desktop), and so does Brisel beside it: its canvas can then stay above
    Krita's window."""
    clean = {k: v for k, v in environment.items() if k not in _FOREIGN and not k.startswith("KRITA_")}
    if clean.get("DISPLAY"):
        clean["QT_QPA_PLATFORM"] = "xcb"
    else:
        clean.pop("QT_QPA_PLATFORM", None)
    return clean


def in_flatpak():
    return os.path.exists("/.flatpak-info")


def find_program(environment, here):
    """Where Brisel is: $BRISEL_PROGRAM, the path `make install-krita-plugin` wrote beside the plug-in, or brisel
    on the PATH. None when it is nowhere."""
    named = environment.get("BRISEL_PROGRAM")
    if named:
        return named
    try:
        with open(os.path.join(here, "program.txt"), encoding="utf-8") as f:
            installed = f.read().strip()
        if installed and os.access(installed, os.X_OK):
            return installed
    except OSError:
        pass
    return shutil.which("brisel", path=environment.get("PATH"))


def command_for(program, folder, flatpak):
    """Brisel's command line. From inside a Flatpak sandbox, Brisel runs on the host, through flatpak-spawn."""
    command = [program, "--krita-exchange", folder]
    if flatpak:
        return ["flatpak-spawn", "--host", "--watch-bus"] + command
    return command


def parse_request(line):
    """A request line from Brisel as (verb, numbers), or None when it is not one the plug-in knows."""
    words = line.split()
    if not words:
        return None
    counts = {"fetch": 0, "size": 0, "paper": 0, "read": 4, "apply": 4}
    verb = words[0]
    if verb not in counts or len(words) != 1 + counts[verb]:
        return None
    try:
        numbers = [int(w) for w in words[1:]]
    except ValueError:
        return None
    if verb in ("read", "apply") and (numbers[2] <= 0 or numbers[3] <= 0):
        return None
    return verb, numbers


def box_inside(box, width, height):
    x, y, w, h = box
    return x >= 0 and y >= 0 and w > 0 and h > 0 and x + w <= width and y + h <= height


# How a send becomes Krita's undo steps. libkis has no way to replace a layer's pixels as one step: writing in
# place has no undo at all (and the next undo of a stroke on the layer would take the write with it), and a
# copy left above the layer makes it secretly two layers (its opacity, a style or a hidden copy shows the old
# one). So the result goes onto a copy of the layer (its masks, style and blending with it), which is added
# just above it ("Add Layer"), and the layer is removed ("Remove Layer"): the layer as painted, exact on any
# layer, in two steps. Between the two (one Ctrl+Z) the old layer is back under the copy: a send refuses to
# go on from there (see between_steps).


def between_steps(present_ids, chain_ids):
    """Whether Krita's history stands between the two steps of a send: more than one of the layer's
    generations (chain_ids, oldest first) is in the image. present_ids: the uniqueIds the image holds."""
    return sum(1 for i in chain_ids if i in present_ids) > 1


def stale_exchange_folders(base, uid, alive):
    """The exchange folders in base that a Krita of this user left behind when it died: directories (not links)
    named brisel-krita-*, owned by uid, whose krita.pid names a process that alive(pid) says is gone. A folder
    without a readable pid is kept: it may be another program's, or a Krita's that is starting."""
    stale = []
    try:
        names = os.listdir(base)
    except OSError:
        return stale
    for name in names:
        if not name.startswith("brisel-krita-"):
            continue
        path = os.path.join(base, name)
        try:
            st = os.lstat(path)
            if not stat.S_ISDIR(st.st_mode) or st.st_uid != uid:
                continue
            with open(os.path.join(path, "krita.pid"), encoding="ascii") as f:
                pid = int(f.read().strip())
        except (OSError, ValueError):
            continue
        if pid > 0 and not alive(pid):
            stale.append(path)
    return stale


def process_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True  # another user's process has that number now: not ours to judge
    return True
