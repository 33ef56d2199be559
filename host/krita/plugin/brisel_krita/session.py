"""One run of Brisel on a Krita paint layer: the exchange folder, the process, and the requests it makes.

Brisel asks on its standard output, one line a request, and the plug-in answers on its standard input (see
Brisel's host/krita/exchange.h for the requests). Everything here runs in Krita's event loop, as the
requests arrive: Krita stays usable while Brisel is open.
"""

import os
import shutil
import sys
import tempfile
import time
import uuid

from PyQt5.QtCore import QObject, QProcess, QProcessEnvironment, pyqtSignal
from PyQt5.QtGui import QColor, QImage, QPainter
from PyQt5.QtWidgets import QApplication, QMessageBox

from . import checks


def _say(text):
    sys.stderr.write("brisel-krita: {}\n".format(text))
    sys.stderr.flush()


def layer_facts(view, node):
    selected = view.selectedNodes() if view is not None else []
    return checks.LayerFacts(
        selected=len(selected) if selected else (1 if node is not None else 0),
        kind=node.type() if node is not None else "",
        model=node.colorModel() if node is not None else "",
        depth=node.colorDepth() if node is not None else "",
        visible=node.visible() if node is not None else False,
        locked=node.locked() if node is not None else False,
        animated=node.animated() if node is not None else False)


def _key(node):
    return node.uniqueId().toString()


def _nodes_by_key(root, into=None):
    """Every node under root, by uniqueId."""
    into = {} if into is None else into
    for child in root.childNodes() if root is not None else []:
        into[_key(child)] = child
        _nodes_by_key(child, into)
    return into


# The uniqueId of the copy that took a layer's place at a send, by the replaced layer's: every session on the
# layer (a second Brisel on it too) follows the layer through the copies. Ids only: a node held here would
# keep its image alive after its document closed.
_successors = {}


def _origin(key):
    """The uniqueId of the layer Brisel first painted on that key's layer descends from."""
    earlier = {later: replaced for replaced, later in _successors.items()}
    seen = {key}
    while key in earlier and earlier[key] not in seen:
        key = earlier[key]
        seen.add(key)
    return key

# An identity for each unsaved document, for as long as Krita runs: every new document is "Unnamed", and one
# document's recovery copy is never to be offered on another.
_document_keys = []


def document_identity(document):
    path = document.fileName()
    if path:
        return os.path.abspath(path)
    for known, key in _document_keys:
        if known == document:
            return key
    key = "unsaved Krita document " + uuid.uuid4().hex
    _document_keys.append((document, key))
    return key


def _write(path, data):
    """Writes a file of the exchange folder so that Brisel never reads it half written."""
    temporary = path + ".part"
    with open(temporary, "wb") as f:
        f.write(data)
    os.replace(temporary, path)


