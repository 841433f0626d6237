#!/usr/bin/env python3
"""Writes demo.json, the bundled demo ledger: a small manufacturer (DEMO) and
a second company with three segments and older data (MFG2). The numbers come
from a fixed seed, so the file is the same on every run."""
import json
import random

rng = random.Random(2008)
YEARS = (2007, 2008)
CURRENT_PERIOD = 5


def month_ends(year):
    days = [31, 29 if year % 4 == 0 else 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31]
    return [f"{year:04d}-{m:02d}-{d:02d}" for m, d in enumerate(days, 1)]


def cents(x):
    return round(x, 2)


SEASON = [0.82, 0.86, 0.97, 1.0, 1.05, 1.08, 0.93, 0.9, 1.04, 1.1, 1.12, 1.13]

BALANCE_SHEET = [  # code, description, type, 2007 opening
    ("1000", "Cash - Operating", "100", 185000), ("1010", "Petty Cash", "100", 500),
    ("1020", "Cash - Payroll", "100", 12000), ("1100", "Accounts Receivable", "110", 264000),
    ("1150", "Allowance for Doubtful Accounts", "110", -8000), ("1200", "Inventory - Raw Materials", "120", 142000),
    ("1210", "Inventory - Work in Process", "120", 61000), ("1220", "Inventory - Finished Goods", "120", 98000),
    ("1300", "Prepaid Expenses", "130", 14000), ("1400", "Deposits", "130", 6000),
    ("1500", "Machinery and Equipment", "150", 640000), ("1510", "Accumulated Depreciation - Equipment", "150", -210000),
    ("1600", "Buildings", "160", 820000), ("1610", "Accumulated Depreciation - Buildings", "160", -164000),
    ("2000", "Accounts Payable", "200", -131000), ("2100", "Accrued Wages", "210", -38000),
    ("2200", "Sales Tax Payable", "220", -9000), ("2300", "Income Tax Payable", "220", -22000),
    ("2400", "Customer Deposits", "230", -15000), ("2500", "Long-term Debt", "250", -560000),
    ("2600", "Lease Obligations", "250", -48000), ("2800", "Common Stock", "280", -250000),
    ("2900", "Retained Earnings", "290", None),
]
INCOME = [  # code, description, type, monthly base per department (sign: credit negative)
    ("4000", "Product Sales", "400", -118000), ("4100", "Service Revenue", "410", -21000),
    ("4900", "Sales Discounts", "490", 2400), ("5000", "Materials", "500", 46000),
    ("5100", "Direct Labor", "510", 29000), ("5200", "Manufacturing Overhead", "520", 11000),
    ("6000", "Salaries", "600", 17000), ("6100", "Rent", "610", 4200), ("6200", "Utilities", "620", 2600),
    ("6300", "Office Supplies", "630", 900), ("6400", "Travel", "640", 1500), ("6500", "Advertising", "650", 3100),
    ("6600", "Insurance", "660", 1800), ("6700", "Depreciation", "670", 5200), ("6800", "Repairs and Maintenance", "680", 1300),
    ("6900", "Interest Expense", "690", 2700), ("7000", "Other Income", "700", -650), ("7100", "Bank Charges", "710", 240),
]
DEPARTMENTS = [("10", "Production", 1.0), ("20", "Sales", 0.55), ("30", "Administration", 0.3)]
DEPT_WEIGHT = {"4": (0.2, 0.7, 0.1), "5": (0.85, 0.1, 0.05), "6": (0.3, 0.35, 0.35), "7": (0.1, 0.1, 0.8)}


def split_amount(total, pieces):
    if pieces == 1 or abs(total) < 1:
        return [total]
    weights = [rng.uniform(0.5, 1.5) for _ in range(pieces)]
    parts = [cents(total * w / sum(weights)) for w in weights[:-1]]
    parts.append(cents(total - sum(parts)))
    return parts


