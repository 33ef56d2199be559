"""Brisel's Krita plug-in: paints on the selected paint layer with Brisel (Tools > Scripts > Paint in Brisel...).

Outside Krita (the tests of checks.py) there is nothing to register.
"""

try:
    from krita import Krita
except ImportError:
    Krita = None

if Krita is not None:
    from .extension import BriselExtension

    Krita.instance().addExtension(BriselExtension(Krita.instance()))
