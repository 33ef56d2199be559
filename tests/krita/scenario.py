"""The Krita run's cases, played inside one Krita start by the plug-in's test hook (BRISEL_KRITA_SCENARIO).

Each case makes a document of its own with a layer of known pixels, starts the plug-in on it with the stand-in
for Brisel's window (brisel-krita-probe, $BRISEL_KRITA_PROBE_PROGRAM), which sends known boxes, and then
compares, pixel by pixel, the layer after the send with what a reference merge in Python expects, and the
picture after Krita's undo and redo with the picture before and after the send. The last case starts Brisel
itself ($BRISEL_KRITA_WINDOW_PROGRAM) from the plug-in's menu entry, and paint_in_brisel.sh paints a stroke on
its canvas, sends it with Ctrl+S and closes it; Ctrl+Z and Ctrl+Shift+Z on Krita's window undo and redo it. The findings go to $BRISEL_KRITA_RESULT as JSON.
"""

import json
import math
import os
import shutil
import struct
import subprocess
import time
import traceback
from collections import namedtuple

from brisel_krita.session import Session
from krita import Krita, Selection
from PyQt5.QtCore import QTimer
from PyQt5.QtWidgets import QApplication

W, H = 240, 180


def layer_bytes(depth, alpha):
    """A layer with a different colour in every pixel, and alpha as given."""
    out = bytearray()
    for y in range(H):
        for x in range(W):
            if depth == "U16":
                # values between the 8-bit steps, so that a pixel written back at 8 bits would show
                b, g, r = 1000 + 700 * x + 3, 2000 + 900 * y + 5, 30000 + 11 * x * y + 7
                out += struct.pack("<4H", b % 65536, g % 65536, r % 65536, alpha * 257)
            else:
                out += bytes((x * 4 % 256, y * 5 % 256, (x + y) * 3 % 256, alpha))
    return bytes(out)


def reference_merge(before, depth, boxes, selection):
    """What the layer should hold after the probe's sends: each box's colour made to show on white as painted
    (alpha raised as far as that needs, never lowered), blended through the selection (one byte a pixel of the
    layer, or None), every other pixel as it was."""
    size = 8 if depth == "U16" else 4
    most = 65535 if depth == "U16" else 255
    out = bytearray(before)
    channel = (lambda at, c: struct.unpack_from("<H", out, at + 2 * c)[0]) if depth == "U16" else (lambda at, c: out[at + c])
    for (bx, by, bw, bh, r, g, b) in (box for box in boxes if not isinstance(box, str)):
        shown = (b / 255, g / 255, r / 255)
        for y in range(by, by + bh):
            for x in range(bx, bx + bw):
                s = 255 if selection is None else selection[y * W + x]
                if s == 0:
                    continue
                at = (y * W + x) * size
                alpha = max(channel(at, 3) / most, 1.0 - min(shown))
                wanted = [min(max((v - (1.0 - alpha)) / alpha, 0.0), 1.0) if alpha > 0 else v for v in shown] + [alpha]
                for c, value in enumerate(wanted):
                    old, new = channel(at, c), math.floor(value * most + 0.5)
                    new = new if s == 255 else (old * (255 - s) + new * s + 127) // 255
                    if depth == "U16":
                        struct.pack_into("<H", out, at + 2 * c, new)
                    else:
                        out[at + c] = new
    return bytes(out)


