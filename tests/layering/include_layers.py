#!/usr/bin/env python3
"""Checks every #include of src/ and host/ against the table "Who may include whom" in src/README.md.

    include_layers.py SRC_DIR [HOST_DIR]

The table is an order: read top to bottom, a row may name only rows below it (and itself), so that no two
folders include each other, however far round. A row that names a row above it, or a folder with no row,
breaks the table, and so does every cycle of rows, named as such.

A file's row is its top folder under SRC_DIR (platform/native/ and platform/qt/ are files of the platform/
row); every file under HOST_DIR is of the host/ row, and includes written from HOST_DIR ("file/x.h") are
host/'s own. The row's "may include" column names folders (ending in /), each allowing every header in it and
below, and single headers. In src/, only platform/qt/ itself may include the headers of platform/qt/, and no
Qt header (<Q...>, <qt...>, <qpa/...>) may appear outside it; the hosts are Qt programs of their own. The entry
points, main.cpp and host/*/plugin_main.cpp, are not checked.
Prints each breach as `file:line: include` with the row it breaks, and exits 1 when there is one.
"""
import os
import re
import sys

QT_ONLY = "platform/qt/"
HOST = "host/"
ENTRY_POINT = re.compile(r"^(main\.cpp|host/[^/]+/plugin_main\.cpp)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
QT_HEADER = re.compile(r"^(Q|qt|qpa/|q\w*\.h$)")
SOURCE_SUFFIXES = (".cpp", ".cc", ".h", ".hpp", ".inl")


def parse_table(readme_text):
    """The table's rows as {folder: [allowed folder or header, ...]}, read by the column names."""
    rows, columns = {}, None
    for line in readme_text.splitlines():
        if not line.lstrip().startswith("|"):
            if columns and rows:
                break  # the table has ended
            continue
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if columns is None:
            if "folder" in cells and "may include" in cells:
                columns = (cells.index("folder"), cells.index("may include"))
            continue
        if set("".join(cells)) <= set("-: "):
            continue  # the line under the heading
        folder = re.findall(r"`([^`]+)`", cells[columns[0]])
        if len(folder) != 1 or not folder[0].endswith("/"):
            raise ValueError(f"a row of the table names no single folder: {line}")
        rows[folder[0]] = re.findall(r"`([^`]+)`", cells[columns[1]])
    if not rows:
        raise ValueError("no table with the columns 'folder' and 'may include'")
    return rows


def order_breaches(rows):
    """What keeps the table from being an order, top to bottom: rows named above, folders without a row,
    and the cycles of rows."""
    found, position = [], {row: i for i, row in enumerate(rows)}
    edges = {}
    for row, allowed in rows.items():
        edges[row] = []
        for entry in allowed:
            folder = entry.split("/")[0] + "/"
            if folder == row:
                continue
            if folder not in position:
                found.append(f"src/README.md: the row {row} names {entry}, whose folder has no row")
                continue
            edges[row].append(folder)
            if position[folder] < position[row]:
                found.append(f"src/README.md: the row {row} names {entry}, of the row {folder} above it")
    # Every cycle, each reported once, from its row highest in the table.
    cycles = set()

    def walk(path):
        for nxt in edges.get(path[-1], []):
            if nxt == path[0]:
                cycles.add(tuple(path))
            elif nxt not in path and position[nxt] > position[path[0]]:
                walk(path + [nxt])

    for row in rows:
        walk([row])
    for cycle in sorted(cycles):
        found.append(f"src/README.md: the rows {' -> '.join(cycle + (cycle[0],))} form a cycle")
    return found


def breach(rows, source, target):
    """Why `source` (a path under src/) may not include `target`, or None when it may."""
    row = source.split("/")[0] + "/"
    if row not in rows:
        return f"its folder {row} has no row in the table"
    if target.startswith(QT_ONLY) and not source.startswith(QT_ONLY) and row != HOST:
        return f"only {QT_ONLY} includes the headers of {QT_ONLY}"
    allowed = rows[row]
    if any(target.startswith(a) if a.endswith("/") else target == a for a in allowed):
        return None
    return f"breaks the row {row} (may include {', '.join(allowed)})"


def sources(src_dir, host_dir):
    """(path on disk, name as the table reads it) of every source file, src/ first."""
    for top, prefix in ((src_dir, ""), (host_dir, HOST)):
        if not top:
            continue
        for folder, _, files in sorted(os.walk(top)):
            for name in sorted(files):
                if name.endswith(SOURCE_SUFFIXES):
                    path = os.path.join(folder, name)
                    yield path, prefix + os.path.relpath(path, top).replace(os.sep, "/")


def resolve(src_dir, host_dir, source, written):
    """The included file as the table reads it: written from src/, from the host folder (host/'s own), or
    from the including file's folder."""
    target = os.path.normpath(written)
    if os.path.exists(os.path.join(src_dir, target)):
        return target.replace(os.sep, "/")
    if host_dir and os.path.exists(os.path.join(host_dir, target)):
        return HOST + target.replace(os.sep, "/")
    if source.startswith(HOST):
        beside = os.path.normpath(os.path.join(os.path.dirname(source[len(HOST):]), written))
        if host_dir and os.path.exists(os.path.join(host_dir, beside)):
            return HOST + beside.replace(os.sep, "/")
    else:
        beside = os.path.normpath(os.path.join(os.path.dirname(source), written))
        if os.path.exists(os.path.join(src_dir, beside)):
            return beside.replace(os.sep, "/")
    return target.replace(os.sep, "/")


def check(src_dir, host_dir=None):
    """Every breach of the table and of the includes of src_dir (and host_dir), as printable lines."""
    with open(os.path.join(src_dir, "README.md"), encoding="utf-8") as f:
        rows = parse_table(f.read())
    found = order_breaches(rows)
    for path, source in sources(src_dir, host_dir):
        if ENTRY_POINT.match(source):
            continue
        shown = source if source.startswith(HOST) else "src/" + source
        with open(path, encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                kind, written = m.groups()
                closing = ">" if kind == "<" else '"'
                where = f"{shown}:{number}: #include {kind}{written}{closing}"
                if kind == "<":
                    if QT_HEADER.match(written) and not source.startswith((QT_ONLY, HOST)):
                        found.append(f"{where}: a Qt header outside {QT_ONLY}")
                    continue
                why = breach(rows, source, resolve(src_dir, host_dir, source, written))
                if why:
                    found.append(f"{where}: {why}")
    return found


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    breaches = check(*sys.argv[1:])
    for b in breaches:
        print(b)
    if breaches:
        print(f"{len(breaches)} include(s) break the table in src/README.md")
        sys.exit(1)
    print("the table in src/README.md is an order, and every include keeps to it")
