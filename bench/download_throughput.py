#!/usr/bin/env python3
"""Download throughput: our engine against curl, both fetching one file from nginx on
loopback in the same run, alternating, several runs each. Prints median throughput and
CPU time of each and their ratio. Not a test: run it by hand after building the linux preset.

    bench/download_throughput.py [--size-mib 1024] [--runs 5] [--build build/linux]
"""
import argparse
import os
import resource
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_nginx(work, root):
    port = free_port()
    conf = os.path.join(work, "nginx.conf")
    with open(conf, "w") as f:
        f.write(f"""worker_processes 1;
pid {work}/nginx.pid;
error_log {work}/error.log;
events {{ worker_connections 64; }}
http {{
  access_log off;
  client_body_temp_path {work}/body; proxy_temp_path {work}/proxy;
  fastcgi_temp_path {work}/fcgi; uwsgi_temp_path {work}/uwsgi; scgi_temp_path {work}/scgi;
  sendfile on;
  server {{ listen 127.0.0.1:{port}; root {root}; }}
}}
""")
    proc = subprocess.Popen(["/usr/sbin/nginx", "-p", work, "-e", f"{work}/error.log", "-c", conf,
                             "-g", "daemon off;"])
    for _ in range(200):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
            return proc, port
        except OSError:
            time.sleep(0.025)
    proc.kill()
    sys.exit("nginx did not start")


def timed(command):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--size-mib", type=int, default=1024)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--build", default=os.path.join(here, "..", "build", "linux"))
    args = parser.parse_args()
    driver = os.path.join(args.build, "tests", "download", "zeva_download_driver")
    if not os.access(driver, os.X_OK):
        sys.exit(f"build the linux preset first ({driver} is missing)")

    work = tempfile.mkdtemp(prefix="zeva-bench-")
    os.chmod(work, 0o755)  # nginx workers may run as another user
    root = os.path.join(work, "www")
    client = os.path.join(work, "client")
    os.makedirs(root)
    os.makedirs(os.path.join(client, "Downloads"))
    size = args.size_mib << 20
    with open(os.path.join(root, "big.bin"), "wb") as f:
        chunk = os.urandom(1 << 20)
        for _ in range(args.size_mib):
            f.write(chunk)
    nginx, port = start_nginx(work, root)
    url = f"http://127.0.0.1:{port}/big.bin"
    ours, theirs = [], []
    try:
        contenders = [
            ("zeva", [driver, client, url, "big.bin"], ours),
            ("curl", ["curl", "-s", "-o", os.path.join(client, "curl.bin"), url], theirs),
        ]
        for run in range(args.runs):
            # Alternate who goes first, so neither always meets the other's writeback.
            for name, command, results in contenders if run % 2 == 0 else contenders[::-1]:
                # Each run starts from nothing on disk.
                for leftover in ("Downloads/big.bin", "curl.bin"):
                    path = os.path.join(client, leftover)
                    if os.path.exists(path):
                        os.remove(path)
                wall, cpu = timed(command)
                results.append((wall, cpu))
                print(f"run {run + 1} {name}: {size / wall / 1e6:8.1f} MB/s, cpu {cpu:.2f} s",
                      flush=True)
        for path in ("Downloads/big.bin", "curl.bin"):
            full = os.path.join(client, path)
            if os.path.exists(full) and os.path.getsize(full) != size:
                sys.exit(f"{path} has the wrong size")
    finally:
        nginx.terminate()
        nginx.wait()
        shutil.rmtree(work, ignore_errors=True)

    def median(results, index):
        return statistics.median(r[index] for r in results)

    ours_rate = size / median(ours, 0) / 1e6
    curl_rate = size / median(theirs, 0) / 1e6
    print(f"median throughput: zeva {ours_rate:.1f} MB/s, curl {curl_rate:.1f} MB/s, "
          f"ratio {ours_rate / curl_rate:.2f}")
    print(f"median cpu time:   zeva {median(ours, 1):.2f} s, curl {median(theirs, 1):.2f} s, "
          f"ratio {median(ours, 1) / median(theirs, 1):.2f}")


if __name__ == "__main__":
    main()
