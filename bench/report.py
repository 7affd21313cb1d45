#!/usr/bin/env python3
"""Prints the table of goals from qmbench's JSON (medians of interleaved repetitions) and the
WHOLE_RUN line of bench/whole_run.sh. Goals are judged on CPU time, which time-slicing on a
shared machine disturbs far less than wall time. Exits 1 when a goal is missed.

usage: report.py <qmbench json> <whole_run.sh output>
"""
import json
import sys

medians = {b["run_name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"]
           if b.get("aggregate_name") == "median"}
whole = dict(f.split("=") for f in open(sys.argv[2]).read().split("WHOLE_RUN")[-1].split())


def cpu_ms(name):
    b = medians[name]
    return b["cpu_time"] * {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]


obj = medians["BM_Obj"]["Bytes"] / cpu_ms("BM_Obj") / 1e3
texture = medians["BM_Texture"]["ExportPerDecode"]
peak = int(whole["peak_kib"]) * 1024 / 1e6
limit = 2 * int(whole["model_bytes"]) / 1e6 + 32
rows = [
    ("OBJ writing, at least 1000 MB/s of OBJ text", f"{obj:.0f} MB/s", obj >= 1000),
    ("Texture export, at most 1.2x the bare libsquish decode loop", f"{texture:.3f}x",
     texture <= 1.2),
    (f"Peak memory, at most 2x the model + 32 MB ({limit:.1f} MB)", f"{peak:.1f} MB",
     peak <= limit),
    ("Whole run / floor (cat's work in one process), CPU",
     f"{whole['cpu']}x ({whole['cpu_range']})", None),
    ("Whole run / floor, wall", f"{whole['wall']}x ({whole['wall_range']})", None),
    ("Whole run / cat, one process per file, CPU",
     f"{whole['cat_cpu']}x ({whole['cat_cpu_range']})", None)]
print(f"{'Goal or measure':<62} {'Measured (range)':<20} Result")
for goal, measured, ok in rows:
    print(f"{goal:<62} {measured:<20} {({True: 'pass', False: 'FAIL', None: '-'})[ok]}")
sys.exit(0 if all(ok is not False for _, _, ok in rows) else 1)
