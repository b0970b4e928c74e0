#!/usr/bin/env python3
"""The scan benchmark: generated trees, interleaved rounds, medians, a figures file.

Run through scripts/bench.sh, which builds the programs and makes the bench
machine (its own Wine prefix, build/benchmark/wineprefix, C: marked as a network
drive so that the program's scan of every fixed drive walks the tree on D:
alone). Per file count it generates (or reuses) a tree, points D: at it and runs
rounds of, in rotating order:
  a  bare listing             scan_bench list
  b  listing + window calls   scan_bench ui
  c  the program's walk       scan_bench scan   (detection, hidden notify window)
  d  the engine alone         scan_bench engine (no notify window)
  e  clamscan                 the variant table as ClamAV logical signatures,
                              written by quellor-sigs
  q  quellor.exe              the program itself, its window shown, from the
                              press of SCAN to the final status (scan_bench press)
Before the first count it times quellor.exe on an empty drive (its fixed cost:
start of the scan, memory sweep, statistics, final status) and on a drive that
holds only the planted samples (the fixed cost plus the detections' report
lines). Each round's q minus the fixed cost is set beside that round's b: the
program's per-file cost against the floor of the listing and the window calls.
"""
import argparse
import json
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

TREE_VERSION = 2
SEED = 20240611
# Rows whose samples the ClamAV signatures reach (both windows in the entry
# point's section), so that every engine must find every planted sample; each is
# planted twice, under two names.
SAMPLE_ROWS = [3, 8, 9, 16, 21, 44, 45]
SAMPLE_COPIES = 2
DECOY_ROWS = [4, 5, 18, 44]
DECOY_KINDS = ["window1", "window2", "notpe"]
MODES = ["a", "b", "c", "d", "e", "q"]
BENCH_MODE = {"a": "list", "b": "ui", "c": "scan", "d": "engine"}
WINE_TIMEOUT = 3600


def wine(*args, timeout=WINE_TIMEOUT):
    """Runs a Windows program of the bench machine. Its output goes through files,
    not pipes: a Wine process it starts (the desktop process) may keep them open."""
    with tempfile.TemporaryFile("w+") as out, tempfile.TemporaryFile("w+") as err:
        proc = subprocess.run(["wine", *args], stdout=out, stderr=err, text=True, timeout=timeout)
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(proc.args, proc.returncode, out.read(), err.read())


class Machine:
    def __init__(self, build, ldb):
        self.build = build
        self.ldb = ldb
        self.bench = os.path.join(build, "benchmark")
        self.prefix = os.environ["WINEPREFIX"]
        self.pool = os.path.join(self.bench, "pool")
        self.trees = os.path.join(self.bench, "trees")

    def point_d_at(self, folder):
        link = os.path.join(self.prefix, "dosdevices", "d:")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(folder, link)


def read_table():
    out = wine("T:\\scan_bench.exe", "--table").stdout
    return [tuple(int(x) for x in line.split()) for line in out.splitlines() if line.strip()]


def size_passes(table, length):
    """The size tests of the records, written out on their own (not the engine's filter)."""
    if length > 0x7FFFFFFF:
        return False
    for _, mode, size in table:
        if mode == 1 and size == length:
            return True
        if mode == 2:
            d = (size - length) & 0xFFFFFFFF
            d = d - (1 << 32) if d >= 1 << 31 else d
            if -4096 < d < 4096:
                return True
        if mode == 3:
            return True
    return False


