#!/usr/bin/env python3
"""Prints the table of goals from qmbench's JSON (medians of interleaved repetitions) and the
WHOLE_RUN line of bench/whole_run.sh. Every goal is a ratio to a floor timed in the same run (the
least work the measured path can do), in CPU time, which time-slicing on a shared machine disturbs
far less than wall time; so a goal holds or fails alike on any machine of the same kind. Exits 1
when a goal is missed.

usage: report.py <qmbench json> <whole_run.sh output>
"""
import json
import sys

medians = {b["run_name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"]
           if b.get("aggregate_name") == "median"}
whole = dict(f.split("=") for f in open(sys.argv[2]).read().split("WHOLE_RUN")[-1].split())

obj = medians["BM_Obj"]["ObjPerNumbers"]
mbps = medians["BM_Obj"]["MBps"]
fmt = medians["BM_Format"]["SnprintfPerFormat"]
texture = medians["BM_Texture"]["ExportPerFloor"]
decode = medians["BM_Texture"]["ExportPerDecode"]
peak = int(whole["peak_kib"]) * 1024 / 1e6
limit = 2 * int(whole["model_bytes"]) / 1e6 + 32
rows = [
    ("OBJ writing, at most 1.4x printing the text's numbers alone", f"{obj:.3f}x", obj <= 1.4),
    ("\"%f\" formatting, at least 20x as fast as snprintf", f"{fmt:.1f}x", fmt >= 20),
    ("Texture export, at most 1.2x decoding the blocks + copying the BMP bytes",
     f"{texture:.3f}x", texture <= 1.2),
    (f"Peak memory, at most 2x the model + 32 MB ({limit:.1f} MB)", f"{peak:.1f} MB",
     peak <= limit),
    ("OBJ text, MB/s (depends on the machine)", f"{mbps:.0f} MB/s", None),
    ("Texture export / the bare decode loop alone", f"{decode:.3f}x", None),
    ("Whole run / floor (cat's work in one process), CPU",
     f"{whole['cpu']}x ({whole['cpu_range']})", None),
    ("Whole run / floor, wall", f"{whole['wall']}x ({whole['wall_range']})", None),
    ("Whole run / cat, one process per file, CPU",
     f"{whole['cat_cpu']}x ({whole['cat_cpu_range']})", None)]
print(f"{'Goal or measure':<74} {'Measured (range)':<20} Result")
for goal, measured, ok in rows:
    print(f"{goal:<74} {measured:<20} {({True: 'pass', False: 'FAIL', None: '-'})[ok]}")
sys.exit(0 if all(ok is not False for _, _, ok in rows) else 1)
