"""Builds the template store Contacts.data from its schema script."""
import os
import sqlite3
import sys

script, out = sys.argv[1], sys.argv[2]
tmp = out + ".tmp"
for path in (tmp, tmp + "-wal", tmp + "-shm"):
    if os.path.exists(path):
        os.remove(path)
with open(script, encoding="utf-8") as f:
    sql = f.read()
db = sqlite3.connect(tmp)
db.execute("PRAGMA journal_mode=WAL")
db.executescript(sql)
db.commit()
db.execute("PRAGMA wal_checkpoint(TRUNCATE)")
db.close()
for path in (tmp + "-wal", tmp + "-shm"):
    if os.path.exists(path):
        os.remove(path)
os.replace(tmp, out)
