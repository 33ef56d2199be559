#!/usr/bin/env python3
"""The include check on small made-up trees: which lines it reports, and which it lets through; a table that
is no order; the hosts' folder."""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from include_layers import check

README = """# Who may include whom

| folder | holds | may include |
|---|---|---|
| `a/` | `x.h`, not an allowance | `a/`, `b/one.h`, `platform/` |
| `host/` | the hosts | `host/`, `a/deep/y.h`, `platform/` |
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
HOST_FILES = {  # the same for the host folder: its own includes are written from it
    "file/h.cpp": [('"file/h.h"', False), ('"common/t.h"', False), ('"h.h"', False), ('"a/deep/y.h"', False),
                   ('"a/x.h"', True), ('"platform/qt/i.h"', False), ("<QImage>", False)],
    "file/h.h": [], "common/t.h": [],
    "gimp/plugin_main.cpp": [('"a/x.h"', False)],  # an entry point
}
# Tables that are no order, and all the check says of each: a cycle is named whole, beside its step upwards.
NO_ORDER = [
    ("| `a/` | | `a/`, `b/` |\n| `b/` | | `b/`, `a/x.h` |\n",
     {"the row b/ names a/x.h, of the row a/ above it", "the rows a/ -> b/ -> a/ form a cycle"}),
    ("| `a/` | | `b/` |\n| `b/` | | `c/` |\n| `c/` | | `a/` |\n",
     {"the row c/ names a/, of the row a/ above it", "the rows a/ -> b/ -> c/ -> a/ form a cycle"}),
    ("| `a/` | | `a/` |\n| `b/` | | `a/x.h` |\n", {"the row b/ names a/x.h, of the row a/ above it"}),
    ("| `a/` | | `z/` |\n", {"the row a/ names z/, whose folder has no row"}),
]



def write(top, files, shown):
    """The files under top; the lines the check must report, shown as from `shown`."""
    expected = set()
    for path, includes in files.items():
        os.makedirs(os.path.dirname(os.path.join(top, path)), exist_ok=True)
        open(os.path.join(top, path), "w").write("".join(f"#include {i}\n" for i, _ in includes))
        expected |= {f"{shown}{path}:{n}: #include {i}" for n, (i, bad) in enumerate(includes, 1) if bad}
    return expected


with tempfile.TemporaryDirectory() as top:
    src, host = os.path.join(top, "src"), os.path.join(top, "host")
    os.makedirs(src)
    open(os.path.join(src, "README.md"), "w").write(README)
    expected = write(src, FILES, "src/") | write(host, HOST_FILES, "host/")
    # Without the reason, and without what the table itself breaks (b/ has no row): that is checked below.
    found = {line.rsplit(": ", 1)[0] for line in check(src, host) if not line.startswith("src/README.md")}
    if found != expected:
        sys.exit(f"missed: {sorted(expected - found)}\nreported wrongly: {sorted(found - expected)}")
    for rows, said in NO_ORDER:
        open(os.path.join(src, "README.md"), "w").write("| folder | holds | may include |\n|---|---|---|\n" + rows)
        table = {line for line in check(src) if line.startswith("src/README.md")}
        if table != {f"src/README.md: {line}" for line in said}:
            sys.exit(f"for the table\n{rows}expected {sorted(said)}, got {sorted(table)}")
print(f"the include check reports the {len(expected)} breaches of the made-up trees and nothing else, and "
      f"each of {len(NO_ORDER)} tables that are no order")
