#!/usr/bin/env python3
"""Prints the one table of goals from a Google Benchmark JSON file and the whole-run output.

usage: report.py <benchmark json> <whole_run output> [<check_all_floats output>]

Each ratio compares medians of benchmarks that ran interleaved in one process.
Pass or fail is decided on CPU time (user + system of the process), which
time-slicing on a shared machine disturbs far less than wall time; the wall
time figure is printed beside it.
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
    floats = open(sys.argv[3]).read() if len(sys.argv) > 3 else ""
    rows = []

    def ratio(goal, slow, fast, limit, at_least=True):
        c = m[slow]["cpu"] / m[fast]["cpu"]
        w = m[slow]["wall"] / m[fast]["wall"]
        ok = c >= limit if at_least else c <= limit
        rows.append((goal, f"{c:.2f}x", f"{w:.2f}x", "pass" if ok else "FAIL"))

    def rate(goal, name, limit, unit, scale):
        c = m[name]["bytes"] / m[name]["cpu"] / scale
        w = m[name]["bytes"] / m[name]["wall"] / scale
        rows.append((goal, f"{c:.0f} {unit}", f"{w:.0f} {unit}", "pass" if c >= limit else "FAIL"))

    def info(what, slow, fast):
        c = m[slow]["cpu"] / m[fast]["cpu"]
        w = m[slow]["wall"] / m[fast]["wall"]
        rows.append((what, f"{c:.2f}x", f"{w:.2f}x", "info"))

    rate("Load + both scans >= 1 GB/s of model", "BM_LoadScan_Fast", 1000, "MB/s", 1e6)
    ratio("Load + both scans >= 20x literal", "BM_LoadScan_Literal", "BM_LoadScan_Fast", 20)
    rate("OBJ writing >= 150 MB/s of OBJ text (big model)", "BM_Obj_Big_Fast", 150, "MB/s", 1e6)
    ratio("OBJ, 30,000-entry strip >= 100x literal", "BM_Obj_Strip_Literal", "BM_Obj_Strip_Fast", 100)
    ratio('"%f" >= 5x snprintf (big model coordinates)', "BM_Snprintf", "BM_Fixed6", 5)
    found = re.search(r"mismatches: (\d+)", floats)
    took = re.search(r"in (\d+) s \(([\d.]+) min\)", floats)
    if found:
        rows.append(('"%f" identical on all 2^32 floats', f"{found.group(1)} mismatches",
                     f"{took.group(2)} min" if took else "", "pass" if found.group(1) == "0" else "FAIL"))
    else:
        rows.append(('"%f" identical on all 2^32 floats', "not run here", "see check_all_floats", "-"))
    ratio("Texture export to BMP bytes <= 1.5x bare decode", "BM_Texture_Export", "BM_Texture_DecodeFloor",
          1.5, at_least=False)
    w = re.search(r"WHOLE_RUN cpu_ratio=([\d.]+) wall_ratio=([\d.]+)", whole)
    if w:
        rows.append(("Whole run <= 5x cat (read model, write outputs)", f"{float(w.group(1)):.2f}x",
                     f"{float(w.group(2)):.2f}x", "pass" if float(w.group(1)) <= 5 else "FAIL"))
    else:
        rows.append(("Whole run <= 5x cat (read model, write outputs)", "no result", "", "FAIL"))

    # Where the rest stands against the floors.
    info("  load (LoadFile) / one bulk read", "BM_Load_Fast", "BM_Floor_BulkRead")
    info("  literal loader / LoadFile", "BM_Load_Literal", "BM_Load_Fast")
    info("  literal geometry scan / BufferScan", "BM_GeometryScan_Literal", "BM_GeometryScan_Fast")
    info("  literal texture scan / TexturesScan", "BM_TextureScan_Literal", "BM_TextureScan_Fast")
    info("  OBJ writing / memcpy of the OBJ bytes", "BM_Obj_Big_Fast", "BM_Floor_MemcpyObj")
    info("  texture export / memcpy of the BMP bytes", "BM_Texture_Export", "BM_Floor_MemcpyBmp")

    widths = [max(len(r[i]) for r in rows + [("Goal", "Measured (CPU)", "Wall", "Result")]) for i in range(4)]
    line = lambda r: "  ".join(str(r[i]).ljust(widths[i]) for i in range(4))
    print(line(("Goal", "Measured (CPU)", "Wall", "Result")))
    print("  ".join("-" * w for w in widths))
    for r in rows:
        print(line(r))
    return 0 if all(r[3] != "FAIL" for r in rows) else 1


if __name__ == "__main__":
    sys.exit(main())
