#!/usr/bin/env python3
"""Turns Google Benchmark's JSON output (run with repetitions) into the
results table of BENCHMARKS.md: machine, date, medians and ratios.

    report.py results.json            print the table
    report.py results.json --into F   also put it between the markers in F
    --uptime-before T --uptime-after T  the machine's load around the run, as
                                      uptime printed it
"""

import argparse
import json
import os
import platform
import re
import sys

BEGIN = "<!-- results begin -->"
END = "<!-- results end -->"

UNIT_SECONDS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def load_medians(path):
    """Median aggregate of each benchmark, by name without the /real_time suffix."""
    with open(path) as f:
        data = json.load(f)
    medians = {}
    for run in data["benchmarks"]:
        if run.get("error_occurred"):
            sys.exit(f"benchmark {run['name']} failed: {run.get('error_message', '')}")
        if run.get("run_type") == "aggregate" and run.get("aggregate_name") != "median":
            continue
        name = re.sub(r"/real_time$", "", run.get("run_name", run["name"]))
        scale = UNIT_SECONDS[run.get("time_unit", "ns")]
        entry = dict(run)
        entry["real"] = run["real_time"] * scale
        entry["cpu"] = run["cpu_time"] * scale
        # A median overrides a single run of the same name.
        if run.get("run_type") == "aggregate" or name not in medians:
            medians[name] = entry
    return data["context"], medians


def duration(seconds):
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("µs", 1e-6), ("ns", 1e-9)):
        if seconds >= scale or unit == "ns":
            value = seconds / scale
            return f"{value:.3g} {unit}" if value < 100 else f"{value:.0f} {unit}"
    return ""


def ratio(a, b):
    return f"{a / b:.2f}×" if b > 0 else "n/a"


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def table(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "|".join("---" for _ in header) + "|"]
    lines += ["| " + " | ".join(str(c) for c in row) + " |" for row in rows]
    return "\n".join(lines)


def sort_key(name):
    """Names in a fixed order whatever order the runs came in: numbers by value."""
    parts = re.split(r"([-+]?\d+(?:\.\d+)?(?:e[-+]?\d+)?)", name)
    return [float(p) if i % 2 else p for i, p in enumerate(parts)]


DESCRIPTIVE_ORDER = ["baseline/sum-bandwidth", "baseline/sum-in-order", "mean", "minMax", "standardDeviation",
                     "valueRange", "autoCorrelation"]


def descriptive_key(name):
    label = name.split("/", 1)[1]
    return next((i for i, prefix in enumerate(DESCRIPTIVE_ORDER) if label.startswith(prefix)), len(DESCRIPTIVE_ORDER))


def numeric_suffix(name):
    return int(name.rsplit("/", 1)[1])


def uptime_load(text):
    """The one-minute load average in uptime's line, or None."""
    found = re.search(r"load average:\s*([0-9.]+)", text or "")
    return float(found.group(1)) if found else None


