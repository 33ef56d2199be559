#!/usr/bin/env python3
"""The Krita plug-in's decisions that need no Krita (host/krita/plugin/brisel_krita/checks.py).

    checks_test.py PLUGIN_DIR
"""
import os
import struct
import sys
import unittest

sys.path.insert(0, sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "../../host/krita/plugin"))
from brisel_krita import checks  # noqa: E402  (the package imports no Krita outside Krita)

GOOD = checks.LayerFacts(selected=1, kind="paintlayer", model="RGBA", depth="U8", visible=True, locked=False,
                         animated=False)


class RefusalTest(unittest.TestCase):
    def test_paints_only_on_one_visible_unlocked_still_rgb_integer_paint_layer(self):
        self.assertIsNone(checks.refusal_for(GOOD))
        self.assertIsNone(checks.refusal_for(GOOD._replace(depth="U16")))
        # each refusal with a word that says what to do
        cases = [
            (dict(selected=0), "Select"),
            (dict(selected=2), "one layer at a time"),
            (dict(kind="grouplayer"), "layer group"),
            (dict(kind="vectorlayer"), "Convert to Paint Layer"),
            (dict(kind="filelayer"), "Convert to Paint Layer"),
            (dict(kind="clonelayer"), "clone layer"),
            (dict(kind="filllayer"), "fill layer"),
            (dict(kind="filterlayer"), "filter layer"),
            (dict(kind="transparencymask"), "not on its masks"),
            (dict(kind="colorizemask"), "not on its masks"),
            (dict(kind="somethingnew"), "not a paint layer"),
            (dict(model="CMYKA"), "CMYK"),
            (dict(model="LABA"), "Lab"),
            (dict(model="GRAYA"), "greyscale"),
            (dict(depth="F16"), "floating point"),
            (dict(depth="F32"), "floating point"),
            (dict(visible=False), "hidden"),
            (dict(locked=True), "locked"),
            (dict(animated=True), "animated"),
        ]
        for change, words in cases:
            with self.subTest(**change):
                refusal = checks.refusal_for(GOOD._replace(**change))
                self.assertIsNotNone(refusal)
                self.assertIn(words, refusal)
        # at a send the painter sends again: choosing the menu entry again would start a second Brisel
        self.assertIn("send again", checks.refusal_for(GOOD._replace(locked=True), again="send again"))
        self.assertNotIn("Paint in Brisel", checks.refusal_for(GOOD._replace(locked=True), again="send again"))


class StartTest(unittest.TestCase):
    def test_brisel_starts_without_kritas_qt_and_python_settings(self):
        krita = {"PATH": "/usr/bin", "HOME": "/home/p", "DISPLAY": ":0", "QT_QPA_PLATFORM": "wayland",
                 "PYTHONPATH": "/app/lib/python", "PYTHONHOME": "/app", "LD_LIBRARY_PATH": "/tmp/.mount/usr/lib",
                 "QT_PLUGIN_PATH": "/app/plugins", "APPIMAGE": "/home/p/krita.appimage", "KRITA_PLUGIN_PATH": "x",
                 "XDG_RUNTIME_DIR": "/run/user/1000", "LANG": "de_DE.UTF-8"}
        clean = checks.clean_environment(krita)
        self.assertEqual(clean, {"PATH": "/usr/bin", "HOME": "/home/p", "DISPLAY": ":0", "QT_QPA_PLATFORM": "xcb",
                                 "XDG_RUNTIME_DIR": "/run/user/1000", "LANG": "de_DE.UTF-8"})
        self.assertNotIn("QT_QPA_PLATFORM", checks.clean_environment({"QT_QPA_PLATFORM": "xcb"}))

    def test_the_command_line_and_where_brisel_is(self):
        self.assertEqual(checks.command_for("/usr/bin/brisel", "/run/x", False),
                         ["/usr/bin/brisel", "--krita-exchange", "/run/x"])
        self.assertEqual(checks.command_for("brisel", "/run/x", True)[:2], ["flatpak-spawn", "--host"])
        self.assertEqual(checks.find_program({"BRISEL_PROGRAM": "/opt/b"}, "/nowhere"), "/opt/b")
        self.assertIsNone(checks.find_program({"PATH": "/nonexistent"}, "/nowhere"))

    def test_the_header_keeps_names_on_one_line(self):
        text = checks.header_text(40, 30, 0, 0, 16, "/a/b\nc.kra", "Layer\t1", 0x1200007)
        self.assertEqual(text.splitlines(), ["brisel-krita 1", "size 40 30", "origin 0 0", "depth 16",
                                             "document /a/b c.kra", "layer Layer 1", "window 18874375"])


class RequestTest(unittest.TestCase):
    def test_requests_are_read_strictly(self):
        cases = [
            ("fetch", ("fetch", [])),
            ("size", ("size", [])),
            ("paper", ("paper", [])),
            ("read 1 2 3 4", ("read", [1, 2, 3, 4])),
            ("apply 0 0 64 48", ("apply", [0, 0, 64, 48])),
            ("", None),
            ("fetch now", None),
            ("read 1 2 3", None),
            ("read 1 2 0 4", None),
            ("apply 1 2 3 x", None),
            ("delete", None),
        ]
        for line, expected in cases:
            with self.subTest(line=line):
                self.assertEqual(checks.parse_request(line), expected)
        self.assertTrue(checks.box_inside((0, 0, 64, 48), 64, 48))
        self.assertFalse(checks.box_inside((1, 0, 64, 48), 64, 48))
        self.assertFalse(checks.box_inside((-1, 0, 4, 4), 64, 48))


class SessionTest(unittest.TestCase):
    def test_a_send_between_the_two_steps_of_the_last_is_told_apart(self):
        for present, between in [({"a"}, False), ({"b"}, False), ({"a", "b"}, True), ({"a", "c"}, True),
                                 (set(), False), ({"x", "c"}, False)]:
            with self.subTest(present=present):
                self.assertEqual(checks.between_steps(present, ["a", "b", "c"]), between)

    def test_only_folders_of_this_user_whose_krita_died_are_stale(self):
        import tempfile
        with tempfile.TemporaryDirectory() as base:
            def folder(name, pid):
                os.mkdir(os.path.join(base, name))
                if pid is not None:
                    with open(os.path.join(base, name, "krita.pid"), "w") as f:
                        f.write(pid)
            folder("brisel-krita-dead", "41")
            folder("brisel-krita-alive", "42")
            folder("brisel-krita-nopid", None)
            folder("brisel-krita-garbled", "x")
            folder("other-dead", "41")
            os.symlink(os.path.join(base, "brisel-krita-dead"), os.path.join(base, "brisel-krita-link"))
            alive = lambda pid: pid == 42
            self.assertEqual(checks.stale_exchange_folders(base, os.getuid(), alive),
                             [os.path.join(base, "brisel-krita-dead")])
            self.assertEqual(checks.stale_exchange_folders(base, os.getuid() + 1, alive), [])
        self.assertEqual(checks.stale_exchange_folders("/nonexistent", os.getuid(), alive), [])
        self.assertTrue(checks.process_alive(os.getpid()))


if __name__ == "__main__":
    unittest.main()
