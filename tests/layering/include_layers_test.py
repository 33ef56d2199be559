#!/usr/bin/env python3
"""The include check on a small made-up tree: which lines it reports, and which it lets through."""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from include_layers import check

README = """# Who may include whom

| folder | holds | may include |
|---|---|---|
| `a/` | `x.h`, not an allowance | `a/`, `b/one.h`, `platform/` |
| `platform/` | the outside | `platform/` |

Text after the table: `b/` is no allowance.
"""
FILES = {  # path: includes, each marked True when the check must report it
    "a/x.cpp": [('"a/deep/y.h"', False), ('"b/one.h"', False), ('"b/two.h"', True), ('"b/one.hh"', True),
                ("<QImage>", True), ("<queue>", False), ('"platform/qt/i.h"', True), ('"y.h"', True),
                ('"deep/y.h"', False)],
    "a/deep/y.h": [('"platform/native.h"', False)],
    "b/two.h": [('"a/x.h"', True)],  # a folder without a row
    "platform/native/n.cpp": [('"platform/qt/i.h"', True), ('"platform/native.h"', False), ("<qpa/q.h>", True)],
    "platform/qt/i.cpp": [('"platform/qt/i.h"', False), ("<QImage>", False), ('"a/x.h"', True)],
    "main.cpp": [("<QApplication>", False), ('"b/two.h"', False)],
}

with tempfile.TemporaryDirectory() as src:
    open(os.path.join(src, "README.md"), "w").write(README)
    expected = set()
    for path, includes in FILES.items():
        os.makedirs(os.path.dirname(os.path.join(src, path)), exist_ok=True)
        open(os.path.join(src, path), "w").write("".join(f"#include {i}\n" for i, _ in includes))
        expected |= {f"src/{path}:{n}: #include {i}" for n, (i, bad) in enumerate(includes, 1) if bad}
    found = {line.rsplit(": ", 1)[0] for line in check(src)}  # without the reason
    if found != expected:
        sys.exit(f"missed: {sorted(expected - found)}\nreported wrongly: {sorted(found - expected)}")
print(f"the include check reports the {len(expected)} breaches of the made-up tree and nothing else")