def make_pool(m):
    """Real PE files from the build and the toolchain, and the sample maker's files."""
    pe = os.path.join(m.pool, "pe")
    samples = os.path.join(m.pool, "samples")
    stamp = os.path.join(m.pool, "ready.json")
    if os.path.exists(stamp):
        made = json.load(open(stamp))
        if made.get("rows") == SAMPLE_ROWS:
            return made
    shutil.rmtree(m.pool, ignore_errors=True)
    os.makedirs(pe)
    os.makedirs(samples)
    sources = []
    bin_dir = os.path.join(m.build, "bin")
    # The build's programs; the test programs (3 MB of test framework each) would
    # make the tree's PE files far larger than a machine's usual ones.
    sources += [os.path.join(bin_dir, f) for f in sorted(os.listdir(bin_dir))
                if f.endswith(".exe") and "_tests" not in f]
    for root in ["/usr/x86_64-w64-mingw32", "/usr/lib/gcc/x86_64-w64-mingw32"]:
        for folder, _, files in sorted(os.walk(root)):
            sources += [os.path.join(folder, f) for f in sorted(files) if f.endswith(".dll")]
    pe_files = []
    for source in sources:
        # Stripped, as programs and libraries ship.
        target = os.path.join(pe, os.path.basename(source))
        if target in pe_files:
            continue
        shutil.copyfile(source, target)
        subprocess.run(["x86_64-w64-mingw32-strip", target], check=True)
        pe_files.append(target)
    staging = os.path.join(m.prefix, "drive_c", "bench-pool")
    os.makedirs(staging, exist_ok=True)
    made = {"rows": SAMPLE_ROWS, "samples": [], "decoys": []}
    jobs = [(row, "match") for row in SAMPLE_ROWS] + [(row, kind) for row in DECOY_ROWS for kind in DECOY_KINDS]
    for row, kind in jobs:
        name = "row%02d-%s.bin" % (row, kind)
        if wine("T:\\quellor-sample.exe", str(row), "C:\\bench-pool\\" + name, kind).returncode != 0:
            print("note: the sample maker cannot make row %d (%s)" % (row, kind))
            continue
        shutil.move(os.path.join(staging, name), os.path.join(samples, name))
        made["samples" if kind == "match" else "decoys"].append(os.path.join(samples, name))
    made["pe"] = pe_files
    json.dump(made, open(stamp, "w"))
    return made


def check_signatures(m, pool):
    """clamscan with the exported signatures finds every sample and no decoy."""
    found = clamscan_finds(m, os.path.dirname(pool["samples"][0]))
    if found != set(pool["samples"]):
        sys.exit("the ClamAV signatures find %s of the pool's samples %s" % (sorted(found), sorted(pool["samples"])))


def clamscan_finds(m, root):
    proc = subprocess.run(["clamscan", "-r", "-i", "--no-summary", "-d", m.ldb, root], capture_output=True,
                          text=True, timeout=WINE_TIMEOUT)
    return {line.split(": ")[0] for line in proc.stdout.splitlines() if line.endswith(" FOUND")}


