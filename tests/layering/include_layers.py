#!/usr/bin/env python3
"""Checks every #include of src/ against the table "Who may include whom" in src/README.md.

    include_layers.py SRC_DIR

A file's row is its top folder under SRC_DIR (platform/native/ and platform/qt/ are files of the platform/
row). The row's "may include" column names folders (ending in /), each allowing every header in it and below,
and single headers. Only platform/qt/ itself may include the headers of platform/qt/, and no Qt header
(<Q...>, <qt...>, <qpa/...>) may appear outside it. main.cpp, the entry point, is not checked.
Prints each breach as `file:line: include` with the row it breaks, and exits 1 when there is one.
"""
import os
import re
import sys

QT_ONLY = "platform/qt/"
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


def breach(rows, source, target):
    """Why `source` (a path under src/) may not include `target`, or None when it may."""
    row = source.split("/")[0] + "/"
    if row not in rows:
        return f"its folder {row} has no row in the table"
    if target.startswith(QT_ONLY) and not source.startswith(QT_ONLY):
        return f"only {QT_ONLY} includes the headers of {QT_ONLY}"
    allowed = rows[row]
    if any(target.startswith(a) if a.endswith("/") else target == a for a in allowed):
        return None
    return f"breaks the row {row} (may include {', '.join(allowed)})"


def check(src_dir):
    """Every breach in src_dir, as printable lines."""
    with open(os.path.join(src_dir, "README.md"), encoding="utf-8") as f:
        rows = parse_table(f.read())
    found = []
    for folder, _, files in sorted(os.walk(src_dir)):
        for name in sorted(files):
            path = os.path.join(folder, name)
            source = os.path.relpath(path, src_dir).replace(os.sep, "/")
            if not name.endswith(SOURCE_SUFFIXES) or source == "main.cpp":
                continue
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    kind, written = m.groups()
                    closing = ">" if kind == "<" else '"'
                    where = f"src/{source}:{number}: #include {kind}{written}{closing}"
                    if kind == "<":
                        if QT_HEADER.match(written) and not source.startswith(QT_ONLY):
                            found.append(f"{where}: a Qt header outside {QT_ONLY}")
                        continue
                    # Includes are written from src/; one written from the including file's folder counts too.
                    target = os.path.normpath(written)
                    beside = os.path.normpath(os.path.join(os.path.dirname(source), written))
                    if not os.path.exists(os.path.join(src_dir, target)) and os.path.exists(
                            os.path.join(src_dir, beside)):
                        target = beside
                    why = breach(rows, source, target.replace(os.sep, "/"))
                    if why:
                        found.append(f"{where}: {why}")
    return found


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    breaches = check(sys.argv[1])
    for b in breaches:
        print(b)
    if breaches:
        print(f"{len(breaches)} include(s) break the table in src/README.md")
        sys.exit(1)
    print("every include of src/ keeps to the table in src/README.md")