def build_company(cid, name, structure, segment_names, data_version, trx, bs, income, depts, seg_join, extra_segs):
    accounts, balances, transactions, segments = [], [], [], []
    def code(acct, dept, region=None):
        return seg_join(acct, dept, region)
    bs_codes = [(code(a, depts[0][0], extra_segs[0] if extra_segs else None), d, t, o) for a, d, t, o in bs]
    inc_codes = []
    for a, d, t, base in income:
        weights = DEPT_WEIGHT[a[0]]
        for i, (dept, dname, _) in enumerate(depts):
            for region in (extra_segs or [None]):
                share = weights[i % len(weights)] / (len(extra_segs) if extra_segs else 1)
                inc_codes.append((code(a, dept, region), f"{d} - {dname}", t, base * share * 3))
    for c, d, t, _ in bs_codes:
        accounts.append({"code": c, "description": d, "type": t})
    for c, d, t, _ in inc_codes:
        accounts.append({"code": c, "description": d, "type": t})

    opening = {c: float(o or 0) for c, _, _, o in bs_codes}
    re_code = bs_codes[-1][0]
    cash_code = bs_codes[0][0]
    opening[re_code] = cents(-sum(v for k, v in opening.items() if k != re_code))
    growth = {2007: 1.0, 2008: 1.06}
    for year in YEARS:
        periods = 12 if year == 2007 else CURRENT_PERIOD
        changes = {}
        for c, _, t, base in inc_codes:
            changes[c] = [cents(base * growth[year] * SEASON[p] * rng.uniform(0.93, 1.07)) for p in range(periods)]
        net = [sum(changes[c][p] for c, _, _, _ in inc_codes) for p in range(periods)]
        for c, _, t, _ in bs_codes:
            if c in (re_code, cash_code):
                changes[c] = [0.0] * periods
            else:
                changes[c] = [cents(abs(opening[c]) * rng.uniform(-0.03, 0.03)) for _ in range(periods)]
        for p in range(periods):
            others = sum(changes[c][p] for c in changes if c != cash_code)
            changes[cash_code][p] = cents(-others)
        for c, _, t, base in bs_codes + inc_codes:
            is_bs = t < "300"
            record = {"account": c, "year": year, "opening": cents(opening[c]) if is_bs else 0,
                      "actual": [cents(x) for x in changes[c]]}
            if not is_bs:
                budget = [cents(base * growth[year] * SEASON[p]) for p in range(12)]
                record["budget"] = budget
                record["revisedBudget"] = [cents(b * (1.03 if p >= 3 else 1.0)) for p, b in enumerate(budget)]
            balances.append(record)
            for p, change in enumerate(changes[c]):
                if change == 0:
                    continue
                ends = month_ends(year)[p]
                pieces = 1 if is_bs else rng.choice((1, 1, 2))
                for n, amount in enumerate(split_amount(change, pieces)):
                    day = rng.randint(1, int(ends[-2:]))
                    t = {"account": c, "date": f"{year:04d}-{p + 1:02d}-{day:02d}", "amount": amount,
                         "journal": "GJ" if is_bs else ("SJ" if c.startswith("4") else "PJ"),
                         "batch": year * 100 + p + 1, "document": f"{cid}-{year % 100:02d}{p + 1:02d}-{n + 1}",
                         "description": accounts_by_code[c] if False else "", "createUser": "KOV",
                         "updateUser": "KOV", "history": year == 2007}
                    if c.startswith("5") and data_version == 8:
                        t["job"] = f"J{rng.randint(100, 105)}"
                        t["costType"] = rng.randint(1, 4)
                        t["costCode"] = f"CC{rng.randint(1, 9)}"
                    if c.startswith("6") and data_version == 8 and rng.random() < 0.3:
                        t["grant"] = f"G{rng.randint(1, 3)}"
                        t["coe"] = "E1"
                        t["fundSource"] = "FS1"
                        t["program"] = "P100"
                        t["activity"] = "A1"
                    t["posted"] = not (year == 2008 and p + 1 == CURRENT_PERIOD and rng.random() < 0.05)
                    transactions.append(t)
        # carry the closings into next year's openings; income closes to retained earnings
        for c, _, t, _ in bs_codes:
            opening[c] = cents(opening[c] + sum(changes[c]))
        opening[re_code] = cents(opening[re_code] + sum(sum(changes[c]) for c, _, _, _ in inc_codes))

    descs = {c: d for c, d, _, _ in bs_codes + inc_codes}
    for t in transactions:
        t["description"] = descs[t["account"]][:30]
    for a, d, _, _ in bs + income:
        segments.append({"segment": 1, "value": a, "description": d[:31]})
    for dept, dname, _ in depts:
        segments.append({"segment": 2, "value": dept, "description": dname})
    for region in extra_segs:
        segments.append({"segment": 3, "value": region, "description": {"01": "North", "02": "South"}[region]})
    return {
        "id": cid, "name": name, "dataDirectory": ".\\" + cid, "accountStructure": structure,
        "segmentNames": segment_names, "currentYear": 2008, "currentPeriod": CURRENT_PERIOD, "mainSegment": 1,
        "dataVersion": data_version, "transactionFiles": trx,
        "calendar": [{"year": y, "periods": 12, "periodEnds": month_ends(y), "flag": 1} for y in YEARS],
        "accounts": accounts, "balances": balances, "transactions": transactions, "segments": segments,
    }


accounts_by_code = {}
demo = build_company("DEMO", "Demo Manufacturing Inc.", "XXXX-XX", ["Account", "Dept"], 8, "gl_trx",
                     BALANCE_SHEET, INCOME, DEPARTMENTS, lambda a, d, r: f"{a}-{d}", [])
second = build_company("MFG2", "Demo Components Ltd.", "XXXX-XX-XX", ["Account", "Dept", "Region"], 7, "gl_trx2",
                       [BALANCE_SHEET[0], BALANCE_SHEET[3], BALANCE_SHEET[14], BALANCE_SHEET[21], BALANCE_SHEET[22]],
                       [INCOME[0], INCOME[3], INCOME[6]], DEPARTMENTS[:2], lambda a, d, r: f"{a}-{d}-{r}", ["01", "02"])
# DEMO's financial entities file: names standing for groups of segment
# values, and the departments' values with their descriptions.
demo["entities"] = [
    {"segment": 1, "entity": "Revenue", "specifier": "4000,4100"},
    {"segment": 1, "entity": "Cash", "specifier": "1000..1020"},
    {"segment": 2, "entity": "Overhead", "specifier": "20,30"},
] + [{"segment": 2, "value": dept, "description": dname} for dept, dname, _ in DEPARTMENTS]
with open(__file__.rsplit("/", 1)[0] + "/demo.json", "w") as out:
    json.dump({"companyFile": "sm_cmpny.dat", "companies": [demo, second]}, out, indent=1)
    out.write("\n")
print("accounts", len(demo["accounts"]), len(second["accounts"]),
      "transactions", len(demo["transactions"]), len(second["transactions"]))
