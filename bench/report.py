#!/usr/bin/env python3
"""Runs the benchmark executables of a build directory and prints the ratios qmx / anchor.

Every bench source is built twice (see CMakeLists.txt): <name> with the library's flags and
<name>_isa with the anchors compiled for the instruction set qmx's own kernels dispatch to.
Benchmarks are named <side>_<Op>[/<args>]: side "qmx" is the library, any other side (eigen,
std, boost, plain, ...) is an anchor of the same <Op>[/<args>]. Each anchor row gets the ratio
of the qmx median to its median, in both builds.

usage: report.py BUILD_DIR [--only NAME ...] [-- extra benchmark arguments]
"""
import json
import os
import re
import subprocess
import sys

DEFAULT_ARGS = ["--benchmark_repetitions=5", "--benchmark_report_aggregates_only=true"]
NAME = re.compile(r"^([A-Za-z0-9]+)_(.+)$")


def run(exe, args):
    proc = subprocess.run([exe, "--benchmark_format=json"] + args, capture_output=True, text=True)
    if proc.returncode != 0:
        sys.stderr.write(f"{os.path.basename(exe)}: exit {proc.returncode}\n{proc.stderr[-2000:]}")
        return None
    medians = {}
    for b in json.loads(proc.stdout)["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        if b.get("error_occurred"):
            continue
        medians[b.get("run_name", b["name"])] = (b["cpu_time"], b["time_unit"])
    return medians


def fmt(t):
    if t is None:
        return "-"
    v, u = t
    return f"{v:.4g} {u}"


def main():
    argv = sys.argv[1:]
    extra = []
    if "--" in argv:
        i = argv.index("--")
        argv, extra = argv[:i], argv[i + 1:]
    if not argv:
        sys.exit(__doc__)
    build = argv[0]
    only = argv[argv.index("--only") + 1:] if "--only" in argv else []
    args = extra or DEFAULT_ARGS
    names = sorted(f for f in os.listdir(build) if f.endswith("_bench") and
                   os.access(os.path.join(build, f), os.X_OK))
    if only:
        names = [n for n in names if n in only or n.replace("_bench", "") in only]
    load = open("/proc/loadavg").read().split()[:3] if os.path.exists("/proc/loadavg") else []
    failed = False
    for n in names:
        base = run(os.path.join(build, n), args)
        isa_exe = os.path.join(build, n + "_isa")
        isa = run(isa_exe, args) if os.path.exists(isa_exe) else None
        if base is None:
            failed = True
            continue
        print(f"== {n}  (CPU time, medians; load before run {' '.join(load)})")
        print(f"{'benchmark':44} {'library flags':>14} {'anchor ISA':>14} {'ratio':>7} {'ratio ISA':>9}")
        for name, t in base.items():
            m = NAME.match(name)
            ratio = ratio_isa = ""
            if m and m.group(1) != "qmx":
                q = base.get("qmx_" + m.group(2))
                if q:
                    ratio = f"{q[0] / t[0]:.2f}"
                    qi = isa.get("qmx_" + m.group(2)) if isa else None
                    ti = isa.get(name) if isa else None
                    if qi and ti:
                        ratio_isa = f"{qi[0] / ti[0]:.2f}"
            print(f"{name:44} {fmt(t):>14} {fmt(isa.get(name) if isa else None):>14} "
                  f"{ratio:>7} {ratio_isa:>9}")
        sys.stdout.flush()
        if os.path.exists("/proc/loadavg"):
            load = open("/proc/loadavg").read().split()[:3]
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
