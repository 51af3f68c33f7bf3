#!/usr/bin/python3
# Makes the tables the library must read: one with shapelib's dbfcreate and
# dbfadd, one with python3-dbf.  Argument: the fixture folder (emptied).
import os, shutil, subprocess, sys, datetime
import dbf

folder = sys.argv[1]
shutil.rmtree(folder, ignore_errors=True)
os.makedirs(folder)
os.chdir(folder)

subprocess.run(["dbfcreate", "shp.dbf", "-s", "NAME", "20", "-n", "QTY", "8", "2"], check=True)
subprocess.run(["dbfadd", "shp.dbf", "Alpha", "1.5"], check=True)
subprocess.run(["dbfadd", "shp.dbf", "Beta", "22"], check=True)

t = dbf.Table("pyd.dbf", "NAME C(15); BORN D; OK L; AMT N(7,2)", dbf_type="db3")
t.open(dbf.READ_WRITE)
t.append(("Carol", datetime.date(1999, 12, 31), True, 12.5))
t.append(("Dave", datetime.date(2004, 2, 29), False, -3.25))
t.close()