class Generator:
    """A reproducible tree: the same count and pool give the same names, sizes and bytes."""

    WORDS = ("system data setup update cache driver config help readme install report log temp media "
             "library common shared module service user local program backup image sound font").split()

    def __init__(self, pool, table, count):
        self.rng = random.Random(SEED + count)
        self.pool = pool
        self.table = table
        self.count = count
        noise = random.Random(SEED)
        self.binary = bytes(noise.getrandbits(8) for _ in range(1 << 16)) * 256  # 16 MiB
        text = " ".join(noise.choice(self.WORDS) for _ in range(400000)).encode()
        self.text = (text.replace(b"y ", b"y\r\n") * 2)[: 4 << 20]

    def name(self, ext):
        r = self.rng
        return "%s%s%d.%s" % (r.choice(self.WORDS), r.choice(["_", "-", ""]), r.randrange(1000), ext)

    def folders(self, root):
        """About 30 files a folder, up to six levels deep."""
        r = self.rng
        folders = [(root, 0)]
        wanted = max(1, self.count // 30)
        while len(folders) < wanted:
            parent, depth = r.choice(folders)
            if depth >= 6:
                continue
            path = os.path.join(parent, "%s %d" % (r.choice(self.WORDS).title(), len(folders)))
            os.mkdir(path)
            folders.append((path, depth + 1))
        return [f for f, _ in folders]

    def write(self, path, source, size):
        start = self.rng.randrange(0, len(source) - size) if size < len(source) else 0
        with open(path, "wb") as f:
            f.write(source[start:start + size])

    def free(self, folder, ext):
        for _ in range(100):
            path = os.path.join(folder, self.name(ext))
            if not os.path.exists(path):
                return path
        raise RuntimeError("no free name in " + folder)

    def record_sizes(self, limit):
        return sorted({size for _, mode, size in self.table if mode == 1 and size <= limit})

    def run(self, root):
        r = self.rng
        os.makedirs(root)
        folders = self.folders(root)
        planted = []
        sources = []
        for sample in self.pool["samples"] * SAMPLE_COPIES:
            path = self.free(r.choice(folders), r.choice(["exe", "scr", "dll"]))
            os.link(sample, path)
            planted.append(os.path.relpath(path, root))
            sources.append(sample)
        small_sizes = self.record_sizes(300000)
        kinds = {"pe": 0, "text": 0, "binary": 0, "record-size": 0, "sample": len(planted)}
        for _ in range(self.count - len(planted)):
            folder = r.choice(folders)
            roll = r.random()
            if roll < 0.30:
                kinds["pe"] += 1
                os.link(r.choice(self.pool["pe"]), self.free(folder, r.choice(["exe", "dll"])))
            elif roll < 0.70:
                kinds["text"] += 1
                size = min(int(r.lognormvariate(8.0, 1.2)), 2 << 20)  # median about 3 KB
                self.write(self.free(folder, r.choice(["txt", "ini", "log", "htm", "xml"])), self.text, size)
            elif roll < 0.995:
                kinds["binary"] += 1
                size = min(int(r.lognormvariate(9.4, 1.5)), 8 << 20)  # median about 12 KB
                self.write(self.free(folder, r.choice(["dat", "bin", "cab", "png", "db"])), self.binary, size)
            else:
                kinds["record-size"] += 1
                if r.random() < 0.5 and self.pool["decoys"]:
                    os.link(r.choice(self.pool["decoys"]), self.free(folder, "exe"))
                else:
                    self.write(self.free(folder, "dat"), self.binary, r.choice(small_sizes))
        return planted, sources, kinds


def tree_for(m, pool, table, count):
    root = os.path.join(m.trees, str(count))
    manifest_path = os.path.join(m.trees, "%d.json" % count)
    if os.path.exists(manifest_path):
        manifest = json.load(open(manifest_path))
        if manifest.get("version") == TREE_VERSION:
            replant(root, manifest, pool)
            return root, manifest
    shutil.rmtree(root, ignore_errors=True)
    started = time.time()
    planted, sources, kinds = Generator(pool, table, count).run(root)
    files, opened = 0, 0
    for folder, _, names in os.walk(root):
        for name in names:
            files += 1
            opened += size_passes(table, os.path.getsize(os.path.join(folder, name)))
    manifest = {"version": TREE_VERSION, "count": count, "files": files, "folders": sum(1 for _ in os.walk(root)),
                "expected_opened": opened, "planted": planted, "samples": sources, "kinds": kinds}
    json.dump(manifest, open(manifest_path, "w"))
    print("generated %d files in %d folders in %.0f s: %s" % (files, manifest["folders"], time.time() - started,
                                                             kinds))
    return root, manifest


def replant(root, manifest, pool):
    """Puts back samples a disposing scan deleted."""
    for rel, sample in zip(manifest["planted"], manifest["samples"]):
        path = os.path.join(root, rel)
        if not os.path.exists(path):
            os.link(sample, path)


def windows_path(rel):
    return "D:\\" + rel.replace("/", "\\")


def run_bench(mode, manifest):
    started = time.time()
    proc = wine("T:\\scan_bench.exe", BENCH_MODE[mode], "D:")
    figures, found = {}, set()
    for line in proc.stdout.splitlines():
        if line.startswith("mode="):
            figures = dict(kv.split("=") for kv in line.split())
        elif line.startswith("found "):
            found.add(line[len("found "):])
    if not figures:
        raise RuntimeError("scan_bench %s failed: %s %s" % (mode, proc.stdout[-500:], proc.stderr[-500:]))
    result = {"files": int(figures["files"]), "seconds": float(figures["seconds"]),
              "opened": int(figures["opened"]), "peak_ws": int(figures["peak_ws"]),
              "wall": time.time() - started}
    planted = {windows_path(p) for p in manifest["planted"]}
    if mode == "c":
        result["found"] = len(found & planted)
        result["false"] = len(found - planted)
    elif mode == "d":
        result["found"] = int(figures["infected"])
    return result


def run_clamscan(m, root, manifest):
    started = time.time()
    found = clamscan_finds(m, root)
    seconds = time.time() - started
    planted = {os.path.join(root, p) for p in manifest["planted"]}
    return {"files": manifest["files"], "seconds": seconds, "found": len(found & planted),
            "false": len(found - planted)}


def run_program(m, root, manifest):
    """quellor.exe itself: started, SCAN pressed and timed by scan_bench press (which sends the program no
    message while it scans), every question answered, then closed by the UI driver."""
    program = subprocess.Popen(["wine", "T:\\quellor.exe"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        out = wine("T:\\scan_bench.exe", "press", str(WINE_TIMEOUT)).stdout
        wine("T:\\quellor-uidriver.exe", "close")
    finally:
        try:
            program.wait(timeout=60)
        except subprocess.TimeoutExpired:
            program.kill()
    seconds, scanned = None, None
    removed = sum(1 for line in out.splitlines() if line.endswith(" removed") and line.strip().startswith("D:\\"))
    for line in out.splitlines():
        if line.startswith("Scan time:"):
            seconds = float(line.split()[2])
        if "Total files scanned" in line:
            scanned = int(line.split(":")[-1])
    replant(root, manifest, {})
    if seconds is None:
        raise RuntimeError("scan_bench press gave no scan time:\n" + out[-2000:])
    return {"seconds": seconds, "scanned": scanned, "found": removed}


def fixed_costs(m, pool, manifest, runs):
    """quellor.exe on an empty D: (what a scan costs with no file: the fixed cost) and on a D: holding only a
    tree's planted samples, at the same paths (the fixed cost plus the detections, whose report lines cost more
    when they are wider than the list), each `runs` times."""
    empty = os.path.join(m.bench, "drives", "empty")
    samples = os.path.join(m.bench, "drives", "samples")
    shutil.rmtree(os.path.join(m.bench, "drives"), ignore_errors=True)
    os.makedirs(empty)
    for rel in manifest["planted"]:
        os.makedirs(os.path.dirname(os.path.join(samples, rel)), exist_ok=True)
    planted = {"planted": manifest["planted"], "samples": manifest["samples"]}
    replant(samples, planted, pool)
    result = {}
    for key, root, man in [("empty", empty, {"planted": [], "samples": []}), ("samples", samples, planted)]:
        m.point_d_at(root)
        result[key] = [run_program(m, root, man) for _ in range(runs)]
        print("  quellor.exe on a drive %s: %s s" % (
            "with no file" if key == "empty" else "holding only the %d samples" % len(man["planted"]),
            ", ".join("%.3f" % r["seconds"] for r in result[key])), flush=True)
    result["fixed"] = median([r["seconds"] for r in result["empty"]])
    result["with_detections"] = median([r["seconds"] for r in result["samples"]])
    result["planted"] = len(planted["planted"])
    result["found"] = sorted({r["found"] for r in result["samples"]})
    return result


def median(values):
    return statistics.median(values) if values else float("nan")


def measure(m, pool, table, count, rounds, fixed, clamscan_rounds):
    root, manifest = tree_for(m, pool, table, count)
    m.point_d_at(root)
    files = manifest["files"]
    load = [os.getloadavg()[0]]
    per_round = []
    for r in range(rounds):
        order = MODES[r % len(MODES):] + MODES[:r % len(MODES)]
        if r >= clamscan_rounds:
            order.remove("e")
        if fixed is None:
            order.remove("q")
        result = {}
        for mode in order:
            if mode == "e":
                result[mode] = run_clamscan(m, root, manifest)
            elif mode == "q":
                result[mode] = run_program(m, root, manifest)
            else:
                result[mode] = run_bench(mode, manifest)
            result[mode]["rate"] = files / result[mode]["seconds"]
        # c/b is a ratio of times (what the program costs over the listing and
        # the window calls); the others compare files per second.
        result["ratios"] = {"c/a": result["c"]["rate"] / result["a"]["rate"],
                            "c/b": result["b"]["rate"] / result["c"]["rate"],
                            "d/a": result["d"]["rate"] / result["a"]["rate"]}
        if "e" in result:
            result["ratios"]["c/e"] = result["c"]["rate"] / result["e"]["rate"]
        if "q" in result:
            add_program_figures(result, fixed, files)
        per_round.append(result)
        print("  %7d files, round %d (%s): %s | %s" % (
            files, r + 1, "".join(order),
            "  ".join("%s %.0f/s" % (k, result[k]["rate"]) for k in MODES if k in result),
            "  ".join("%s %.2f" % kv for kv in result["ratios"].items())), flush=True)
        load.append(os.getloadavg()[0])
    return summarize(count, manifest, per_round, load, fixed is not None)


def add_program_figures(result, fixed, files):
    """quellor.exe's walk in one round: its time less the fixed cost, per file and over b's time of the same
    round; q-/b also leaves out the detections (the time on the samples-only drive)."""
    q, b = result["q"], result["b"]["seconds"]
    q["walk"] = q["seconds"] - fixed["fixed"]
    q["rate"] = files / q["walk"]
    q["us_per_file"] = q["walk"] / files * 1e6
    result["ratios"]["q/b"] = q["walk"] / b
    result["ratios"]["q-/b"] = (q["seconds"] - fixed["with_detections"]) / b


def summarize(count, manifest, per_round, load, with_program):
    """One size's figures: medians over the rounds, of the rounds' own ratios for the ratios."""
    summary = {"count": count, "files": manifest["files"], "folders": manifest["folders"], "kinds": manifest["kinds"],
               "planted": len(manifest["planted"]), "expected_opened": manifest["expected_opened"],
               "rounds": per_round, "load": load}
    summary["median_rate"] = {k: median([x[k]["rate"] for x in per_round if k in x]) for k in MODES}
    summary["median_seconds"] = {k: median([x[k]["seconds"] for x in per_round if k in x]) for k in MODES}
    summary["median_ratio"] = {k: median([x["ratios"][k] for x in per_round if k in x["ratios"]])
                               for k in ["c/a", "c/b", "d/a", "c/e", "q/b", "q-/b"]}
    summary["opened"] = sorted({x[k]["opened"] for x in per_round for k in "cd"})
    summary["found"] = {k: sorted({x[k]["found"] for x in per_round if k in x}) for k in "cdeq"}
    summary["false"] = {k: sorted({x[k].get("false", 0) for x in per_round if k in x}) for k in "ce"}
    summary["peak_ws"] = {k: max(x[k]["peak_ws"] for x in per_round) for k in "abcd"}
    if with_program:
        summary["median_walk"] = median([x["q"]["walk"] for x in per_round])
        summary["scanned"] = sorted({x["q"]["scanned"] for x in per_round})
    return summary


def slope(points):
    """Least-squares line through (files, seconds): microseconds per file and the offset."""
    n = len(points)
    if n < 2:
        return float("nan"), float("nan")
    mx = sum(p[0] for p in points) / n
    my = sum(p[1] for p in points) / n
    sxx = sum((p[0] - mx) ** 2 for p in points)
    k = sum((p[0] - mx) * (p[1] - my) for p in points) / sxx
    return k * 1e6, my - k * mx


def two_largest(points):
    """The slope between the two largest sizes (microseconds per file): no fixed cost in it."""
    if len(points) < 2:
        return float("nan")
    (n1, t1), (n2, t2) = sorted(points)[-2:]
    return (t2 - t1) / (n2 - n1) * 1e6


def joined(values, form="%s"):
    return ",".join(form % v for v in values)


def program_report(results, fixed):
    """quellor.exe beside b: the fixed cost, each size's per-file costs and ratios, the slopes."""
    empty = [r["seconds"] for r in fixed["empty"]]
    samples = [r["seconds"] for r in fixed["samples"]]
    lines = ["", "quellor.exe, its window shown, from the press of SCAN to the final status (scan_bench press). "
             "Fixed cost, a drive with no file: median %.3f s (%d runs, %.3f to %.3f s). A drive holding only the "
             "%d planted samples: median %.3f s (%.3f to %.3f s), so the detections add %.3f s." % (
                 fixed["fixed"], len(empty), min(empty), max(empty), fixed["planted"], fixed["with_detections"],
                 min(samples), max(samples), fixed["with_detections"] - fixed["fixed"]),
             "", "q/b = (quellor.exe's time less the fixed cost) / b's time, in the same round; q-/b also leaves "
             "out the detections (less the samples-only drive's time).", "",
             "| files | rounds | b (s) | quellor.exe (s) | less the fixed cost (s) | per file b / quellor.exe (us) "
             "| q/b, median of the rounds | q/b of each round | q-/b, median | files scanned | removed |",
             "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"]
    for s in results:
        rounds = [x for x in s["rounds"] if "q" in x]
        us_b = median([x["b"]["seconds"] / s["files"] * 1e6 for x in rounds])
        us_q = median([x["q"]["us_per_file"] for x in rounds])
        lines.append("| %d | %d | %.2f | %.2f | %.2f | %.0f / %.0f | %.2f | %s | %.2f | %s | %s |" % (
            s["files"], len(rounds), median([x["b"]["seconds"] for x in rounds]),
            median([x["q"]["seconds"] for x in rounds]), s["median_walk"], us_b, us_q, s["median_ratio"]["q/b"],
            joined([x["ratios"]["q/b"] for x in rounds], "%.2f"), s["median_ratio"]["q-/b"], joined(s["scanned"]),
            joined(s["found"]["q"])))
    lines += ["", "Slopes (microseconds per file): least squares over the sizes / between the two largest sizes:", ""]
    slopes = {}
    for key, label, seconds in [("b", "b list+UI", lambda s: s["median_seconds"]["b"]),
                                ("q", "quellor.exe less the fixed cost", lambda s: s["median_walk"])]:
        points = [(s["files"], seconds(s)) for s in results]
        us, offset = slope(points)
        slopes[key] = (us, two_largest(points))
        lines.append("- %s: %.1f us/file + %.2f s / %.1f us/file" % (label, us, offset, slopes[key][1]))
    lines.append("- quellor.exe / b: %.2f / %.2f" % (slopes["q"][0] / slopes["b"][0], slopes["q"][1] / slopes["b"][1]))
    return lines


def report(results, calls, fixed):
    lines = ["# Scan benchmark figures", "",
             "Medians of interleaved rounds; files/s = files / seconds of the walk. c/a, d/a and c/e compare "
             "files per second; c/b compares times (c's seconds over b's).", "",
             "| files | folders | rounds | a list | b list+UI | c program | d engine | e clamscan | c/a | c/b time "
             "| d/a | c/e |",
             "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"]
    for s in results:
        r, q = s["median_rate"], s["median_ratio"]
        lines.append("| %d | %d | %d | %.0f | %.0f | %.0f | %.0f | %.0f | %.2f | %.2f | %.2f | %.1f |" % (
            s["files"], s["folders"], len(s["rounds"]), r["a"], r["b"], r["c"], r["d"], r["e"], q["c/a"], q["c/b"],
            q["d/a"], q["c/e"]))
    lines += ["", "Per round (files/s, q's less the fixed cost; ratios):", ""]
    for s in results:
        for i, x in enumerate(s["rounds"]):
            lines.append("- %d files, round %d: %s; %s" % (
                s["files"], i + 1, ", ".join("%s %.0f" % (k, x[k]["rate"]) for k in MODES if k in x),
                ", ".join("%s %.2f" % kv for kv in x["ratios"].items())))
    lines += ["", "| files | files opened (c, d) | size passes a record | planted | found c / d / e / q | "
              "false finds c / e | peak working set a / b / c / d (MiB) |", "|---:|---:|---:|---:|---:|---:|---:|"]
    for s in results:
        ws, found = s["peak_ws"], s["found"]
        lines.append("| %d | %s | %d | %d | %s / %s / %s / %s | %s / %s | %.1f / %.1f / %.1f / %.1f |" % (
            s["files"], joined(s["opened"]), s["expected_opened"], s["planted"], joined(found["c"]),
            joined(found["d"]), joined(found["e"]), joined(found["q"]), joined(s["false"]["c"]),
            joined(s["false"]["e"]), ws["a"] / 2**20, ws["b"] / 2**20, ws["c"] / 2**20, ws["d"] / 2**20))
    if fixed is not None:
        lines += program_report(results, fixed)
    lines += ["", "Time against files (least squares over the sizes, microseconds per file + offset):", ""]
    for k, label in [("a", "a list"), ("b", "b list+UI"), ("c", "c program"), ("d", "d engine"), ("e", "e clamscan"),
                     ("q", "quellor.exe, the fixed cost included")]:
        measured = [s for s in results if s["median_seconds"][k] == s["median_seconds"][k]]
        us, offset = slope([(s["files"], s["median_seconds"][k]) for s in measured])
        per_file = ", ".join("%.1f" % (s["median_seconds"][k] / s["files"] * 1e6) for s in measured)
        lines.append("- %s: %.1f us/file + %.2f s (per file at each size: %s us)" % (label, us, offset, per_file))
    if calls:
        lines += ["", "One call, microseconds: " + ", ".join("%s %.1f" % kv for kv in calls.items())]
    if len(results) >= 2:
        lo, hi = results[0], results[-1]
        growth = hi["peak_ws"]["c"] / lo["peak_ws"]["c"] - 1
        lines += ["", "Peak working set of c from %d to %d files: %+.1f%%." % (lo["files"], hi["files"], 100 * growth)]
    lines += ["", "Load average (1 minute) before the first round and after each round: " + "; ".join(
        "%d files: %s" % (s["files"], joined(s["load"], "%.1f")) for s in results) + "."]
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--signatures", required=True, help="the ClamAV database quellor-sigs wrote")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--no-program", action="store_true", help="skip the quellor.exe runs")
    parser.add_argument("--fixed-runs", type=int, default=5,
                        help="quellor.exe runs on an empty drive and on the samples alone")
    parser.add_argument("--output", required=True)
    parser.add_argument("--clamscan-rounds", type=int, default=99, help="clamscan in at most this many rounds")
    parser.add_argument("--clamscan-upto", type=int, default=10**9, help="no clamscan above this file count")
    parser.add_argument("counts", nargs="+", help="file counts, each N or N:rounds")
    args = parser.parse_args()
    m = Machine(os.path.abspath(args.build), os.path.abspath(args.signatures))
    os.makedirs(m.trees, exist_ok=True)
    pool = make_pool(m)
    check_signatures(m, pool)
    table = read_table()
    calls = {}
    for line in wine("T:\\scan_bench.exe", "--calls").stdout.splitlines():
        if line.startswith("call "):
            calls[line.split()[1]] = float(line.split()[2])
    specs = [(int(count), rounds) for count, _, rounds in (spec.partition(":") for spec in args.counts)]
    fixed = None
    if not args.no_program:
        fixed = fixed_costs(m, pool, tree_for(m, pool, table, specs[0][0])[1], args.fixed_runs)
    results = []
    for count, rounds in specs:
        results.append(measure(m, pool, table, count, int(rounds or args.rounds), fixed,
                               args.clamscan_rounds if count <= args.clamscan_upto else 0))
    text = report(results, calls, fixed)
    with open(args.output, "w") as f:
        f.write(text)
    with open(os.path.splitext(args.output)[0] + ".json", "w") as f:
        json.dump({"fixed": fixed, "sizes": results}, f, indent=1)
    print(text)
    missed = [s["files"] for s in results if any(v not in ([s["planted"]], []) for v in s["found"].values())]
    if fixed is not None and fixed["found"] != [fixed["planted"]]:
        missed.append("the samples-only drive")
    if missed:
        sys.exit("not every planted sample was found at %s files" % missed)


if __name__ == "__main__":
    main()
