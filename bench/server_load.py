#!/usr/bin/env python3
"""Load on the tool server: wrk against the reference server alone and against the nginx
deployment (scripts/run-deployment: nginx with the reference server as its upstream), both
serving the same files in the same run, at several connection counts, each target and count
measured on both peers back to back. Prints requests a second, p50/p99 latency, errors and
time-outs (wrk's, 2 s). Not a test: run it by hand after building the linux preset; wrk
comes from Debian (apt-get install wrk).

    bench/server_load.py [--seconds 6] [--connections 50,400,2000] [--targets portal,script,...]
                         [--servers 1] [--toolserver build/linux/server/zeva-toolserver]
"""
import argparse
import os
import re
import resource
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

TARGETS = {
    "portal": "/CF30/CF_Index.aspx?ToolId=1&SetUp=&ClientVersion=V3.0.6",
    "script": "/CF30/portal.js",
    "catalogue": "/addons/catalogue.json",
    "addon": "/addons/crosshair.zip",
    "login": "/ajax.php?action=login&rcode=zeva%09123456&appid=17",
    "update-list": "/manager/update/ToolWeb_Update_List.aspx?ToolId=1",
}


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(port, proc, what):
    for _ in range(400):
        if proc.poll() is not None:
            sys.exit(f"{what} ended before it listened")
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
            return
        except OSError:
            time.sleep(0.025)
    sys.exit(f"{what} did not listen on {port}")


def stop(proc):
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def seconds(text):
    value, unit = re.match(r"([\d.]+)(us|ms|s|m)", text).groups()
    return float(value) * {"us": 1e-6, "ms": 1e-3, "s": 1.0, "m": 60.0}[unit]


def wrk(url, connections, duration, threads):
    command = ["wrk", f"-t{min(threads, connections)}", f"-c{connections}", f"-d{duration}s",
               "--timeout", "2s", "--latency", url]
    out = subprocess.run(command, capture_output=True, text=True, timeout=duration + 60).stdout
    figures = {"rps": 0.0, "p50": None, "p99": None, "errors": 0, "timeouts": 0}
    if m := re.search(r"Requests/sec:\s+([\d.]+)", out):
        figures["rps"] = float(m.group(1))
    for name in ("50", "99"):
        if m := re.search(rf"^\s+{name}%\s+(\S+)", out, re.M):
            figures["p" + name] = seconds(m.group(1))
    if m := re.search(r"Socket errors: connect (\d+), read (\d+), write (\d+), timeout (\d+)", out):
        connect, read, write, timeout = map(int, m.groups())
        figures["errors"] += connect + read + write
        figures["timeouts"] = timeout
    if m := re.search(r"Non-2xx or 3xx responses: (\d+)", out):
        figures["errors"] += int(m.group(1))
    return figures


def ms(value):
    return "-" if value is None else f"{value * 1000:.2f} ms"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=int, default=6)
    parser.add_argument("--connections", default="50,400,2000")
    parser.add_argument("--targets", default="portal,script,catalogue,addon")
    parser.add_argument("--servers", type=int, default=1, help="reference servers behind nginx")
    parser.add_argument("--threads", type=int, default=2, help="wrk's threads")
    parser.add_argument("--toolserver",
                        default=os.path.join(ROOT, "build/linux/server/zeva-toolserver"))
    parser.add_argument("--data", default=os.path.join(ROOT, "build/linux/server/data"))
    args = parser.parse_args()
    if not shutil.which("wrk"):
        sys.exit("wrk is missing: apt-get install wrk")
    levels = [int(c) for c in args.connections.split(",")]
    targets = args.targets.split(",")

    # 2,000 connections are 2,000 descriptors in wrk and in each server; the children inherit.
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    if hard < 2 * max(levels) + 100:
        print(f"warning: descriptor limit {hard} is low for {max(levels)} connections")

    work = tempfile.mkdtemp(prefix="zeva-load-")
    os.chmod(work, 0o755)  # nginx's workers run as another user when this runs as root
    site = os.path.join(ROOT, "server/site")
    alone_port, nginx_port = free_port(), free_port()
    alone = subprocess.Popen(
        [args.toolserver, "--site", site, "--data", args.data, "--port", str(alone_port),
         "--account-port", "off", "--log", os.path.join(work, "alone.log")],
        stdout=subprocess.DEVNULL)
    deployment = subprocess.Popen(
        [os.path.join(ROOT, "scripts/run-deployment"), "--port", str(nginx_port),
         "--servers", str(args.servers), "--toolserver", args.toolserver, "--site", site,
         "--data", args.data, "--run-dir", os.path.join(work, "deployment")],
        stdout=subprocess.DEVNULL, start_new_session=True)
    try:
        wait_for(alone_port, alone, "the reference server")
        wait_for(nginx_port, deployment, "the deployment")
        peers = [("reference server", alone_port), ("nginx deployment", nginx_port)]
        rows = []
        for target in targets:
            path = TARGETS[target]
            for connections in levels:
                # Who goes first alternates, so neither always meets a machine the other warmed.
                order = peers if len(rows) % 4 == 0 else list(reversed(peers))
                for name, port in order:
                    figures = wrk(f"http://127.0.0.1:{port}{path}", connections, args.seconds,
                                  args.threads)
                    rows.append((target, connections, name, figures))
                    print(f"{target:<11} {connections:>5} {name:<17} {figures['rps']:>10.0f} req/s"
                          f"  p50 {ms(figures['p50']):>10}  p99 {ms(figures['p99']):>10}"
                          f"  errors {figures['errors']}  time-outs {figures['timeouts']}",
                          flush=True)
                    time.sleep(1)
        print("\n| target | connections | peer | requests/s | p50 | p99 | errors | time-outs |")
        print("|---|---|---|---|---|---|---|---|")
        for target, connections, name, f in sorted(rows, key=lambda r: (targets.index(r[0]), r[1], r[2])):
            print(f"| {target} | {connections} | {name} | {f['rps']:,.0f} | {ms(f['p50'])} "
                  f"| {ms(f['p99'])} | {f['errors']} | {f['timeouts']} |")
    finally:
        stop(alone)
        stop(deployment)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
