#!/usr/bin/env python3
"""Writes the report workbooks of examples/reports/ for the sheet host and
Kovo.XLL: a profit and loss, a balance sheet and a departmental comparison of
the demo company. Every cell that asks the ledger carries, as its note, the
request the add-in sends for it, so that a test can ask the connector the
same question and compare."""
import json
import os

COMPANY = "DEMO"
MONEY = "#,##0.00;-#,##0.00"


def col(n):
    return "ABCDEFGHIJKLMNOPQRSTUVWXYZ"[n]


def formula(text, note=None, fmt=None):
    cell = {"formula": text}
    if note:
        cell["note"] = note
    if fmt:
        cell["format"] = fmt
    return cell


def quote(text):
    return '"' + text.replace('"', '""') + '"'


def statement(title, periods, lines):
    """A statement: rows of (label, function, account specifier), one column
    per period phrase; a "~" period is the difference of the two before it."""
    cells = {
        "A1": formula('=CODATA("NAME",$B$2)', "CODATA;NAME;" + COMPANY), "B1": title,
        "A2": "Company", "B2": COMPANY,
        "A4": "Line", "B4": "Accounts",
    }
    for i, period in enumerate(periods):
        cells[col(2 + i) + "4"] = "Variance" if period == "~" else period
    for r, (label, function, spec) in enumerate(lines):
        row = 5 + r
        cells["A%d" % row] = label
        cells["B%d" % row] = spec
        for i, period in enumerate(periods):
            c = col(2 + i)
            if period == "~":
                cells["%s%d" % (c, row)] = formula("=%s%d-%s%d" % (col(i), row, col(1 + i), row), fmt=MONEY)
            else:
                cells["%s%d" % (c, row)] = formula(
                    "=%s($B%d,%s$4,$B$2)" % (function, row, c),
                    "%s;%s;%s;%s" % (function, spec, period, COMPANY), MONEY)
    widths = {"A": 30, "B": 16}
    for i in range(len(periods)):
        widths[col(2 + i)] = 16
    return cells, widths


def departments():
    depts = ["10", "20", "30"]
    # Rows: an account (labelled by its main segment's description) or a
    # wildcard group with a label of its own.
    rows = [("4000", "NGL", None), ("4100", "NGL", None), ("4???", "NGL", "Revenue"),
            ("5000", "GL", None), ("5???", "GL", "Cost of goods sold"),
            ("6000", "GL", None), ("6???", "GL", "Operating expenses"),
            ("4000..7999", "NGL", "Net income")]
    cells = {
        "A1": formula('=CODATA("NAME",$B$2)', "CODATA;NAME;" + COMPANY), "B1": "Departments, year to date",
        "A2": "Company", "B2": COMPANY,
        "A4": "Accounts", "B4": "Department",
    }
    for i, d in enumerate(depts):
        c = col(2 + i)
        cells[c + "4"] = d
        cells[c + "5"] = formula('=SDESC("4000-"&%s$4,2,$B$2)' % c, "SDESC;4000-%s;2;%s" % (d, COMPANY))
    cells[col(2 + len(depts)) + "4"] = "*"
    cells[col(2 + len(depts)) + "5"] = "All"
    for r, (spec, function, label) in enumerate(rows):
        row = 6 + r
        cells["A%d" % row] = spec
        if label:
            cells["B%d" % row] = label
        else:
            cells["B%d" % row] = formula('=SDESC($A%d&"-10",1,$B$2)' % row, "SDESC;%s-10;1;%s" % (spec, COMPANY))
        for i, d in enumerate(depts + ["*"]):
            c = col(2 + i)
            cells["%s%d" % (c, row)] = formula(
                '=%s($A%d&"-"&%s$4,"Year to Date",$B$2)' % (function, row, c),
                "%s;%s-%s;Year to Date;%s" % (function, spec, d, COMPANY), MONEY)
    widths = {"A": 12, "B": 24, "C": 16, "D": 16, "E": 16, "F": 16}
    return cells, widths


def book(name, cells, widths):
    return {"kovoSheet": 1, "activeSheet": name,
            "sheets": [{"name": name, "columnWidths": widths, "cells": cells}]}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.join(here, "reports")
    os.makedirs(out, exist_ok=True)
    pnl = statement("Profit and Loss",
                    ["This Month", "Year to Date", "Year to Date Budget", "~", "Year to Date Last Year"],
                    [("Product sales", "NGL", "4000-*"),
                     ("Service revenue", "NGL", "4100-*"),
                     ("Sales discounts", "NGL", "4900-*"),
                     ("Cost of goods sold", "GL", "5???-*"),
                     ("Operating expenses", "GL", "6000..6999-*"),
                     ("Net income", "NGL", "4000..7999-*")])
    balance = statement("Balance Sheet", ["This Month", "Month 12 Last Year"],
                        [("Cash", "GL", "1000..1099-*"),
                         ("Receivables", "GL", "1100..1199-*"),
                         ("Inventory", "GL", "12??-*"),
                         ("Fixed assets, net", "GL", "1500..1699-*"),
                         ("Total assets", "GL", "1???-*"),
                         ("Liabilities", "NGL", "2000..2699-*"),
                         ("Equity", "NGL", "28??-*,29??-*"),
                         ("Income of the month", "NGL", "4000..7999-*")])
    for file, name, (cells, widths) in [("profit_and_loss.json", "Profit and Loss", pnl),
                                        ("balance_sheet.json", "Balance Sheet", balance),
                                        ("departments.json", "Departments", departments())]:
        with open(os.path.join(out, file), "w") as f:
            json.dump(book(name, cells, widths), f, indent=2)
            f.write("\n")


if __name__ == "__main__":
    main()