def held_after_last_send(read, after, depth, sends, joined):
    """How many pixels of the last send's box the layer holds otherwise than the probe's planes (the layer as
    the probe read it, with every box it painted since) after the send: what the host hands back to show."""
    size = 8 if depth == "U16" else 4

    def rgb(data, x, y):
        """The pixel as Brisel's canvas shows it: laid on white."""
        at = (y * W + x) * size
        if size == 4:
            bgra = data[at:at + 4]
        else:
            bgra = [(v * 255 + 32767) // 65535 for v in struct.unpack_from("<4H", data, at)]
        a = bgra[3]
        return tuple((c * a + 255 * (255 - a) + 127) // 255 for c in bgra[:3])
    boxes = [box for box in sends if not isinstance(box, str)]
    painted = {}
    for (bx, by, bw, bh, r, g, b) in boxes:
        for y in range(by, by + bh):
            for x in range(bx, bx + bw):
                painted[(x, y)] = (b, g, r)
    last = boxes if joined else boxes[-1:]
    left, top = min(b[0] for b in last), min(b[1] for b in last)
    right, bottom = max(b[0] + b[2] for b in last), max(b[1] + b[3] for b in last)
    return sum(1 for y in range(top, bottom) for x in range(left, right)
               if rgb(after, x, y) != painted.get((x, y), rgb(read, x, y)))


def fill(depth, w, h, bgr):
    size = 8 if depth == "U16" else 4
    pixel = struct.pack("<4H", *(v * 257 for v in bgr), 65535) if size == 8 else bytes(bgr + (255,))
    return pixel * (w * h)


Case = namedtuple("Case", "name depth alpha sends selected steps meanwhile joined size moved style",
                  defaults=((), 2, None, False, (240, 180), None, False))
# sends: the probe's boxes (x, y, w, h, r, g, b) and words ("paper", "crash", "fetch X Y"), None for Brisel's
# window; selected: selection boxes (x, y, w, h, value); steps: Krita undo steps the sends make (two a send: the
# painted copy added, the layer removed); meanwhile: what Krita does after the probe read the layer and before
# it sends ("edit": paints a box in place, "delete": removes the layer, "lock": locks it, "rmdir": deletes the
# exchange folder, "undo": Krita's undo of the send before, "undo-once": one of its two steps, "second": a second
# Brisel on the layer sends SECOND, "float", "u16": the layer converted to floating point, to 16-bit); joined:
# the boxes are painted and sent together, in one send whose changed box holds them all; size: the image's,
# (240, 180) unless told (a larger one is filled with one colour); moved: the layer moved by (dx, dy) first,
# partly off the image; style: the layer has a drop shadow (SHADOW)
CASES = [
    Case("opaque", "U8", 255, ["paper", (10, 8, 20, 15, 200, 30, 40)]),
    # after the send and its undo and redo, the layer's opacity changed shows the painting, and only it, at it
    Case("half-transparent", "U8", 128, [(5, 5, 30, 10, 10, 220, 90)]),
    Case("selection", "U8", 255, [(0, 0, 40, 30, 250, 250, 0)], [(10, 10, 20, 20, 255), (30, 0, 20, 10, 128)]),
    Case("16-bit", "U16", 255, [(20, 20, 12, 9, 17, 99, 201)]),
    Case("two-sends", "U8", 255, [(2, 2, 10, 10, 255, 0, 0), (8, 8, 10, 10, 0, 0, 255)], steps=4),
    # a half-transparent layer with a drop shadow: the send keeps the style, drawn once
    Case("drop-shadow", "U8", 128, [(100, 60, 30, 20, 250, 200, 0)], style=True),
    # a layer moved partly off the image, painted across its edge: the part off the image stays as it was
    Case("moved", "U8", 255, [(200, 150, 40, 30, 0, 90, 180)], moved=(16, 12)),
    # Krita's own change meanwhile stays wherever Brisel did not paint, inside the send's box too
    Case("krita-meanwhile", "U8", 255, [(30, 30, 12, 12, 9, 9, 9), (80, 80, 5, 5, 99, 9, 9)], meanwhile="edit",
         joined=True),
    Case("layer-deleted", "U8", 255, [(50, 50, 20, 20, 9, 9, 9)], meanwhile="delete"),
    # a send undone in Krita, then another: it goes onto the layer the undo brought back
    Case("undone-then-sent", "U8", 128, [(10, 10, 30, 30, 200, 0, 0), "wait", (100, 100, 20, 20, 0, 200, 0)],
         meanwhile="undo"),
    # one Ctrl+Z into a send (the old layer back under its copy): the next send is refused, the picture kept
    Case("undone-once-then-sent", "U8", 128, [(10, 10, 30, 30, 200, 0, 0), "wait", (100, 100, 20, 20, 0, 200, 0)],
         meanwhile="undo-once"),
    # a second Brisel on the layer sends while the first is open; the first's send follows the layer's copy
    Case("two-brisels", "U8", 128, [(10, 10, 30, 30, 200, 0, 0)], meanwhile="second", steps=4),
    # converted meanwhile to the other depth Brisel paints: Brisel fetches the layer again and sends at it
    Case("converted-to-16-bit", "U8", 255, [(50, 50, 20, 20, 9, 99, 200)], meanwhile="u16"),
    # locked meanwhile: refused, with what to do (send again: the menu entry would start a second Brisel)
    Case("locked-meanwhile", "U8", 255, [(50, 50, 20, 20, 9, 9, 9)], meanwhile="lock"),
    # the exchange folder deleted meanwhile (a cleaner of temporary files): made again, and the send goes on
    Case("folder-deleted", "U8", 255, [(50, 50, 20, 20, 9, 9, 9)], meanwhile="rmdir"),
    # converted meanwhile to a depth Brisel does not paint: refused with the start's sentence
    Case("converted-to-float", "U8", 255, [(50, 50, 20, 20, 9, 9, 9)], meanwhile="float"),
    # the get-image button reads the layer as Krita holds it now
    Case("fetch-again", "U8", 255, ["fetch 45 45"], meanwhile="edit", steps=0),
    # Brisel ending on a crash: the plug-in says so, and the layer is as it was
    Case("brisel-crashes", "U8", 255, ["crash"], steps=0),
    # Brisel's window, a stroke painted by the pointer: sent once while the canvas is open, nothing at its close
    Case("brisel-window", "U8", 255, None),
]
# What a send costs on a large layer, a small box and then a larger one: with BRISEL_KRITA_LARGE=1 only (the
# case takes Krita 10 to 30 s here), for the figures krita_run.sh prints.
if os.environ.get("BRISEL_KRITA_LARGE") == "1":
    CASES.insert(-1, Case("4000x3000", "U8", 255, [(2000, 1500, 100, 100, 1, 2, 3), (0, 0, 1000, 1000, 7, 8, 9)],
                          steps=4, size=(4000, 3000)))
EDIT = (40, 40, 20, 20)  # the box Krita paints meanwhile, half under the probe's
# A layer style of one black drop shadow, 8 pixels away, as Node.setLayerStyleFromAsl reads one.
SHADOW = ('<asl><node type="Descriptor" name="" classId="null">'
          '<node unit="#Prc" key="Scl " value="100" type="UnitFloat"/><node key="masterFXSwitch" value="1" type="Boolean"/>'
          '<node type="Descriptor" key="DrSh" name="" classId="DrSh"><node type="Boolean" key="enab" value="1"/>'
          '<node type="Enum" key="Md  " typeId="BlnM" value="Mltp"/><node type="Descriptor" key="Clr " name="" classId="RGBC">'
          '<node type="Double" key="Rd  " value="0"/><node type="Double" key="Grn " value="0"/>'
          '<node type="Double" key="Bl  " value="0"/></node><node type="UnitFloat" key="Opct" unit="#Prc" value="75"/>'
          '<node type="Boolean" key="uglg" value="0"/><node type="UnitFloat" key="lagl" unit="#Ang" value="120"/>'
          '<node type="UnitFloat" key="Dstn" unit="#Pxl" value="8"/><node type="UnitFloat" key="Ckmt" unit="#Pxl" value="0"/>'
          '<node type="UnitFloat" key="blur" unit="#Pxl" value="4"/><node type="UnitFloat" key="Nose" unit="#Prc" value="0"/>'
          '<node type="Boolean" key="AntA" value="0"/><node type="Boolean" key="layerConceals" value="1"/></node></node>'
          '<node type="Descriptor" name="" classId="Styl"><node key="documentMode" type="Descriptor" name="" '
          'classId="documentMode"/></node></asl>')
SECOND = (120, 100, 20, 20, 0, 99, 0)  # what the second Brisel sends


class Run:
    def __init__(self, extension):
        self.extension = extension
        self.app = Krita.instance()
        self.results = {"cases": {}}
        self.queue = list(CASES)
        self.started = time.monotonic()
        self.go = os.path.join(os.path.dirname(os.environ["BRISEL_KRITA_RESULT"]), "go")

    def later(self, ms, step):
        QTimer.singleShot(ms, lambda: self.guarded(step))

    def guarded(self, step):
        try:
            step()
        except Exception:
            self.results["error"] = traceback.format_exc()
            self.finish()

    def settle(self, document):
        document.waitForDone()
        document.refreshProjection()
        QApplication.processEvents()

    def composite(self, document):
        self.settle(document)
        return bytes(document.pixelData(0, 0, W, H))

    def next_case(self):
        global W, H
        if not self.queue:
            return self.finish()
        case = self.queue.pop(0)
        W, H = case.size
        self.results["cases"][case.name] = {"failures": []}
        document = self.app.createDocument(W, H, "brisel-" + case.name, "RGBA", case.depth, "", 72.0)
        self.app.activeWindow().addView(document)
        layer = document.createNode("painted", "paintlayer")
        document.rootNode().addChildNode(layer, None)
        before = layer_bytes(case.depth, case.alpha) if case.size == (240, 180) else fill(case.depth, W, H, (90, 60, 30))
        if case.style:
            # a shape, so that the shadow shows around it
            shape = bytearray(len(before))
            for y in range(40, 140):
                shape[(y * W + 60) * 4:(y * W + 180) * 4] = before[(y * W + 60) * 4:(y * W + 180) * 4]
            before = bytes(shape)
        layer.setPixelData(before, 0, 0, W, H)
        if case.style:
            layer.setLayerStyleFromAsl(SHADOW)
        if case.moved:
            layer.move(*case.moved)
            self.settle(document)
            before = bytes(layer.pixelData(0, 0, W, H))
            dx, dy = case.moved
            self.moved_beyond = bytes(layer.pixelData(W, 0, dx, H + dy)) + bytes(layer.pixelData(0, H, W, dy))
        selection = None
        if case.selected:
            sel = Selection()
            sel.resize(W, H)
            for (x, y, w, h, v) in case.selected:
                sel.select(x, y, w, h, v)
            document.setSelection(sel)
            selection = bytes(document.selection().pixelData(0, 0, W, H))
        document.setActiveNode(layer)
        # The Layers docker takes the new active layer from the event loop.
        self.later(500, lambda: self.start_case(case, document, layer, before, selection))

    def start_case(self, case, document, layer, before, selection):
        result = self.results["cases"][case.name]
        active = document.activeNode()
        if active is None or active.uniqueId() != layer.uniqueId():
            result["failures"].append("Krita did not make the test's layer the active one")
            return self.later(0, self.next_case)
        picture_before = self.composite(document)
        began = time.monotonic()
        driver = None
        if os.path.exists(self.go):
            os.remove(self.go)
        if case.sends is None:
            os.environ["BRISEL_PROGRAM"] = os.environ["BRISEL_KRITA_WINDOW_PROGRAM"]
            driver = subprocess.Popen(["bash", os.path.join(os.path.dirname(__file__), "paint_in_brisel.sh")])
            known = list(self.extension.sessions)
            self.app.action("brisel_paint").trigger()  # as Tools > Scripts > Paint in Brisel... does
            started = [s for s in self.extension.sessions if s not in known]
            session = started[0] if started else None
        else:
            os.environ["BRISEL_PROGRAM"] = os.environ["BRISEL_KRITA_PROBE_PROGRAM"]
            os.environ["BRISEL_KRITA_PROBE_GO"] = self.go
            sends = ("+" if case.joined else ";").join(
                s if isinstance(s, str) else " ".join(str(v) for v in s) for s in case.sends)
            os.environ["BRISEL_KRITA_PROBE"] = ("wait;" if case.meanwhile and "wait" not in case.sends else "") + sends
            session = self.extension.paint()
        if session is None:
            result["failures"].append("the plug-in refused the layer")
            return self.later(0, self.next_case)
        state = {"before": before}

        def meanwhile():
            if not any(line.startswith("probe: waiting") for line in session.stderr_tail):
                return self.later(50, meanwhile)
            if case.meanwhile == "edit":
                # in place, as the test's own change: a stroke of Krita's
                layer.setPixelData(fill(case.depth, EDIT[2], EDIT[3], (1, 2, 3)), EDIT[0], EDIT[1], EDIT[2], EDIT[3])
                self.settle(document)
                state["before"] = bytes(layer.pixelData(0, 0, W, H))
                state["picture"] = self.composite(document)
            elif case.meanwhile in ("undo", "undo-once"):
                self.app.action("edit_undo").trigger()
                if case.meanwhile == "undo":
                    self.settle(document)
                    self.app.action("edit_undo").trigger()
                self.settle(document)
                state["undone once"] = self.composite(document)
                state["sends"] = case.sends[2:]  # the first is undone, and not sent again
            elif case.meanwhile == "second":
                os.environ["BRISEL_KRITA_PROBE"] = " ".join(str(v) for v in SECOND)
                os.environ.pop("BRISEL_KRITA_PROBE_GO", None)
                second = self.extension.paint()
                state["sends"] = [SECOND] + list(case.sends)
                os.environ["BRISEL_KRITA_PROBE_GO"] = self.go

                def after_second():
                    if second in self.extension.sessions:
                        return self.later(50, after_second)
                    open(self.go, "w").close()
                return self.later(50, after_second)
            elif case.meanwhile == "lock":
                layer.setLocked(True)
            elif case.meanwhile == "rmdir":
                shutil.rmtree(session.folder)
            elif case.meanwhile in ("float", "u16"):
                depth = "F32" if case.meanwhile == "float" else "U16"
                converted = layer.setColorSpace("RGBA", depth, layer.colorProfile())
                self.settle(document)
                state["depth"] = layer.colorDepth()
                state["before"] = state["read"] = bytes(layer.pixelData(0, 0, W, H))
                if not converted or layer.colorDepth() != depth:
                    result["failures"].append("Krita did not convert the layer ({})".format(layer.colorDepth()))
            elif case.meanwhile == "delete":
                layer.remove()
                self.settle(document)
            open(self.go, "w").close()
        if case.meanwhile:
            self.later(50, meanwhile)

        def ended(code, why):
            result["seconds"] = round(time.monotonic() - began, 3)
            result["sends"] = [[round(s, 3), kind] for (s, kind, box) in session.sends]
            if case.sends and "paper" in case.sends and not any(line.startswith("paper ") and not line.startswith("paper 0 x")
                                                 for line in session.stderr_tail):
                result["failures"].append("no paper came from Krita's pattern: {}".format(session.stderr_tail))
            if case.sends and "fetch 45 45" in case.sends:
                if "probe: pixel 45 45 3 2 1" not in session.stderr_tail:  # Krita's edit, B, G, R = 1, 2, 3
                    result["failures"].append("the fetch read {}".format(session.stderr_tail))
                return self.close_case(document)
            if case.sends and "crash" in case.sends:
                if "ended unexpectedly" not in why:
                    result["failures"].append("Brisel's crash was reported as {}: {!r}".format(code, why))
                if bytes(layer.pixelData(0, 0, W, H)) != before or session.folder is not None:
                    result["failures"].append("the layer changed, or the exchange folder stayed")
                return self.close_case(document)
            refused = {"delete": "no longer in Krita", "undo-once": "Ctrl+Z once more", "lock": "and send again",
                       "float": "this one is floating point"}.get(case.meanwhile)
            if refused:
                if code == 0 or refused not in why:
                    result["failures"].append("a send after {} ended with {}: {!r}".format(case.meanwhile, code, why))
                if case.meanwhile == "undo-once" and self.composite(document) != state["undone once"]:
                    result["failures"].append("the refused send changed the picture")
                return self.close_case(document)
            if code != 0:
                result["failures"].append("Brisel ended with {}: {}".format(code, why))
            if driver is not None:
                if driver.wait(timeout=30) != 0:
                    result["failures"].append("the stroke could not be painted on Brisel's canvas")
                if len(session.sends) != 1:
                    result["failures"].append("{} sends reached Krita, not 1".format(len(session.sends)))
            expected = None if case.sends is None else reference_merge(
                state["before"], state.get("depth", case.depth), state.get("sends", case.sends), selection)
            self.later(100, lambda: self.check(case, document, session, state["before"], expected,
                                               state.get("picture", picture_before), state.get("read", before),
                                               state.get("depth", case.depth)))
        session.finished.connect(lambda code, why: self.guarded(lambda: ended(code, why)))

    def check(self, case, document, session, before, expected, picture_before, read, depth):
        result = self.results["cases"][case.name]
        failures = result["failures"]
        node = session.node
        self.settle(document)
        after = bytes(node.pixelData(0, 0, W, H))
        if case.sends:
            # what the host handed back after the last send, for the canvas to show
            tail = session.stderr_tail
            sent = max((i for i, line in enumerate(tail) if line.startswith("probe: sent")), default=len(tail))
            held = [int(line.split()[2]) for line in tail[sent:] if line.startswith("probe: held ")]
            result["held"] = held[0] if held else 0
            wanted = held_after_last_send(read, after, depth, case.sends, case.joined)
            if result["held"] != wanted:
                failures.append("the host handed back {} pixels after the last send, not {}".format(
                    result["held"], wanted))
        if expected is None:
            changed = sum(1 for i in range(0, len(after), 4) if after[i:i + 4] != before[i:i + 4])
            result["pixels painted"] = changed
            fell = any(a < b for a, b in zip(after[3::4], before[3::4]))
            if not changed or fell:
                failures.append("the stroke changed {} pixels, and alpha {}".format(
                    changed, "fell" if fell else "did not fall"))
        elif after != expected:
            failures.append("the layer after the send differs from the reference in {} bytes".format(
                sum(1 for a, b in zip(after, expected) if a != b)))
        if case.moved:
            # the layer's part beyond the image's right and bottom edges, as the move put it there
            dx, dy = case.moved
            beyond = bytes(node.pixelData(W, 0, dx, H + dy)) + bytes(node.pixelData(0, H, W, dy))
            if beyond != self.moved_beyond:
                failures.append("the layer's part off the image changed")
        if node.name() != "painted":
            failures.append("the layer is named {!r} after the send".format(node.name()))
        if Session(self.app, document, node, "brisel").identity() != session.identity():
            failures.append("a Brisel started on the layer after the send would not know it for the same")
        if case.style and "DrSh" not in node.layerStyleToAsl():
            failures.append("the layer lost its drop shadow at the send")
        names = [n.name() for n in document.rootNode().childNodes()]
        if names.count("painted") != 1:
            failures.append("the picture holds the layers {} after the send".format(names))
        picture_after = self.composite(document)
        if picture_after == picture_before:
            failures.append("the picture did not change")
        # Brisel's window case undoes and redoes as a painter does, with Ctrl+Z and Ctrl+Shift+Z on Krita's window.
        window = int(self.app.activeWindow().qwindow().winId())

        def press(keys):
            subprocess.Popen(["xdotool", "windowactivate", "--sync", str(window), "key", keys])
        undo = self.app.action("edit_undo").trigger if case.sends else lambda: press("ctrl+z")
        redo = self.app.action("edit_redo").trigger if case.sends else lambda: press("ctrl+shift+z")
        # Krita 5.2 (Debian 13) finishes an undo of a send in the background: at 200 ms between steps the
        # 16-bit and half-transparent cases read the layer before the step had ended.
        # Krita 5.1 ends it before the next event.
        slow = not self.app.version().startswith("5.1")
        pause = (2000 if case.sends else 1500) if slow else 300

        # case.steps presses of action, after which the picture must be wanted; then then.
        def steps(action, left, wanted, what, then):
            if left:
                action()
                return self.later(pause, lambda: steps(action, left - 1, wanted, what, then))
            if self.composite(document) != wanted:
                failures.append("{} {} step(s) did not give {} back exactly".format(case.steps, *what))
            then()
        def at_opacity():
            # the layer at half its opacity looks as a layer of its pixels alone does at that opacity
            control = document.createNode("control", "paintlayer")
            control.setPixelData(after, 0, 0, W, H)
            control.setOpacity(128)
            control.setVisible(False)
            document.rootNode().addChildNode(control, None)
            node.setOpacity(128)
            self.settle(document)

            def compare():
                seen = self.composite(document)
                for other in document.rootNode().childNodes():
                    other.setVisible(other.name() == "Background")
                control.setVisible(True)
                if self.composite(document) != seen:
                    failures.append("at half opacity the layer does not show its pixels alone")
                self.later(300, lambda: self.close_case(document))
            self.later(300, compare)
        steps(undo, case.steps, picture_before, ("undo", "the picture"),
              lambda: steps(redo, case.steps, picture_after, ("redo", "the painting"),
                            at_opacity if case.name == "half-transparent" else lambda: self.close_case(document)))

    def close_case(self, document):
        document.setModified(False)
        document.close()
        self.later(200, self.next_case)

    def unnamed_documents(self):
        """Two new documents, alike in name, layer and size, are told apart by what the plug-in hands Brisel."""
        identities = []  # twice each: the same for one document
        for _ in range(2):
            document = self.app.createDocument(W, H, "", "RGBA", "U8", "", 72.0)
            layer = document.createNode("Paint Layer 1", "paintlayer")
            document.rootNode().addChildNode(layer, None)
            identities += [Session(self.app, document, layer, "brisel").identity() for _ in range(2)]
            document.close()
        told_apart = identities[0] == identities[1] != identities[2] == identities[3]
        self.results["cases"]["two-unnamed-documents"] = {
            "failures": [] if told_apart else ["the documents' identities: {}".format(identities)]}

    def finish(self):
        self.unnamed_documents()
        self.results["seconds"] = round(time.monotonic() - self.started, 3)
        with open(os.environ["BRISEL_KRITA_RESULT"], "w", encoding="utf-8") as f:
            json.dump(self.results, f, indent=1)
        # krita_run.sh ends Krita: quitting from here leaves it to crash in its teardown under Xvfb.


def run(extension):
    scenario = Run(extension)
    scenario.later(0, scenario.next_case)
