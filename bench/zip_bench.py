#!/usr/bin/env python3
"""UnzipFile against libarchive's `bsdtar -xf` and Info-ZIP's `unzip -o -q` on a ~150 MB
archive shaped like game add-ons (4,000 small files in 280 folders, five large ones,
compressible and not), in the same run, into a RAM disk (tmpfs) and onto the disk.

Two cases each: into a fresh folder, and over the tree the previous extraction left (what
an add-on update does). Each run times every tool in turn, the order rotating from run to
run; the median of the runs is printed with each peer's time / ours (>= 1 means we are at
least as fast). `--baseline` times a second build of our driver in the same runs (before
and after a change).

    cmake --build --preset linux --target zeva_zip_bench
    bench/zip_bench.py [--runs 5] [--dest ram,disk] [--case fresh,over]
                       [--driver build/linux/bench/zeva_zip_bench] [--baseline OTHER_DRIVER]
                       [--work /tmp/zeva-zip-bench] [--ram /dev/shm/zeva-zip-bench]

bsdtar is Debian's libarchive-tools (`apt-get install -y libarchive-tools`); a peer that is
not installed is left out and named. The RAM disk is a folder on a tmpfs: /dev/shm by
default, or any tmpfs mount (`mount -t tmpfs -o size=2g tmpfs /mnt/zeva-ram` as root).
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

parser = argparse.ArgumentParser()
here = os.path.dirname(os.path.abspath(__file__))
parser.add_argument("--driver", default=os.path.join(here, "..", "build", "linux", "bench",
                                                      "zeva_zip_bench"))
parser.add_argument("--baseline", help="another build of zeva_zip_bench, timed as 'before'")
parser.add_argument("--work", default="/tmp/zeva-zip-bench", help="the archive and the disk "
                    "destination")
parser.add_argument("--ram", default="/dev/shm/zeva-zip-bench", help="a folder on a tmpfs")
parser.add_argument("--runs", type=int, default=5)
parser.add_argument("--dest", default="ram,disk")
parser.add_argument("--case", default="fresh,over")
parser.add_argument("--settle", type=float, default=6.0, help="seconds to wait before a run "
                    "on the disk: ext4 passes over inodes freed in the last few seconds when it "
                    "makes files, so one tool's deletions would slow the next one's run")
args = parser.parse_args()


def make_tree(root):
    rng = random.Random(2026)
    words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9)))
             for _ in range(2000)]

    def text(size):
        out = bytearray()
        while len(out) < size:
            out += b" ".join(rng.choices(words, k=16)) + b"\n"
        return bytes(out[:size])

    total = 0
    # Many small files in nested folders: scripts, configs, small textures.
    for i in range(4000):
        folder = os.path.join(root, "addon%02d" % (i % 40), "sub%d" % (i % 7))
        os.makedirs(folder, exist_ok=True)
        size = rng.randint(200, 40000)
        data = text(size) if i % 3 else rng.randbytes(size)
        with open(os.path.join(folder, "file%05d.%s" % (i, "txt" if i % 3 else "bin")), "wb") as f:
            f.write(data)
        total += size
    # A few large ones: packed resources (incompressible) and logs or maps (compressible).
    os.makedirs(os.path.join(root, "big"), exist_ok=True)
    for i, (size, compressible) in enumerate([(30 << 20, False), (25 << 20, False),
                                              (40 << 20, True), (30 << 20, True),
                                              (12 << 20, False)]):
        with open(os.path.join(root, "big", "pack%d.%s" % (i, "txt" if compressible else "rez")),
                  "wb") as f:
            f.write(text(size) if compressible else rng.randbytes(size))
        total += size
    return total


os.makedirs(args.work, exist_ok=True)
archive = os.path.join(args.work, "addons.zip")
if not os.path.exists(archive):
    tree = os.path.join(args.work, "tree")
    shutil.rmtree(tree, ignore_errors=True)
    size = make_tree(tree)
    subprocess.run(["zip", "-q", "-r", archive, "."], cwd=tree, check=True)
    shutil.rmtree(tree)
    print("made %s: %.0f MB of files, %.0f MB archive" % (archive, size / 2**20,
                                                          os.path.getsize(archive) / 2**20))


def command(tool, folder):
    if tool == "ours":
        return [args.driver, archive, folder + "/"]
    if tool == "before":
        return [args.baseline, archive, folder + "/"]
    if tool == "bsdtar":
        return ["bsdtar", "-xf", archive, "-C", folder]
    return ["unzip", "-o", "-q", archive, "-d", folder]


tools = ["ours"] + (["before"] if args.baseline else [])
for peer, package in (("bsdtar", "libarchive-tools"), ("unzip", "unzip")):
    if shutil.which(peer):
        tools.append(peer)
    else:
        print("%s is missing, left out (apt-get install -y %s)" % (peer, package))
dests = {"ram": args.ram, "disk": os.path.join(args.work, "out")}
for name in args.dest.split(","):
    if name not in dests:
        sys.exit("unknown destination %s (ram, disk)" % name)
ram_type = subprocess.run(["stat", "-f", "-c", "%T", os.path.dirname(args.ram.rstrip("/"))],
                          capture_output=True, text=True).stdout.strip()
if "ram" in args.dest.split(",") and ram_type not in ("tmpfs", "ramfs"):
    print("warning: %s is on %s, not a RAM disk" % (args.ram, ram_type))


def extract(tool, folder, settle=0):
    os.makedirs(folder, exist_ok=True)
    subprocess.run(["sync"])
    time.sleep(settle)
    start = time.perf_counter()
    subprocess.run(command(tool, folder), check=True)
    return time.perf_counter() - start


def timed(tool, base, case, settle):
    folder = os.path.join(base, tool)
    if case == "fresh" or not os.path.isdir(folder):
        shutil.rmtree(folder, ignore_errors=True)
        if case == "over":  # the tree a previous version left
            extract(tool, folder)
    return extract(tool, folder, settle)


subprocess.run([args.driver, archive, os.path.join(args.ram, "warm") + "/"], check=True)
shutil.rmtree(os.path.join(args.ram, "warm"))  # the archive in the page cache for everyone
summary = []
for dest in args.dest.split(","):
    base = dests[dest]
    for case in args.case.split(","):
        shutil.rmtree(base, ignore_errors=True)
        times = {tool: [] for tool in tools}
        for run in range(args.runs):
            order = tools[run % len(tools):] + tools[:run % len(tools)]
            for tool in order:
                times[tool].append(timed(tool, base, case, args.settle if dest == "disk" else 0))
            print("%s %s run %d: %s" % (dest, case, run + 1, ", ".join(
                "%s %.3f s" % (tool, times[tool][-1]) for tool in tools)), flush=True)
        shutil.rmtree(base, ignore_errors=True)
        medians = {tool: statistics.median(times[tool]) for tool in tools}
        line = "%-4s %-5s median: %s; peer time / ours: %s" % (
            dest, case, ", ".join("%s %.3f s" % (tool, medians[tool]) for tool in tools),
            ", ".join("%s %.2f" % (tool, medians[tool] / medians["ours"]) for tool in tools[1:]))
        summary.append(line)
        print(line, flush=True)
print("\n".join(["", "summary (%d runs each, %s):" % (args.runs, time.strftime("%Y-%m-%d"))] +
                summary))
