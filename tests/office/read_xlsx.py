"""Prints a stored workbook as JSON for the office tests: the sheets in order, and per sheet its
merged areas, column widths and every cell that holds something (value, cached formula result,
fill, border, date)."""
import datetime
import json
import sys

import openpyxl

path = sys.argv[1]
formulas = openpyxl.load_workbook(path)
values = openpyxl.load_workbook(path, data_only=True)

def plain(v):
    if isinstance(v, (datetime.datetime, datetime.date)):
        return v.strftime("%Y-%m-%d")
    return v

out = {"sheets": []}
for ws in formulas.worksheets:
    wv = values[ws.title]
    cells = {}
    for row in ws.iter_rows():
        for c in row:
            fill = c.fill.fgColor.rgb if c.fill is not None and c.fill.fill_type == "solid" else None
            bottom = c.border.bottom.style if c.border and c.border.bottom else None
            top = c.border.top.style if c.border and c.border.top else None
            if c.value is None and fill is None and bottom is None and top is None:
                continue
            entry = {"v": plain(wv[c.coordinate].value)}
            if c.data_type == "f":
                entry["f"] = c.value
            if fill:
                entry["fill"] = fill
            if bottom:
                entry["bottom"] = bottom
            if top:
                entry["top"] = top
            if getattr(c, "is_date", False):
                entry["date"] = True
            cells[c.coordinate] = entry
    widths = {k: v.width for k, v in ws.column_dimensions.items() if v.customWidth}
    out["sheets"].append({"name": ws.title, "merged": [str(r) for r in ws.merged_cells.ranges],
                          "widths": widths, "cells": cells})
json.dump(out, sys.stdout, ensure_ascii=False)
