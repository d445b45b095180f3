#!/bin/sh
# Times tavrin-convert as a whole process, measured from outside, on generated exports of
# 10,000, 100,000 and 1,000,000 rows, against the plain Python yardstick in the same call.
#
#   bench/whole_program.sh [BUILD_DIR] [OTHER_CONVERTER]
#
# BUILD_DIR (default build/release) holds bin/tavrin-convert and tools/generate-export;
# the exports are generated once into BUILD_DIR/whole_program/. OTHER_CONVERTER, when
# given, is timed too, its runs interleaved with ours (for before/after pairs; keep its
# Language folder beside it, as the settings of both must be alike). RUNS (default 7)
# counted runs of each converter after one warm-up; PY_RUNS (default 3, at most one at
# 1,000,000 rows; 0 leaves the yardstick out) of the yardstick. SIZES overrides the row counts.
# Each figure is the median with min-max over the runs, from the kernel's accounting of
# each finished process: wall, user and system seconds, peak resident memory, minor page
# faults. For profiles: perf record/report (Debian package linux-perf).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
"$here/../scripts/setup-debian.sh" python3 linux-perf
build=$(cd "${1:-$here/../build/release}" && pwd)
data=$build/whole_program
mkdir -p "$data"
for rows in ${SIZES:-10000 100000 1000000}; do
  [ -s "$data/export_$rows.csv" ] || "$build/tools/generate-export" "$rows" "$data/export_$rows.csv"
done

exec python3 - "$here/yardstick_convert.py" "$data" "$build/bin/tavrin-convert" "${2:-}" <<'PY'
import os, statistics, subprocess, sys, time

yardstick, data, ours, other = sys.argv[1:5]
runs = int(os.environ.get("RUNS", "7"))
py_runs = int(os.environ.get("PY_RUNS", "3"))
sizes = os.environ.get("SIZES", "10000 100000 1000000").split()

def run(command):
    """wall, user, sys seconds, peak MB, minor faults of one finished process."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    error = process.stderr.read()
    process.stderr.close()
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        sys.exit(f"{command[0]} failed ({process.returncode}): {error.decode(errors='replace')}")
    return wall, usage.ru_utime, usage.ru_stime, usage.ru_maxrss / 1024, usage.ru_minflt

def without_time(path):
    # The documents carry the time of the run and a check value over it.
    with open(path, "rb") as document:
        return [line for line in document if b"<DEVICE " not in line and b"<CHECK " not in line]

def span(values, form):
    return f"{form.format(statistics.median(values))} ({form.format(min(values))}-{form.format(max(values))})"

print(f"{'rows':>8} {'MB':>6} {'program':7} {'wall s':>21} {'user s':>21} {'sys s':>21} "
      f"{'CPU s':>6} {'peak MB':>13} {'x file':>6} {'faults':>7} {'py/x wall':>9} {'py/x CPU':>8}",
      flush=True)
for rows in sizes:
    export = os.path.join(data, f"export_{rows}.csv")
    megabytes = os.path.getsize(export) / 1e6
    commands = {"ours": [ours, "--regional", "de", "-q", "-o", os.path.join(data, "ours.xml"), export]}
    if other:
        commands["other"] = [other, "--regional", "de", "-q", "-o", os.path.join(data, "other.xml"), export]
    figures = {name: [] for name in commands}
    for command in commands.values():
        run(command)  # warm-up
    # The converters in turn, so that the machine's drift hits them alike.
    for _ in range(runs):
        for name, command in commands.items():
            figures[name].append(run(command))
    if other and without_time(os.path.join(data, "ours.xml")) != without_time(os.path.join(data, "other.xml")):
        print(f"warning: the documents differ at {rows} rows", file=sys.stderr)
    figures["python"] = [run([sys.executable, yardstick, export, os.path.join(data, "python.xml")])
                         for _ in range(min(py_runs, 1) if int(rows) >= 1000000 else py_runs)]
    if not figures["python"]:  # PY_RUNS=0: no yardstick, no ratios
        del figures["python"]
    python_wall = statistics.median(f[0] for f in figures["python"]) if "python" in figures else 0
    python_cpu = statistics.median(f[1] + f[2] for f in figures["python"]) if "python" in figures else 0
    for name in ("other", "ours", "python"):
        if name not in figures:
            continue
        wall, user, sys_, peak, faults = zip(*figures[name])
        cpu = statistics.median(u + s for u, s in zip(user, sys_))
        print(f"{rows:>8} {megabytes:6.1f} {name:7} {span(wall, '{:.3f}'):>21} "
              f"{span(user, '{:.3f}'):>21} {span(sys_, '{:.3f}'):>21} {cpu:6.3f} "
              f"{span(peak, '{:.0f}'):>13} {statistics.median(peak) / megabytes:6.2f} "
              f"{statistics.median(faults):7.0f} {python_wall / statistics.median(wall):9.1f} "
              f"{python_cpu / max(cpu, 1e-3):8.1f}", flush=True)
    if other:
        # Run by run, ours against the other converter's run next to it.
        pairs = list(zip(figures["ours"], figures["other"]))
        ratio = lambda k: [a[k] / b[k] for a, b in pairs if b[k] > 0]
        cpu_ratio = [(a[1] + a[2]) / (b[1] + b[2]) for a, b in pairs if b[1] + b[2] > 0]
        print(f"{rows:>8} {'':6} {'ours/other':10} wall {span(ratio(0), '{:.2f}')}  user "
              f"{span(ratio(1), '{:.2f}')}  CPU {span(cpu_ratio, '{:.2f}')}", flush=True)
PY
