"""Krita going away while Brisel is open on one of its layers, with a stroke not yet sent: played by the
plug-in's test hook (BRISEL_KRITA_SCENARIO) in krita_run.sh's krita-quits and krita-dies runs.

Starts Brisel ($BRISEL_KRITA_WINDOW_PROGRAM) from the plug-in's menu entry on a new document's layer, has
paint_in_brisel.sh paint a stroke without sending it, and writes $BRISEL_KRITA_RESULT; then, for krita-quits
($BRISEL_KRITA_END=quit), quits Krita as File > Quit does. krita_run.sh kills Krita for krita-dies.

The document is saved first (a copy is offered again on the same saved document and layer only). With
$BRISEL_KRITA_END=reopen, Krita's next start: the document opened again and Brisel on its layer,
take_copy_back.sh takes the painting back and closes the canvas, and the result says how many of the layer's
pixels the send changed.
"""

import json
import os
import subprocess

from krita import Krita
from PyQt5.QtCore import QTimer


def run(extension):
    app = Krita.instance()
    saved = os.path.join(os.path.dirname(os.environ["BRISEL_KRITA_RESULT"]), "brisel-lifecycle.kra")
    if os.environ.get("BRISEL_KRITA_END") == "reopen":
        document = app.openDocument(saved)
        app.activeWindow().addView(document)
        layer = document.nodeByName("painted")
    else:
        document = app.createDocument(240, 180, "brisel-lifecycle", "RGBA", "U8", "", 72.0)
        app.activeWindow().addView(document)
        layer = document.createNode("painted", "paintlayer")
        document.rootNode().addChildNode(layer, None)
        layer.setPixelData(bytes((200, 180, 160, 255)) * (240 * 180), 0, 0, 240, 180)
        document.waitForDone()
        document.saveAs(saved)
    document.setActiveNode(layer)
    os.environ["BRISEL_PROGRAM"] = os.environ["BRISEL_KRITA_WINDOW_PROGRAM"]
    state = {}
    blank = bytes(layer.pixelData(0, 0, 240, 180))

    def reopen():
        # Krita 5.2 makes the opened document's saved active layer the active one once its view is up.
        if document.activeNode() is None or document.activeNode().name() != "painted":
            document.setActiveNode(document.nodeByName("painted"))
            return QTimer.singleShot(500, reopen)
        state["driver"] = subprocess.Popen(["bash", os.path.join(os.path.dirname(__file__), "take_copy_back.sh")])
        known = list(extension.sessions)
        app.action("brisel_paint").trigger()
        session = [s for s in extension.sessions if s not in known][0]

        def ended(code, why):
            node = session.node
            after = bytes(node.pixelData(0, 0, 240, 180))
            changed = sum(1 for i in range(0, len(after), 4) if after[i:i + 4] != blank[i:i + 4])
            with open(os.environ["BRISEL_KRITA_RESULT"], "w", encoding="utf-8") as f:
                json.dump({"taken back": state["driver"].wait(timeout=30), "code": code, "changed": changed}, f)
        session.finished.connect(ended)

    def start():
        state["driver"] = subprocess.Popen(["bash", os.path.join(os.path.dirname(__file__), "paint_in_brisel.sh"),
                                            "--no-send"])
        app.action("brisel_paint").trigger()
        poll()

    def poll():
        code = state["driver"].poll()
        if code is None:
            return QTimer.singleShot(100, poll)
        with open(os.environ["BRISEL_KRITA_RESULT"], "w", encoding="utf-8") as f:
            json.dump({"stroke": code, "sessions": len(extension.sessions)}, f)
        if os.environ.get("BRISEL_KRITA_END") == "quit":
            document.setModified(False)
            app.action("file_quit").trigger()
    QTimer.singleShot(500, reopen if os.environ.get("BRISEL_KRITA_END") == "reopen" else start)
