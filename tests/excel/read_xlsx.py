#!/usr/bin/python3
"""Prints what a spreadsheet program would find in a workbook, as JSON."""
import json
import sys
import zipfile

import openpyxl


def colour(c):
    if c is None or c.type != "rgb" or c.rgb is None:
        return None
    return str(c.rgb)[-6:].upper()


def main(path):
    with zipfile.ZipFile(path) as z:
        formulas = sum(z.read(n).count(b"<f>") + z.read(n).count(b"<f ")
                       for n in z.namelist() if n.startswith("xl/worksheets/"))
    wb = openpyxl.load_workbook(path)
    out = {"sheets": [], "formulas": formulas}
    for ws in wb.worksheets:
        sheet = {"name": ws.title, "dimensions": ws.calculate_dimension(),
                 "max_row": ws.max_row, "max_column": ws.max_column,
                 "widths": {}, "cells": {}}
        for letter, dim in ws.column_dimensions.items():
            if dim.customWidth:
                sheet["widths"][letter] = dim.width
        for row in ws.iter_rows():
            for c in row:
                if c.has_style or c.value is not None:
                    fill = c.fill.fgColor if c.fill is not None and c.fill.fill_type == "solid" else None
                    sheet["cells"][c.coordinate] = {
                        "value": c.value, "type": c.data_type,
                        "format": c.number_format, "fill": colour(fill),
                        "left": c.border.left.style, "right": c.border.right.style,
                        "top": c.border.top.style, "bottom": c.border.bottom.style,
                        "align": c.alignment.horizontal,
                    }
        out["sheets"].append(sheet)
    json.dump(out, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main(sys.argv[1])
