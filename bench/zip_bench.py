#!/usr/bin/env python3
"""UnzipFile against Info-ZIP's `unzip -o -q` on a ~200 MB archive shaped like game add-ons
(many small files, a few large ones, compressible and not), each into a fresh folder, in
alternating order, five runs each. Prints the medians and unzip's time / ours (>= 1 means we
are as fast).

    cmake --build --preset linux --target zeva_zip_bench
    bench/zip_bench.py [--driver build/linux/bench/zeva_zip_bench] [--work /tmp/zeva-zip-bench]
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import time

parser = argparse.ArgumentParser()
here = os.path.dirname(os.path.abspath(__file__))
parser.add_argument("--driver", default=os.path.join(here, "..", "build", "linux", "bench",
                                                      "zeva_zip_bench"))
parser.add_argument("--work", default="/tmp/zeva-zip-bench")
parser.add_argument("--runs", type=int, default=5)
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


def timed(command, folder):
    shutil.rmtree(folder, ignore_errors=True)
    subprocess.run(["sync"])
    start = time.perf_counter()
    subprocess.run(command, check=True)
    elapsed = time.perf_counter() - start
    shutil.rmtree(folder, ignore_errors=True)
    return elapsed


ours_folder = os.path.join(args.work, "ours") + "/"
unzip_folder = os.path.join(args.work, "unzip")
commands = {
    "ours": [args.driver, archive, ours_folder],
    "unzip": ["unzip", "-o", "-q", archive, "-d", unzip_folder],
}
folders = {"ours": ours_folder, "unzip": unzip_folder}
timed(commands["ours"], ours_folder)  # warm the page cache once for both
times = {"ours": [], "unzip": []}
for run in range(args.runs):
    order = ["ours", "unzip"] if run % 2 == 0 else ["unzip", "ours"]
    for name in order:
        times[name].append(timed(commands[name], folders[name]))
    print("run %d: ours %.3f s, unzip %.3f s" % (run + 1, times["ours"][-1], times["unzip"][-1]))
ours = statistics.median(times["ours"])
unzip = statistics.median(times["unzip"])
print("median: ours %.3f s, unzip -o -q %.3f s; unzip time / ours = %.2f" % (ours, unzip,
                                                                             unzip / ours))
