#!/usr/bin/python3
# `orin dbf` against the peers: python3-dbf makes a table with a deleted
# record; `orin dbf dump --csv` must list what dbfread reads (deleted
# records marked), and `orin dbf index FILE NAME` must list the live
# records in the order of their upper-cased names.
# Arguments: the wine-run script, the folder of orin.exe.
import csv, datetime, io, os, subprocess, sys
import dbf
from dbfread import DBF

wine_run, bindir = sys.argv[1], sys.argv[2]
folder = os.path.join(bindir, "dbftool")
os.makedirs(folder, exist_ok=True)
path = os.path.join(folder, "people.dbf")
for ext in (".dbf", ".I01"):
    try:
        os.remove(os.path.splitext(path)[0] + ext)
    except FileNotFoundError:
        pass

t = dbf.Table(path, "NAME C(12); BORN D; QTY N(5,0)", dbf_type="db3")
t.open(dbf.READ_WRITE)
rows = [("walnut", datetime.date(2001, 1, 2), 5), ("Apple", datetime.date(1999, 3, 4), 17),
        ("cherry", datetime.date(2010, 5, 6), 0), ("banana", datetime.date(1985, 7, 8), 42)]
for r in rows:
    t.append(r)
dbf.delete(t[2])
t.close()

def orin(*args):
    out = subprocess.run([wine_run, os.path.join(bindir, "orin.exe"), "dbf", *args],
                         cwd=bindir, capture_output=True, text=True, check=True)
    return out.stdout.replace("\r\n", "\n")

failures = []
got = list(csv.DictReader(io.StringIO(orin("dump", "dbftool\\people.dbf", "--csv"))))
peer = DBF(path, load=True)
want = [dict(r) for r in peer.records]
deleted = {r["NAME"] for r in peer.deleted}
if len(got) != len(rows):
    failures.append("dump lists %d records, want %d" % (len(got), len(rows)))
live = [g for g in got if g["state"] == "normal"]
if [g["NAME"] for g in live] != [w["NAME"] for w in want]:
    failures.append("live names %r, dbfread %r" % ([g["NAME"] for g in live], [w["NAME"] for w in want]))
if [g["BORN"] for g in live] != [w["BORN"].strftime("%Y%m%d") for w in want]:
    failures.append("dates differ from dbfread")
if [int(g["QTY"]) for g in live] != [w["QTY"] for w in want]:
    failures.append("numbers differ from dbfread")
if {g["NAME"] for g in got if g["state"] == "deleted"} != deleted:
    failures.append("deleted records differ from dbfread")

listed = [line.split("\t")[2] for line in orin("index", "dbftool\\people.dbf", "NAME").splitlines()]
expected = sorted((w["NAME"] for w in want), key=lambda n: n.upper())
if listed != expected:
    failures.append("index order %r, want %r" % (listed, expected))

info = orin("info", "dbftool\\people.dbf").splitlines()
if info[0] != "records: %d" % len(rows):
    failures.append("info says %r" % info[0])
fields = [(f.name, f.type, f.length) for f in peer.fields]
listed_fields = [tuple(l.split()[:3]) for l in info[2:]]
if [(n, t, int(l)) for n, t, l in listed_fields] != fields:
    failures.append("info fields %r, dbfread %r" % (listed_fields, fields))
check = dict(l.split(": ") for l in orin("check", "dbftool\\people.dbf").splitlines())
if (check["normal"], check["deleted"], check["locked"]) != (str(len(want)), str(len(deleted)), "0"):
    failures.append("check says %r" % check)

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("orin dbf agrees with dbfread")
