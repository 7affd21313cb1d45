#!/usr/bin/env python3
"""Prints the one table of goals from a Google Benchmark JSON file and the whole-run output.

usage: report.py <benchmark json> <whole_run output>

Each ratio compares medians of benchmarks that ran interleaved in one process,
or the medians of interleaved whole runs. Pass or fail is decided on CPU time
(user + system of the process), which time-slicing on a shared machine
disturbs far less than wall time; the wall time figure is printed beside it.
"""
import json
import re
import sys


def medians(path):
    with open(path) as f:
        data = json.load(f)
    out = {}
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = b["run_name"].replace("/real_time", "")
        name = re.sub(r"/(iterations|repeats):\d+", "", name)
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b["time_unit"]]
        # An aggregate median wins over a single run of the same name.
        if b.get("run_type") == "aggregate" or name not in out:
            out[name] = {"cpu": b["cpu_time"] * scale, "wall": b["real_time"] * scale,
                         "bytes": b.get("Bytes", 0.0), "items": b.get("items_per_second", 0.0)}
    return out


def main():
    m = medians(sys.argv[1])
    whole = open(sys.argv[2]).read()
    rows = []

    def ratio(goal, slow, fast, limit):
        c = m[slow]["cpu"] / m[fast]["cpu"]
        w = m[slow]["wall"] / m[fast]["wall"]
        rows.append((goal, f"{c:.2f}x", f"{w:.2f}x", "pass" if c <= limit else "FAIL"))

    def rate(goal, name, limit):
        c = m[name]["bytes"] / m[name]["cpu"] / 1e6
        w = m[name]["bytes"] / m[name]["wall"] / 1e6
        rows.append((goal, f"{c:.0f} MB/s", f"{w:.0f} MB/s", "pass" if c >= limit else "FAIL"))

    def info(what, slow, fast):
        c = m[slow]["cpu"] / m[fast]["cpu"]
        w = m[slow]["wall"] / m[fast]["wall"]
        rows.append((what, f"{c:.2f}x", f"{w:.2f}x", "info"))

    w = re.search(r"WHOLE_RUN cpu_ratio=([\d.]+) wall_ratio=([\d.]+) .*peak_kib=(\d+) model_bytes=(\d+)", whole)
    if w:
        rows.append(("Whole run <= 2x cat (read model, write outputs)", f"{float(w.group(1)):.2f}x",
                     f"{float(w.group(2)):.2f}x", "pass" if float(w.group(1)) <= 2 else "FAIL"))
    else:
        rows.append(("Whole run <= 2x cat (read model, write outputs)", "no result", "", "FAIL"))
    rate("OBJ writing >= 1000 MB/s of OBJ text", "BM_Obj_Big", 1000)
    ratio("Texture export to BMP bytes <= 1.15x bare decode", "BM_Texture_Export", "BM_Texture_DecodeFloor", 1.15)
    if w:
        peak, model = int(w.group(3)) * 1024, int(w.group(4))
        limit = 2 * model + 32e6
        rows.append(("Peak memory <= 2x model + 32 MB", f"{peak / 1e6:.1f} MB", f"limit {limit / 1e6:.1f} MB",
                     "pass" if peak <= limit else "FAIL"))
    else:
        rows.append(("Peak memory <= 2x model + 32 MB", "no result", "", "FAIL"))

    # Where the rest stands against the floors.
    n = m["BM_Fixed6"]
    rows.append(('  "%f" numbers per second (big model)', f"{n['items'] / 1e6:.0f} M/s", "", "info"))
    info("  OBJ writing / memcpy of the OBJ bytes", "BM_Obj_Big", "BM_Floor_MemcpyObj")
    info("  texture export / memcpy of the BMP bytes", "BM_Texture_Export", "BM_Floor_MemcpyBmp")
    info("  load + both scans / one bulk read", "BM_LoadScan", "BM_Floor_BulkRead")
    info("  load / one bulk read", "BM_Load", "BM_Floor_BulkRead")

    widths = [max(len(r[i]) for r in rows + [("Goal", "Measured (CPU)", "Wall", "Result")]) for i in range(4)]
    line = lambda r: "  ".join(str(r[i]).ljust(widths[i]) for i in range(4))
    print(line(("Goal", "Measured (CPU)", "Wall", "Result")))
    print("  ".join("-" * w for w in widths))
    for r in rows:
        print(line(r))
    return 0 if all(r[3] != "FAIL" for r in rows) else 1


if __name__ == "__main__":
    sys.exit(main())