def render(context, m, uptime_before=None, uptime_after=None):
    out = []
    load = context.get("load_avg", [])
    out.append(
        f"Machine: {cpu_model()}, {os.cpu_count()} logical CPUs "
        f"({context.get('mhz_per_cpu', '?')} MHz), {platform.system()} {platform.release()}; "
        f"load average at the start {', '.join(f'{x:.2f}' for x in load) if load else 'n/a'}.  "
    )
    if uptime_before or uptime_after:
        out.append(f"`uptime` before the run: `{(uptime_before or 'n/a').strip()}`; "
                   f"after it: `{(uptime_after or 'n/a').strip()}`.  ")
    loads = list(load[:1]) + [uptime_load(text) for text in (uptime_before, uptime_after) if uptime_load(text)]
    if loads and max(loads) > (os.cpu_count() or 1):
        out.append(f"**The machine was busy:** a load average of up to {max(loads):.1f} on {os.cpu_count()} CPUs. "
                   "Other work shared the cores during the run, so wall-clock figures, and ratios between "
                   "benchmarks, carry that load and vary from run to run; CPU times and ratios less so. "
                   "Rerun on a quiet machine for figures to hold to.  ")
    out.append(
        f"Date: {context.get('date', '?')}. Release build; every figure is the median of "
        f"{repetitions(m)} repetitions, wall-clock time unless marked CPU."
    )
    if context.get("library_build_type") == "debug":
        out[-1] += " (Debian's Google Benchmark library reports itself as a debug build; only its own bookkeeping is affected.)"

    # Statistics per call.
    rows = []
    m = dict(sorted(m.items(), key=lambda item: sort_key(item[0])))
    for name, run in m.items():
        if name.startswith("betai/"):
            rows.append([f"`{name}`", duration(run["real"]), duration(run["cpu"]),
                         f"{run['fraction_iterations']:.0f} fraction iterations"])
    for name, run in m.items():
        if name.startswith("criticalT/"):
            path = "search" if "/search/" in name else "solver"
            rows.append([f"`{name}`", duration(run["real"]), duration(run["cpu"]),
                         f"{run['evaluations']:.0f} evaluations of p ({run['search_evaluations']:.0f} by the search, "
                         f"{run.get('solver_evaluations', 0):.0f} by the solver), {path}"])
    out += ["", "### betai and criticalT, per call", "", table(["Call", "Time per call", "CPU per call", "Work per call"], rows)]

    # execute per map, beside the same host calls made with no arithmetic.
    rows = []
    flat = []
    over_baseline = []
    for overlay in ("All", "last"):
        per_map, cpu_per_map = [], []
        runs = sorted(((numeric_suffix(n), r) for n, r in m.items() if n.startswith(f"execute/overlay={overlay}/")))
        for count, run in runs:
            t = run["real"] / count
            per_map.append(t)
            cpu_per_map.append(run["cpu"] / count)
            base = m.get(f"baseline/same-host-calls/overlay={overlay}/{count}")
            base_t = base["real"] / count if base else 0.0
            base_cpu = base["cpu"] / count if base else 0.0
            rows.append([overlay, f"{count:,}", duration(run["real"]), duration(t), duration(run["cpu"] / count),
                         duration(base_t) if base else "n/a", ratio(t, base_t), ratio(run["cpu"] / count, base_cpu),
                         f"{run['record_calls_per_map']:.3f}", f"{run['host_calls_per_map']:.3f}"])
            if base and count == max(c for c, _ in runs):
                over_baseline.append(f"overlay {overlay}: {ratio(t, base_t)} (CPU {ratio(run['cpu'] / count, base_cpu)})")
        if per_map:
            flat.append(f"overlay {overlay}: {max(per_map) / min(per_map):.2f} "
                        f"(CPU {max(cpu_per_map) / min(cpu_per_map):.2f})")
    out += ["", "### execute, in process, every option on, beside the same host calls with no arithmetic", "",
            table(["Overlay", "Maps", "Time per execute", "Time per map", "CPU per map", "Same host calls per map",
                   "Ratio", "CPU ratio", "Record calls per map", "Host calls per map"], rows),
            "", "Largest over smallest time per map across the three counts: " + "; ".join(flat) + ".",
            "Time per map over the same host calls' at the largest count (target at most 1.5×): "
            + "; ".join(over_baseline) + "."]

    # Line replacement against a plain read and write of the file, and sed.
    rows = []
    for name, run in sorted(m.items()):
        if not name.startswith("replace/replaceLinesInFile"):
            continue
        lines = numeric_suffix(name)
        plain = m.get(f"replace/baseline/plain-read-write/{lines}")
        sed = m.get(f"replace/sed-i/{lines}")
        if plain is None or sed is None:
            continue
        sed_cpu = sed["cpu"] + sed.get("child_cpu_time", 0.0)
        normalised = "blanks-case" in name
        variant = "blanks removed, case folded" if normalised else "as is"
        rows.append([f"{lines:,}", variant, duration(run["real"]), duration(plain["real"]),
                     ratio(run["real"], plain["real"]), ratio(run["cpu"], plain["cpu"]), "3×" if normalised else "2×",
                     duration(sed["real"]), ratio(run["real"], sed["real"]), ratio(run["cpu"], sed_cpu)])
    rows.sort(key=lambda r: (int(r[0].replace(",", "")), r[1] != "as is"))
    out += ["", "### replaceLinesInFile against a plain read and write of the same file, and `sed -i` "
            "(one key, every tenth line, ~40 bytes a line)", "",
            table(["Lines", "Matching", "replaceLinesInFile", "Plain read and write", "Ratio", "CPU ratio", "Target",
                   "sed -i", "Ratio to sed", "CPU ratio to sed"], rows)]

    # Descriptive statistics against loops that only sum.
    rows = []
    bandwidth = m.get("descriptive/baseline/sum-bandwidth")
    in_order = m.get("descriptive/baseline/sum-in-order")
    for name, run in sorted(m.items(), key=lambda item: descriptive_key(item[0])):
        if not name.startswith("descriptive/"):
            continue
        label = name.split("/", 1)[1]
        rows.append([f"`{label}`", duration(run["real"]), duration(run["cpu"]),
                     ratio(run["real"], bandwidth["real"]) if bandwidth else "n/a",
                     ratio(run["cpu"], bandwidth["cpu"]) if bandwidth else "n/a",
                     ratio(run["cpu"], in_order["cpu"]) if in_order else "n/a"])
    out += ["", "### Descriptive statistics over 10^7 floats", "",
            table(["Routine", "Time", "CPU", "Ratio to sum-bandwidth", "CPU ratio to sum-bandwidth",
                   "CPU ratio to sum-in-order"], rows)]

    # Loading a workspace file beside the JSON library's own SAX parse of the
    # same text: the time per map must stay flat, and at most 1.5x the parse's.
    rows, per_map, cpu_per_map, over_baseline = [], [], [], []
    for name, run in sorted(m.items(), key=lambda item: sort_key(item[0])):
        if not name.startswith("load/workspace/"):
            continue
        maps = numeric_suffix(name)
        per_map.append(run["real"] / maps)
        cpu_per_map.append(run["cpu"] / maps)
        base = m.get(f"load/baseline/sax-parse/{maps}")
        peak = run.get("peak bytes per map")
        file_bytes = run["file bytes per map"]
        rows.append([f"{maps:,}", duration(run["real"]), duration(run["cpu"]), duration(run["real"] / maps),
                     duration(run["cpu"] / maps), duration(base["real"] / maps) if base else "n/a",
                     ratio(run["real"], base["real"]) if base else "n/a",
                     ratio(run["cpu"], base["cpu"]) if base else "n/a", f"{file_bytes:.0f}",
                     f"{peak:,.0f}" if peak is not None else "n/a",
                     f"{peak / file_bytes:.2f}" if peak is not None else "n/a"])
        if base:
            over_baseline.append(f"{maps:,} maps: {ratio(run['real'], base['real'])} "
                                 f"(CPU {ratio(run['cpu'], base['cpu'])})")
    if rows:
        out += ["", "### Loading a workspace file, beside the JSON library's own SAX parse of the same text", "",
                table(["Maps", "Time", "CPU", "Time per map", "CPU per map", "SAX parse per map", "Ratio",
                       "CPU ratio", "File bytes per map", "Peak bytes per map", "Peak per file byte"], rows),
                "", f"Largest over smallest time per map across the counts: {max(per_map) / min(per_map):.2f} "
                    f"(CPU {max(cpu_per_map) / min(cpu_per_map):.2f}).",
                "Time over the SAX parse's (target at most 1.5×): " + "; ".join(over_baseline) + "."]
    return "\n".join(out) + "\n"


def repetitions(m):
    counts = {run.get("repetitions", 1) for run in m.values()}
    return "/".join(str(c) for c in sorted(counts))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("results")
    parser.add_argument("--into", help="file whose results section is replaced by the table")
    parser.add_argument("--uptime-before", help="uptime's line before the run")
    parser.add_argument("--uptime-after", help="uptime's line after the run")
    args = parser.parse_args()

    context, medians = load_medians(args.results)
    text = render(context, medians, args.uptime_before, args.uptime_after)
    print(text, end="")
    if args.into:
        with open(args.into) as f:
            document = f.read()
        start, stop = document.find(BEGIN), document.find(END)
        if start < 0 or stop < start:
            sys.exit(f"{args.into} has no '{BEGIN}' ... '{END}' section")
        document = document[: start + len(BEGIN)] + "\n" + text + document[stop:]
        with open(args.into, "w") as f:
            f.write(document)


if __name__ == "__main__":
    main()
