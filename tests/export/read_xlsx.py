#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Reads the first sheet of an XLSX file with nothing but zipfile and ElementTree, as a
spreadsheet program would find it, and prints it as JSON:

    {"sheet": NAME, "frozen_rows": N, "widths": [W, ...],
     "rows": [[{"ref": "A1", "value": TEXT or NUMBER, "bold": BOOL, "format": CODE}, ...], ...]}

Refuses (exit status 1, the reason on standard error) a package whose parts a spreadsheet
program would not find: a part without a content type, a relationship to a missing part.

    read_xlsx.py FILE.xlsx
"""

import json
import posixpath
import re
import sys
import zipfile
import xml.etree.ElementTree as ET

MAIN = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"
PACKAGE_RELS = "{http://schemas.openxmlformats.org/package/2006/relationships}"
TYPES = "{http://schemas.openxmlformats.org/package/2006/content-types}"
DOC_RELS = "{http://schemas.openxmlformats.org/officeDocument/2006/relationships}"
BUILT_IN_FORMATS = {0: "General", 1: "0", 2: "0.00", 3: "#,##0", 4: "#,##0.00"}


def fail(reason):
    print(reason, file=sys.stderr)
    sys.exit(1)


def unescape(text):
    """Characters XML cannot hold come as _xHHHH_."""
    return re.sub(r"_x([0-9A-Fa-f]{4})_", lambda m: chr(int(m.group(1), 16)), text)


def column_number(ref):
    letters = re.match(r"[A-Z]+", ref).group(0)
    number = 0
    for letter in letters:
        number = number * 26 + ord(letter) - ord("A") + 1
    return number - 1


class Package:
    def __init__(self, path):
        self.zip = zipfile.ZipFile(path)
        self.names = set(self.zip.namelist())
        types = self.xml("[Content_Types].xml")
        defaults = {d.get("Extension") for d in types.iter(TYPES + "Default")}
        overrides = {o.get("PartName").lstrip("/") for o in types.iter(TYPES + "Override")}
        for name in self.names:
            if name not in overrides and name.rsplit(".", 1)[-1] not in defaults:
                fail(f"{name} has no content type")

    def xml(self, name):
        if name not in self.names:
            fail(f"the package has no {name}")
        return ET.fromstring(self.zip.read(name))

    def related(self, part):
        """The targets of the part's relationships by type (the last word of its URI)."""
        folder, base = posixpath.split(part)
        rels = self.xml(posixpath.join(folder, "_rels", base + ".rels"))
        targets = {}
        for rel in rels.iter(PACKAGE_RELS + "Relationship"):
            target = posixpath.normpath(posixpath.join(folder, rel.get("Target")))
            if target not in self.names:
                fail(f"{part} refers to {target}, which is missing")
            targets[rel.get("Id")] = target
            targets.setdefault(rel.get("Type").rsplit("/", 1)[-1], target)
        return targets


def main():
    package = Package(sys.argv[1])
    workbook_part = package.related("")["officeDocument"]
    workbook_rels = package.related(workbook_part)
    first = package.xml(workbook_part).find(f"{MAIN}sheets/{MAIN}sheet")
    sheet_part = workbook_rels[first.get(DOC_RELS + "id")]

    strings = []
    if "sharedStrings" in workbook_rels:
        for item in package.xml(workbook_rels["sharedStrings"]).iter(MAIN + "si"):
            strings.append(unescape("".join(t.text or "" for t in item.iter(MAIN + "t"))))

    styles = package.xml(workbook_rels["styles"])
    formats = dict(BUILT_IN_FORMATS)
    for fmt in styles.iter(MAIN + "numFmt"):
        formats[int(fmt.get("numFmtId"))] = fmt.get("formatCode")
    fonts = [font.find(MAIN + "b") is not None for font in styles.find(MAIN + "fonts")]
    cell_styles = [(fonts[int(xf.get("fontId", 0))], formats[int(xf.get("numFmtId", 0))])
                   for xf in styles.find(MAIN + "cellXfs")]

    sheet = package.xml(sheet_part)
    pane = sheet.find(f"{MAIN}sheetViews/{MAIN}sheetView/{MAIN}pane")
    frozen_rows = 0
    if pane is not None and pane.get("state") == "frozen":
        frozen_rows = int(float(pane.get("ySplit", 0)))
    widths = []
    for col in sheet.iter(MAIN + "col"):
        for column in range(int(col.get("min")), int(col.get("max")) + 1):
            widths.extend([None] * (column - len(widths)))
            widths[column - 1] = float(col.get("width"))

    rows = []
    for row in sheet.iter(MAIN + "row"):
        index = int(row.get("r")) - 1
        rows.extend([[] for _ in range(index + 1 - len(rows))])
        for c in row.iter(MAIN + "c"):
            kind = c.get("t", "n")
            v = c.find(MAIN + "v")
            if kind == "s":
                value = strings[int(v.text)]
            elif kind == "inlineStr":
                value = unescape("".join(t.text or "" for t in c.iter(MAIN + "t")))
            elif kind == "n":
                value = float(v.text)
            else:
                fail(f"cell {c.get('r')} is of type {kind}")
            bold, code = cell_styles[int(c.get("s", 0))]
            column = column_number(c.get("r"))
            cells = rows[index]
            cells.extend([None] * (column + 1 - len(cells)))
            cells[column] = {"ref": c.get("r"), "value": value, "bold": bold, "format": code}

    json.dump({"sheet": first.get("name"), "frozen_rows": frozen_rows, "widths": widths,
               "rows": rows}, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()
