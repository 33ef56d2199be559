"""Tools > Scripts > Paint in Brisel...: Brisel on the selected paint layer."""

import os
import sys

from krita import Extension, Krita
from PyQt5.QtCore import QTimer
from PyQt5.QtWidgets import QMessageBox

from . import checks
from .session import Session, layer_facts

HERE = os.path.dirname(os.path.abspath(__file__))


class BriselExtension(Extension):
    def __init__(self, parent):
        super().__init__(parent)
        self.sessions = []

    def setup(self):
        # The tests' hook: a scenario module that drives Krita once its window is up.
        scenario = os.environ.get("BRISEL_KRITA_SCENARIO")
        if scenario:
            self._scenario_timer = QTimer()
            self._scenario_timer.timeout.connect(lambda: self._start_scenario(scenario))
            self._scenario_timer.start(500)

    def createActions(self, window):
        action = window.createAction("brisel_paint", "Paint in Brisel...", "tools/scripts")
        action.triggered.connect(self.paint)

    def _say(self, text):
        window = Krita.instance().activeWindow()
        QMessageBox.warning(window.qwindow() if window else None, "Brisel", text)

    def paint(self):
        """Starts Brisel on the selected layer; returns the session, or None after saying why not."""
        app = Krita.instance()
        document = app.activeDocument()
        window = app.activeWindow()
        view = window.activeView() if window else None
        if document is None:
            self._say("Open a picture first, then choose Paint in Brisel.")
            return None
        node = document.activeNode()
        refusal = checks.refusal_for(layer_facts(view, node))
        if refusal:
            self._say(refusal)
            return None
        program = checks.find_program(os.environ, HERE)
        if not program:
            self._say("Brisel is not installed where Krita can find it: run make install-krita-plugin from "
                      "Brisel's sources, or install the brisel package.")
            return None
        session = Session(app, document, node, program)
        session.finished.connect(lambda code, why, s=session: self._ended(s, why))
        try:
            session.start()
        except Exception as e:
            session._end(-1, "")
            self._say("Brisel could not be started: {}".format(e))
            return None
        self.sessions.append(session)
        return session

    def _ended(self, session, why):
        if session in self.sessions:
            self.sessions.remove(session)
        if why:
            sys.stderr.write("brisel-krita: {}\n".format(why))
            if not os.environ.get("BRISEL_KRITA_SCENARIO"):
                self._say(why)

    def _start_scenario(self, path):
        app = Krita.instance()
        if app.activeWindow() is None:
            return
        self._scenario_timer.stop()
        import importlib.util
        found = importlib.util.spec_from_file_location("brisel_krita_scenario", path)
        module = importlib.util.module_from_spec(found)
        found.loader.exec_module(module)
        module.run(self)
