#!/usr/bin/python3
"""Independent reader and form maker for the workbook tests (openpyxl).

  xlsx_tool.py dump FILE        prints the book as JSON: sheets, values and types, number
                                formats, quote prefixes, merges, widths, heights, names,
                                active sheet, selection
  xlsx_tool.py form KIND FILE   writes a form book made by openpyxl (KIND: body, matrix, styled)
"""
import json
import sys
import zipfile
import xml.etree.ElementTree as ET

import openpyxl
from openpyxl.styles import Alignment, Border, Font, PatternFill, Side
from openpyxl.formatting.rule import CellIsRule
from openpyxl.worksheet.datavalidation import DataValidation


def dump(path):
    wb = openpyxl.load_workbook(path)
    out = {"active": wb.sheetnames.index(wb.active.title), "sheets": [], "names": {}}
    for dn in wb.defined_names.definedName:
        out["names"][dn.name] = dn.attr_text
    # the defined names as written (openpyxl moves print areas and titles into the sheets)
    ns = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"
    with zipfile.ZipFile(path) as z:
        root = ET.fromstring(z.read("xl/workbook.xml"))
    out["definedNames"] = sorted(
        [e.get("name"), e.get("localSheetId"), e.text] for e in root.iter(ns + "definedName"))
    for ws in wb.worksheets:
        cells = {}
        for row in ws.iter_rows():
            for c in row:
                if c.value is None and c.style_id == 0:
                    continue
                v = c.value
                if hasattr(v, "isoformat"):
                    v = v.isoformat()
                cells[c.coordinate] = {
                    "v": v,
                    "t": c.data_type,
                    "fmt": c.number_format,
                    "quote": bool(c.quotePrefix),
                    "bold": bool(c.font and c.font.b),
                    "fill": c.fill.fgColor.rgb if c.fill and c.fill.fill_type else None,
                }
        sel = ws.sheet_view.selection[0] if ws.sheet_view.selection else None
        names = {}
        for dn in getattr(ws, "defined_names", {}) or {}:
            names[dn] = ws.defined_names[dn].attr_text if hasattr(ws.defined_names[dn], "attr_text") else str(ws.defined_names[dn])
        out["sheets"].append({
            "name": ws.title,
            "cells": cells,
            "merges": sorted(str(m) for m in ws.merged_cells.ranges),
            "widths": {k: v.width for k, v in ws.column_dimensions.items() if v.customWidth},
            "colfmt": {k: (v.number_format if v.style_id else None) for k, v in ws.column_dimensions.items()},
            "heights": {str(k): v.height for k, v in ws.row_dimensions.items() if v.height is not None},
            "rowfmt": {str(k): v.number_format for k, v in ws.row_dimensions.items() if v.s},
            "selected": bool(ws.sheet_view.tabSelected),
            "activeCell": sel.activeCell if sel else None,
            "sqref": str(sel.sqref) if sel else None,
            "printArea": ",".join(ws.print_area) if isinstance(ws.print_area, list) else ws.print_area,
            "printTitleRows": ws.print_title_rows,
            "conditional": sorted(str(r.sqref) for r in ws.conditional_formatting),
            "validations": sorted(str(v.sqref) for v in ws.data_validations.dataValidation),
            "maxRow": ws.max_row,
            "maxCol": ws.max_column,
        })
    json.dump(out, sys.stdout, ensure_ascii=False, sort_keys=True)


def form(kind, path):
    wb = openpyxl.Workbook()
    ws = wb.active
    thin = Side(style="thin")
    if kind == "body":
        # a definition form: title rows 1-3, body block from row 5 of 20 records, 2 rows each
        ws.title = "form"
        ws["A1"] = "テーブル定義書"
        ws["A1"].font = Font(b=True, size=14)
        ws.merge_cells("A1:E1")
        ws["A3"] = "No"
        ws["B3"] = "項目名"
        ws["C3"] = "=ROWS(A5:A44)"
        for r in range(5, 45):
            ws.row_dimensions[r].height = 21
            for c in range(1, 6):
                cell = ws.cell(row=r, column=c)
                cell.border = Border(top=thin, bottom=thin, left=thin, right=thin)
                cell.fill = PatternFill("solid", fgColor="FFFFF2CC")
            if r % 2 == 1:
                ws.merge_cells(start_row=r, start_column=4, end_row=r + 1, end_column=4)
            ws.cell(row=r, column=5).value = "=A%d&B%d" % (r, r)
        ws["F5"] = "=SUM($A$5:A5)"
        ws.column_dimensions["B"].width = 30
        ws.conditional_formatting.add("A5:E44", CellIsRule(operator="equal", formula=['"x"'], font=Font(b=True)))
        dv = DataValidation(type="list", formula1='"a,b"', allow_blank=True)
        dv.add("C5:C44")
        ws.add_data_validation(dv)
        ws.print_area = "A1:E44"
        ws.print_title_rows = "3:3"
        ws2 = wb.create_sheet("other")
        ws2["A1"] = "他のシート"
    elif kind == "matrix":
        # a matrix form: 2 header rows and columns, a page of 4 rows x 3 columns
        ws.title = "matrix"
        for r in range(1, 7):
            for c in range(1, 6):
                cell = ws.cell(row=r, column=c)
                cell.border = Border(top=thin, bottom=thin, left=thin, right=thin)
                if r <= 2 or c <= 2:
                    cell.fill = PatternFill("solid", fgColor="FFDDEBF7")
                cell.alignment = Alignment(text_rotation=90 if r == 1 and c > 2 else 0)
        for c in "CDE":
            ws.column_dimensions[c].width = 4
        ws.row_dimensions[1].height = 80
        for r in range(3, 7):
            ws.row_dimensions[r].height = 15
    elif kind == "styled":
        ws.title = "styled"
        ws["A1"] = "keep"
        ws["A1"].font = Font(b=True)
        ws["B2"] = 5
        ws["B2"].fill = PatternFill("solid", fgColor="FFFF0000")
        ws["C3"].number_format = "@"
        ws["C3"].font = Font(b=True)
        ws.column_dimensions["D"].number_format = "@"
    else:
        raise SystemExit("unknown form " + kind)
    wb.save(path)


if __name__ == "__main__":
    if sys.argv[1] == "dump":
        dump(sys.argv[2])
    elif sys.argv[1] == "form":
        form(sys.argv[2], sys.argv[3])
    else:
        raise SystemExit(__doc__)
