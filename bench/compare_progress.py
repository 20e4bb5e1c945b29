#!/usr/bin/env python3
"""Largest difference per column of two Progress.dat files (same steps).

usage: compare_progress.py A.dat B.dat
"""
import sys

def rows(path):
    with open(path) as f:
        lines = f.readlines()
    return lines[0].split(","), [[float(x) for x in l.split(",")] for l in lines[2:]]

names, a = rows(sys.argv[1])
_, b = rows(sys.argv[2])
print("rows %d and %d" % (len(a), len(b)))
for c, name in enumerate(names):
    d = max((abs(x[c] - y[c]) for x, y in zip(a, b)), default=0.0)
    if d > 0:
        print("%-10s max difference %.6g" % (name.strip(), d))
