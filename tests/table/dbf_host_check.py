#!/usr/bin/python3
# Reads back, with dbfread and shapelib's dbfdump, the tables the library
# wrote or appended to in the fixture folder (argument).  Exits non-zero
# with a message on the first difference.
import datetime, os, subprocess, sys
from dbfread import DBF

folder = sys.argv[1]
os.chdir(folder)
failures = []

def expect(what, got, want):
    if got != want:
        failures.append("%s: got %r, want %r" % (what, got, want))

def rows(name):
    return [dict(r) for r in DBF(name, load=True)]

def dump(name):
    return subprocess.run(["dbfdump", "-r", name], check=True, capture_output=True, text=True).stdout

# Tables the peers made and the library appended to.
shp = rows("shp.dbf")
expect("shp names", [r["NAME"] for r in shp], ["Alpha", "Beta", "Gamma"])
expect("shp qty", [r["QTY"] for r in shp], [1.5, 22.0, 333.25])
expect("shp dbfdump", [l.split()[0] for l in dump("shp.dbf").splitlines()[1:]],
       ["Alpha", "Beta", "Gamma"])

pyd = rows("pyd.dbf")
expect("pyd names", [r["NAME"] for r in pyd], ["Carol", "Dave", "Erin"])
expect("pyd born", [r["BORN"] for r in pyd],
       [datetime.date(1999, 12, 31), datetime.date(2004, 2, 29), datetime.date(2026, 1, 2)])
expect("pyd ok", [r["OK"] for r in pyd], [True, False, True])
expect("pyd amt", [r["AMT"] for r in pyd], [12.5, -3.25, 7.0])
import dbf
t = dbf.Table("pyd.dbf")
t.open(dbf.READ_ONLY)
expect("pyd via dbf", [r.name.strip() for r in t], ["Carol", "Dave", "Erin"])
t.close()

# Tables the library made: with and without the status field.
for name, status in (("lib_status.dbf", True), ("lib_plain.dbf", False)):
    table = DBF(name, load=True)
    fields = [f.name for f in table.fields]
    want = (["ORINSTATUS"] if status else []) + ["NAME", "QTY", "BORN", "OK"]
    expect(name + " fields", fields, want)
    got = [(r["NAME"], r["QTY"], r["BORN"], r["OK"]) for r in table.records]
    expect(name + " records", got,
           [("Ann", 5, datetime.date(2001, 7, 4), True),
            ("Bob", 42, datetime.date(1980, 1, 31), False)])
    expect(name + " deleted", [r["NAME"] for r in table.deleted], ["Cid"])
    lines = dump(name).splitlines()
    expect(name + " dbfdump rows", len(lines) - 1, 3)
    expect(name + " dbfdump first", lines[1].split()[-4:] if status else lines[1].split(),
           ["Ann", "5", "20010704", "T"])

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("dbf host check: all tables read back as expected")