class Session(QObject):
    # Emitted once Brisel has ended and the folder is gone: (exit status, what went wrong or "").
    finished = pyqtSignal(int, str)

    def __init__(self, krita, document, node, program, parent=None):
        super().__init__(parent)
        self.krita = krita
        self.document = document
        self.node = node
        # The layer and the copies that took its place, oldest first: an undo in Krita brings an earlier one back.
        self.chain = [_key(node)]
        self.between_steps = False  # one Ctrl+Z into a send: the layer and its copy are both in the image
        self.program = program
        self.depth = node.colorDepth()
        self.pixel_bytes = 8 if self.depth == "U16" else 4
        self.folder = None
        self.process = None
        self.pending = b""
        self.stderr_tail = []
        self.last_read = None  # (box, bytes) of the last "read"
        self.sends = []        # for each applied send: (seconds, write-back kind, changed box)
        self.krita_quitting = False

    # ---- the start ---------------------------------------------------------------------------------------
    def start(self):
        """Exports the layer and starts Brisel; an exception (with a sentence for the painter) when it cannot."""
        base = os.environ.get("XDG_RUNTIME_DIR")
        if not base or not os.path.isdir(base):
            base = None
        # What a Krita that died left (a whole layer, in memory where XDG_RUNTIME_DIR is).
        for stale in checks.stale_exchange_folders(base or tempfile.gettempdir(), os.getuid(), checks.process_alive):
            shutil.rmtree(stale, ignore_errors=True)
        self.folder = tempfile.mkdtemp(prefix="brisel-krita-", dir=base)  # 0700: the painter's alone
        _write(os.path.join(self.folder, "krita.pid"), str(os.getpid()).encode("ascii"))
        self.export()
        environment = QProcessEnvironment()
        for key, value in checks.clean_environment(dict(os.environ)).items():
            environment.insert(key, value)
        command = checks.command_for(self.program, self.folder, checks.in_flatpak())
        self.process = QProcess(self)
        self.process.setProcessEnvironment(environment)
        self.process.readyReadStandardOutput.connect(self._on_requests)
        self.process.readyReadStandardError.connect(self._on_stderr)
        self.process.finished.connect(self._on_finished)
        self.process.errorOccurred.connect(self._on_error)
        self.process.start(command[0], command[1:])
        QApplication.instance().aboutToQuit.connect(self._on_krita_quitting)
        _say("started {} on layer \"{}\"".format(" ".join(command), self.node.name()))

    def size(self):
        return self.document.width(), self.document.height()

    def generations(self):
        """The layer and every copy that took its place since, this session's sends and others', oldest first."""
        while self.chain[-1] in _successors and _successors[self.chain[-1]] not in self.chain:
            self.chain.append(_successors[self.chain[-1]])
        return self.chain

    def present(self):
        """Whether the layer is still in its document (and the document still open): the newest of the sends'
        copies that is, or the layer itself, once Krita's undo took the copies away."""
        try:
            root = self.document.rootNode()
        except Exception:
            return False
        if root is None:
            return False
        held = _nodes_by_key(root)
        found = [held[key] for key in self.generations() if key in held]
        self.between_steps = checks.between_steps(held.keys(), self.chain)
        if not found:
            return False
        self.node = found[-1]
        return True

    def window_id(self):
        """Krita's main window, which Brisel's canvas stays above; 0 when there is none."""
        try:
            window = self.krita.activeWindow()
            return int(window.qwindow().winId()) if window is not None else 0
        except Exception:
            return 0

    def identity(self):
        """What tells this picture from every other, for Brisel's recovery copies and its "already open": the
        document's file and the layer's name, or, for a document never saved, the document's identity in this
        Krita with the layer's uniqueId and size."""
        document = document_identity(self.document)
        if self.document.fileName():
            return document, self.node.name()
        width, height = self.size()
        return "{}, layer {} {} x {}".format(document, _origin(self.chain[0]), width, height), self.node.name()

    def export(self):
        width, height = self.size()
        self.depth = self.node.colorDepth()
        self.pixel_bytes = 8 if self.depth == "U16" else 4
        document, layer = self.identity()
        header = checks.header_text(width, height, 0, 0, checks.depth_bits(self.depth), document, layer,
                                    self.window_id())
        pixels = bytes(self.node.pixelData(0, 0, width, height))
        if len(pixels) != width * height * self.pixel_bytes:
            raise RuntimeError("Krita gave {} bytes for the layer, not {}".format(
                len(pixels), width * height * self.pixel_bytes))
        _write(self._folder_file("layer.raw"), pixels)
        _write(self._folder_file("header.txt"), header.encode("utf-8"))

    # ---- the requests ------------------------------------------------------------------------------------
    def _on_requests(self):
        self.pending += bytes(self.process.readAllStandardOutput())
        while b"\n" in self.pending:
            line, self.pending = self.pending.split(b"\n", 1)
            answer = self.answer(line.decode("utf-8", "replace"))
            self.process.write((" ".join(answer.split("\n")) + "\n").encode("utf-8"))

    def answer(self, line):
        request = checks.parse_request(line)
        if request is None:
            return "error Brisel asked the plug-in something it does not know: " + line
        verb, numbers = request
        try:
            return getattr(self, "_" + verb)(*numbers)
        except Exception as e:  # the painter hears it through Brisel; Krita stays as it was
            _say("{} failed: {!r}".format(verb, e))
            return "error {}".format(e)

    def _folder_file(self, name):
        """A file of the exchange folder, made again (0700) when something deleted the folder meanwhile."""
        if not os.path.isdir(self.folder):
            os.mkdir(self.folder, 0o700)
            _write(os.path.join(self.folder, "krita.pid"), str(os.getpid()).encode("ascii"))
            _say("the exchange folder {} was deleted meanwhile; made again".format(self.folder))
        return os.path.join(self.folder, name)

    def _layer_fit(self):
        """Raises, with the start's sentence, when the layer became one Brisel cannot paint (converted, locked,
        hidden meanwhile); else takes up its depth as it is now."""
        if not self.present():
            raise self._gone()
        refusal = checks.refusal_for(layer_facts(None, self.node), again="send again")
        if refusal:
            raise RuntimeError(refusal + " Nothing was sent; the painting is kept in Brisel.")
        self.depth = self.node.colorDepth()
        self.pixel_bytes = 8 if self.depth == "U16" else 4

    def _gone(self):
        return RuntimeError("The layer Brisel was started on is no longer in Krita (deleted, or its document "
                            "closed); nothing was sent, and the painting is kept in Brisel")

    def _size(self):
        if not self.present():
            return "ok 0 0"
        width, height = self.size()
        # the depth as the layer has it now: Brisel fetches the layer again when it was converted meanwhile
        return "ok {} {} {}".format(width, height, checks.depth_bits(self.node.colorDepth()))

    def _fetch(self):
        self._layer_fit()
        self.export()
        return "ok"

    def _read(self, x, y, w, h):
        self._layer_fit()
        width, height = self.size()
        if not checks.box_inside((x, y, w, h), width, height):
            raise RuntimeError("Brisel asked for pixels outside the layer")
        pixels = bytes(self.node.pixelData(x, y, w, h))
        _write(self._folder_file("current.raw"), pixels)
        self.last_read = ((x, y, w, h), pixels)
        selection = self.document.selection()
        if selection is None:
            return "ok 0"
        _write(self._folder_file("selection.raw"), bytes(selection.pixelData(x, y, w, h)))
        return "ok 1"

    def _apply(self, x, y, w, h):
        started = time.monotonic()
        self._layer_fit()
        if self.between_steps:
            raise RuntimeError("Krita's history stands between the two steps of Brisel's last send (the layer and "
                               "its painted copy are both in the picture): press Ctrl+Z once more, or "
                               "Ctrl+Shift+Z, then send again. Nothing was sent; the painting is kept in Brisel.")
        width, height = self.size()
        if not checks.box_inside((x, y, w, h), width, height):
            raise RuntimeError("Brisel sent pixels outside the layer")
        try:
            with open(os.path.join(self.folder, "result.raw"), "rb") as f:
                result = f.read()
        except FileNotFoundError:
            raise RuntimeError("Brisel's painting did not reach Krita: its exchange folder {} was deleted "
                               "meanwhile. Nothing was sent; send again.".format(self.folder))
        if len(result) != w * h * self.pixel_bytes:
            raise RuntimeError("Brisel's result holds {} bytes, not {}".format(len(result), w * h * self.pixel_bytes))
        # Only onto the pixels Brisel merged with: where Krita painted in the box since, Brisel merges again.
        read_box, read_pixels = self.last_read or ((0, 0, 0, 0), b"")
        rx, ry, rw, rh = read_box
        if not (rx <= x and ry <= y and x + w <= rx + rw and y + h <= ry + rh):
            raise RuntimeError("Brisel sent a box it did not read")
        if bytes(self.node.pixelData(rx, ry, rw, rh)) != read_pixels:
            return "changed"
        kind = self.write_back((x, y, w, h), result)
        seconds = time.monotonic() - started
        self.sends.append((seconds, kind, (x, y, w, h)))
        _say("send of {} x {} pixels applied ({}) in {:.3f} s".format(w, h, kind, seconds))
        return "ok"

    def write_back(self, box, pixels):
        """Puts pixels onto box of the layer as Krita undo steps (see checks.py): on a copy of the layer, which
        takes its place. Returns how ("swap")."""
        x, y, w, h = box
        node = self.node
        parent = node.parentNode()
        copy = node.duplicate()
        copy.setName(node.name())
        copy.setPixelData(pixels, x, y, w, h)  # before the copy is in the image: no history to corrupt
        parent.addChildNode(copy, node)
        node.remove()
        _successors[_key(node)] = _key(copy)
        self.node = copy
        self.chain.append(_key(copy))
        # Krita redraws what a layer added or removed covers by itself: no refreshProjection, which would redraw
        # the whole image (a quarter to half a second on a 4000 x 3000 one).
        self.document.setActiveNode(copy)
        return "swap"

    def _paper(self):
        window = self.krita.activeWindow()
        view = window.activeView() if window is not None else None
        pattern = view.currentPattern() if view is not None else None
        image = pattern.image() if pattern is not None else None
        if image is None or image.isNull():
            return "ok 0 0"
        over_white = QImage(image.width(), image.height(), QImage.Format_RGB32)
        over_white.fill(QColor("white"))
        painter = QPainter(over_white)
        painter.drawImage(0, 0, image)
        painter.end()
        grey = over_white.convertToFormat(QImage.Format_Grayscale8)
        rows = []
        for row in range(grey.height()):
            line = grey.constScanLine(row)
            line.setsize(grey.bytesPerLine())
            rows.append(bytes(line)[:grey.width()])
        _write(self._folder_file("paper.raw"), b"".join(rows))
        return "ok {} {}".format(grey.width(), grey.height())

    # ---- the end -----------------------------------------------------------------------------------------
    def _on_stderr(self):
        text = bytes(self.process.readAllStandardError()).decode("utf-8", "replace")
        sys.stderr.write(text)
        self.stderr_tail = (self.stderr_tail + text.splitlines())[-6:]

    def _on_error(self, error):
        if error == QProcess.FailedToStart:
            self._end(-1, "Brisel could not be started ({}): is it installed? Run make install-krita-plugin "
                          "again from Brisel's sources.".format(self.program))

    def _on_finished(self, code, status):
        if self.krita_quitting:
            self._end(code, "")  # Brisel said where its recovery copy is, on its standard error
        elif status == QProcess.CrashExit:
            self._end(code, "Brisel ended unexpectedly; Krita's picture is as the last send left it.\n" +
                      "\n".join(self.stderr_tail))
        elif code != 0:
            self._end(code, "Brisel ended with an error (status {}).\n{}".format(code, "\n".join(self.stderr_tail)))
        else:
            self._end(0, "")

    def _on_krita_quitting(self):
        # Brisel keeps a recovery copy of what it has not sent when it is asked to end (SIGTERM); killed, as
        # QProcess would kill it with Krita, it could not.
        if self.process is not None and self.process.state() != QProcess.NotRunning:
            self.krita_quitting = True
            self.process.terminate()
            self.process.waitForFinished(20000)
            self._on_stderr()
            kept = [line[line.find(" recovery copy") - 2:].lstrip() for line in self.stderr_tail
                    if "A recovery copy" in line or "No recovery copy" in line]
            if kept:
                # as Brisel's own message would say it, had Krita not taken its window away
                text = "Krita quit while Brisel held painting not yet sent to the layer \"{}\". {}".format(
                    self.node.name(), kept[-1])
                _say(text)
                if not os.environ.get("BRISEL_KRITA_SCENARIO"):
                    QMessageBox.information(None, "Brisel", text)

    def _end(self, code, why):
        try:
            QApplication.instance().aboutToQuit.disconnect(self._on_krita_quitting)
        except TypeError:
            pass  # never connected: Brisel did not start
        if self.folder:
            shutil.rmtree(self.folder, ignore_errors=True)
            self.folder = None
        self.finished.emit(code, why)
