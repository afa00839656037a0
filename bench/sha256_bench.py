#!/usr/bin/env python3
"""GetFileSha256 (Sha256OfFile on the real port) against GNU coreutils `sha256sum` on the same
1.5 GiB file of random bytes, warm in the page cache, in alternating order, five runs each,
each a whole process timed from outside. Prints the medians in MB/s and ours / sha256sum
(>= 1 means we are at least as fast): with this processor's SHA extensions when it has them,
and with the portable rounds alone (what processors without them run).

    cmake --build --preset linux --target zeva_sha256_bench
    bench/sha256_bench.py [--driver build/linux/bench/zeva_sha256_bench] [--file /tmp/zeva-sha.bin]
"""
import argparse
import os
import statistics
import subprocess
import time

parser = argparse.ArgumentParser()
here = os.path.dirname(os.path.abspath(__file__))
parser.add_argument("--driver", default=os.path.join(here, "..", "build", "linux", "bench",
                                                      "zeva_sha256_bench"))
parser.add_argument("--file", default="/tmp/zeva-sha256-bench.bin")
parser.add_argument("--size", type=int, default=1536 << 20)
parser.add_argument("--runs", type=int, default=5)
args = parser.parse_args()

if not os.path.exists(args.file) or os.path.getsize(args.file) != args.size:
    with open(args.file, "wb") as out:
        left = args.size
        while left:
            piece = min(left, 64 << 20)
            out.write(os.urandom(piece))
            left -= piece
    print("made %s: %.0f MiB of random bytes" % (args.file, args.size / 2**20))


def sha256sum():
    start = time.perf_counter()
    out = subprocess.run(["sha256sum", args.file], check=True, capture_output=True, text=True)
    return out.stdout.split()[0], time.perf_counter() - start


def ours(*extra):
    start = time.perf_counter()
    out = subprocess.run([args.driver, args.file, *extra], check=True, capture_output=True,
                         text=True)
    return out.stdout.split()[0], time.perf_counter() - start


sha256sum()  # warm the page cache
peer, mine, portable = [], [], []
for _ in range(args.runs):
    for runner, times in ((sha256sum, peer), (ours, mine), (lambda: ours("--portable"), portable)):
        digest, seconds = runner()
        times.append((digest, seconds))

digests = {d for d, _ in peer + mine + portable}
assert len(digests) == 1, "digests differ: %s" % digests
mb = args.size / 1e6


def rate(times):
    return mb / statistics.median(s for _, s in times)


print("file: %s, %.0f MB, digest %s" % (args.file, mb, digests.pop()))
print("sha256sum (GNU coreutils):         %7.0f MB/s" % rate(peer))
print("GetFileSha256 (Sha256OfFile):      %7.0f MB/s   ours / sha256sum = %.2f"
      % (rate(mine), rate(mine) / rate(peer)))
print("the same, portable rounds only:    %7.0f MB/s   ours / sha256sum = %.2f"
      % (rate(portable), rate(portable) / rate(peer)))
