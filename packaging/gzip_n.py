#!/usr/bin/env python3
"""Compresses SOURCE into TARGET as `gzip -9n` would: best compression, no
file name or time stamp inside, so the same input gives the same bytes."""
import gzip
import sys

source, target = sys.argv[1], sys.argv[2]
with open(source, "rb") as f:
    data = f.read()
with open(target, "wb") as raw:
    with gzip.GzipFile(filename="", mode="wb", compresslevel=9, fileobj=raw, mtime=0) as out:
        out.write(data)
