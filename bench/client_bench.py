#!/usr/bin/env python3
"""The real GTK client (`zeva`) against the reference tool server, on a virtual display:
process start to the portal's load event, the round trip of a synchronous window.external call
timed inside the portal, the PSS of the UI, web and network processes once the portal has
loaded, and the wake-ups a second of each thread while the client sits idle with the portal
shown. One warm-up start, then --runs counted starts; one line a run and the medians against
the aims.

    cmake --build --preset linux --target zeva zeva-toolserver zeva_web_extension
    flock /tmp/zeva-heavy.lock bench/client_bench.py [--runs 5] [--idle-seconds 30]
        [--strace-seconds 10] [--shot shot.png]

The client's tool server address is a build setting (127.0.0.1:8088 by default): the bench runs
in a network namespace of its own (`unshare --net`) where that port is always free, with its own
Xvfb, session bus, home and runtime folders, so a client or server already running on this
machine is neither disturbed nor measured. The client writes its marks (navigation started,
page loaded, the in-page timing) to stderr because the bench sets ZEVA_BENCH_MARKS.
"""
import argparse
import collections
import json
import os
import re
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
BUILD = os.path.join(ROOT, "build", "linux")

AIM_LOAD_S = 0.6
AIM_CALL_US = 150
AIM_UI_MB = 60
AIM_WEB_MB = 90

parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
parser.add_argument("--runs", type=int, default=5)
parser.add_argument("--idle-seconds", type=float, default=30)
parser.add_argument("--settle-seconds", type=float, default=3,
                    help="wait after the load before memory and idle are read")
parser.add_argument("--strace-seconds", type=float, default=0,
                    help="after the last run, trace the idle client's waits this long")
parser.add_argument("--program", default=os.path.join(BUILD, "client", "zeva"))
parser.add_argument("--server", default=os.path.join(BUILD, "server", "zeva-toolserver"))
parser.add_argument("--work", default="/tmp/zeva-client-bench")
parser.add_argument("--shot", default=None, help="screenshot of the first counted run")
parser.add_argument("--env", action="append", default=[], metavar="NAME=VALUE",
                    help="more environment for the client, to compare settings")
args = parser.parse_args()


def tool_server_port():
    header = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(args.program))),
                          "generated", "zeva", "endpoints.h")
    with open(header, encoding="utf-8") as f:
        match = re.search(r'kToolServer\[\] = u"http://127\.0\.0\.1:(\d+)"', f.read())
    if not match:
        sys.exit("the build's tool server is not on 127.0.0.1: the bench cannot serve it")
    return int(match.group(1))


def port_free(port):
    with socket.socket() as s:
        try:
            s.bind(("127.0.0.1", port))
            return True
        except OSError:
            return False


# ---- processes --------------------------------------------------------------------------

def read(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return ""


def pss_mb(pid):
    match = re.search(r"^Pss:\s+(\d+) kB", read(f"/proc/{pid}/smaps_rollup"), re.M)
    return int(match.group(1)) / 1024 if match else float("nan")


def children(pid):
    """WebKit's helper processes of the client: {name: pid}."""
    found = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        stat = read(f"/proc/{entry}/stat")
        close = stat.rfind(")")
        if close < 0:
            continue
        fields = stat[close + 2:].split()
        if int(fields[1]) == pid:
            found[stat[stat.find("(") + 1:close]] = int(entry)
    return found


def switches(pid):
    """{tid: (thread name, voluntary + involuntary context switches)}."""
    result = {}
    try:
        tids = os.listdir(f"/proc/{pid}/task")
    except OSError:
        return result
    for tid in tids:
        status = read(f"/proc/{pid}/task/{tid}/status")
        name = re.search(r"^Name:\s+(.*)$", status, re.M)
        counts = re.findall(r"^(?:non)?voluntary_ctxt_switches:\s+(\d+)", status, re.M)
        if name and len(counts) == 2:
            result[int(tid)] = (name.group(1), int(counts[0]) + int(counts[1]))
    return result


def wakeups(before, after, seconds):
    """Per-thread rates, busiest first: a thread born meanwhile counts from 0 (one that ended
    meanwhile is not seen)."""
    rates = [(name, tid, (count - before.get(tid, (name, 0))[1]) / seconds)
             for tid, (name, count) in after.items()]
    rates.sort(key=lambda r: -r[2])
    return sum(r[2] for r in rates), rates


def wait_for(condition, timeout, what):
    until = time.monotonic() + timeout
    while time.monotonic() < until:
        value = condition()
        if value:
            return value
        time.sleep(0.01)
    raise RuntimeError(f"timed out waiting for {what}")


def stop(process):
    helpers = list(children(process.pid).values())
    process.terminate()
    try:
        process.wait(10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
    # WebKit's processes end with their client; the next start must not share the machine.
    for pid in helpers:
        try:
            wait_for(lambda: not os.path.exists(f"/proc/{pid}/stat")
                     or read(f"/proc/{pid}/stat").split()[2] == "Z", 10, "WebKit's exit")
        except RuntimeError:
            os.kill(pid, signal.SIGKILL)


# ---- the environment ------------------------------------------------------------------------

def start_display():
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], pass_fds=[write_end],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_end, 16)
        if not chunk:
            sys.exit("Xvfb did not start")
        number += chunk
    os.close(read_end)
    return xvfb, ":" + number.decode().strip()


def start_bus(env):
    # What the bus starts (the accessibility bus) writes to its stderr: kept out of the report.
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
    env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
    return bus


def start_server(port):
    server = subprocess.Popen(
        [args.server, "--site", os.path.join(ROOT, "server", "site"),
         "--data", os.path.join(BUILD, "server", "data"), "--address", "127.0.0.1",
         "--port", str(port), "--account-port", "off"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def accepts():
        with socket.socket() as s:
            return s.connect_ex(("127.0.0.1", port)) == 0
    wait_for(accepts, 10, "the tool server")
    return server


# ---- one run -----------------------------------------------------------------------------------

def marks_of(log):
    marks = []
    for line in read(log).splitlines():
        parts = line.split(" ", 3)
        if len(parts) >= 3 and parts[0] == "zeva-mark":
            marks.append((parts[1], int(parts[2]) / 1e6, parts[3] if len(parts) > 3 else ""))
    return marks


def portal_probe(log):
    """The in-page timing of the portal: the probe that follows the portal's "loaded" mark."""
    marks = marks_of(log)
    for i, (name, _, detail) in enumerate(marks):
        if name == "loaded" and "/CF30/CF_Index.aspx" in detail:
            for later, _, text in marks[i + 1:]:
                if later == "probe":
                    return marks, json.loads(text)
    return None


def run_once(client, env, label, shot=None, idle=0.0):
    log = os.path.join(args.work, f"client-{label}.log")
    start = time.time()
    with open(log, "w") as err:
        process = subprocess.Popen([client], stdout=subprocess.DEVNULL, stderr=err, env=env,
                                   cwd=os.path.dirname(client))
    try:
        marks, probe = wait_for(lambda: portal_probe(log), 60, "the portal's load")
        navigate = next(t for name, t, _ in marks if name == "navigate")
        calls = probe["calls"]
        if not calls or not probe.get("load"):
            raise RuntimeError(f"no in-page timing: {probe}")
        page_time = lambda key: probe["origin"] / 1000 + probe[key] / 1000 - start  # noqa: E731
        time.sleep(args.settle_seconds)
        helpers = children(process.pid)
        web = helpers.get("WebKitWebProces")
        network = helpers.get("WebKitNetworkPr")
        result = {
            "navigate": navigate - start,
            "page_start": probe["origin"] / 1000 - start,
            "response": page_time("response"),
            "ready": page_time("ready"),
            "load": page_time("load"),
            "call_median": statistics.median(calls),
            "call_mean": statistics.mean(calls),
            "ui_mb": pss_mb(process.pid),
            "web_mb": pss_mb(web) if web else float("nan"),
            "net_mb": pss_mb(network) if network else float("nan"),
        }
        if shot:
            subprocess.run(["import", "-window", "root", "-crop", "800x600+0+0", shot],
                           env=env, check=False)
        if idle > 0:
            watched = {"ui": process.pid, "web": web, "net": network}
            before = {k: switches(p) for k, p in watched.items() if p}
            time.sleep(idle)
            for key, pid in watched.items():
                if pid:
                    result[key + "_wake"] = wakeups(before[key], switches(pid), idle)
        return process, result
    except BaseException:
        stop(process)
        sys.stderr.write(read(log)[-2000:])
        raise


# ---- where the idle wake-ups come from ---------------------------------------------------------

WAIT_CALLS = "poll,ppoll,epoll_wait,epoll_pwait,select,pselect6,futex,nanosleep,clock_nanosleep"


def requested_timeout(call, arguments, when):
    """The time-out a wait asks for, in seconds; -1 for none."""
    if call in ("poll", "epoll_wait"):  # the last argument, in milliseconds
        found = re.search(r", (-?\d+)$", arguments)
        return int(found.group(1)) / 1000 if found and int(found.group(1)) >= 0 else -1
    found = re.search(r"tv_sec=(\d+), tv_nsec=(\d+)", arguments)
    if not found:
        return -1
    value = int(found.group(1)) + int(found.group(2)) / 1e9
    # A futex wait with a bit set waits until an absolute time.
    return value - when if call == "futex" and "BITSET" in arguments else value


def trace_idle(pids, seconds):
    """strace of the idle processes: per thread, how often its waits end, how many of them by
    time-out, and the time-out it asks for most often."""
    out = os.path.join(args.work, "idle.strace")
    command = ["strace", "-f", "-ttt", "-qq", "-e", "trace=" + WAIT_CALLS, "-o", out]
    names, owner = {}, {}
    for key, pid in pids.items():
        command += ["-p", str(pid)]
        for tid, (name, _) in switches(pid).items():
            names[tid], owner[tid] = name, key
    tracer = subprocess.Popen(command, stderr=subprocess.DEVNULL)
    time.sleep(seconds)
    tracer.send_signal(signal.SIGINT)
    tracer.wait()
    pending = {}
    ends = collections.Counter()
    timed_out = collections.Counter()
    asked = collections.defaultdict(collections.Counter)
    for line in read(out).splitlines():
        match = re.match(r"(\d+)\s+([\d.]+)\s+(.*)$", line)
        if not match:
            continue
        tid, when, rest = int(match.group(1)), float(match.group(2)), match.group(3)
        started = re.match(r"(\w+)\((.*?)(?: <unfinished \.\.\.>|\) += (.*))$", rest)
        if rest.startswith("<..."):
            call, result = pending.pop(tid, (None, None)), rest.split(") = ", 1)[-1]
        elif started and "FUTEX_WAKE" not in started.group(2):  # a wake is no wait
            call = (started.group(1), requested_timeout(started.group(1), started.group(2), when))
            result = started.group(3)
            if result is None:
                pending[tid] = call
                continue
        else:
            continue
        if call[0] is None:
            continue
        ends[tid] += 1
        if "Timeout" in result or "ETIMEDOUT" in result or result.strip() == "0":
            timed_out[tid] += 1
        asked[tid][-1 if call[1] < 0 else round(call[1], 2)] += 1
    print(f"\nidle waits over {seconds:.0f} s (strace): per thread, waits ended a second, how "
          f"many by time-out, the time-outs asked for most (s; -1: none)")
    for tid, count in ends.most_common(12):
        common = ", ".join(f"{t}×{n}" for t, n in asked[tid].most_common(3))
        print(f"  {owner.get(tid, '?'):3} {names.get(tid, '?'):16} {tid:<7} "
              f"{count / seconds:5.1f}/s  time-outs {timed_out[tid]:3}/{count:<3}  asked {common}")
    print(f"  (full trace: {out})")


# ---- main ------------------------------------------------------------------------------------------

def summary_line(label, r):
    line = (f"{label:>7}  navigate {r['navigate']:.3f} page {r['page_start']:.3f} "
            f"response {r['response']:.3f} ready {r['ready']:.3f} load {r['load']:.3f} s  "
            f"call {r['call_median']:.1f} us (mean {r['call_mean']:.1f})  "
            f"PSS ui {r['ui_mb']:.1f} web {r['web_mb']:.1f} net {r['net_mb']:.1f} MB")
    for key in ("ui", "web", "net"):
        if key + "_wake" in r:
            line += f"  {key} {r[key + '_wake'][0]:.1f}/s"
    return line


def verdict(value, aim):
    return "reached" if value <= aim else "NOT reached"


def main():
    port = tool_server_port()
    if not os.environ.get("ZEVA_BENCH_NETNS") and shutil.which("unshare"):
        command = ["unshare", "--net"] + ([] if os.geteuid() == 0 else ["--map-root-user"])
        env = dict(os.environ, ZEVA_BENCH_NETNS="1")
        result = subprocess.run(command + [sys.executable] + sys.argv, env=env)
        if result.returncode != 126:  # 126: no namespace here; run beside the machine's own
            sys.exit(result.returncode)
    if os.environ.get("ZEVA_BENCH_NETNS"):
        if subprocess.run(["ip", "link", "set", "lo", "up"]).returncode != 0:
            sys.exit(126)
    if not port_free(port):
        sys.exit(f"port {port} is taken: stop what runs there (the bench serves the portal on it)")

    shutil.rmtree(args.work, ignore_errors=True)
    home = os.path.join(args.work, "home")
    runtime = os.path.join(args.work, "runtime")
    client_dir = os.path.join(args.work, "client")
    for folder in (home, client_dir):
        os.makedirs(folder)
    os.makedirs(runtime, mode=0o700)
    client = os.path.join(client_dir, "zeva")
    shutil.copy2(args.program, client)
    extension = os.path.join(os.path.dirname(args.program), "web-extension")
    if os.path.isdir(extension):
        shutil.copytree(extension, os.path.join(client_dir, "web-extension"))

    env = {k: v for k, v in os.environ.items()
           if not k.startswith(("XDG_", "DBUS_", "WAYLAND_", "DISPLAY", "ZEVA_"))}
    env.update(HOME=home, XDG_RUNTIME_DIR=runtime, ZEVA_BENCH_MARKS="1",
               LANG=os.environ.get("LANG", "C.UTF-8"))
    env.update(setting.split("=", 1) for setting in args.env)
    xvfb, display = start_display()
    env["DISPLAY"] = display
    bus = start_bus(env)
    server = start_server(port)
    results = []
    try:
        print(f"client {args.program}, tool server on 127.0.0.1:{port}, display {display}, "
              f"{os.cpu_count()} cores, idle window {args.idle_seconds:.0f} s")
        process, warm = run_once(client, env, "warm-up")
        stop(process)
        print(summary_line("warm-up", warm) + "  (not counted)", flush=True)
        for run in range(1, args.runs + 1):
            shot = args.shot if run == 1 else None
            process, r = run_once(client, env, str(run), shot=shot, idle=args.idle_seconds)
            last = run == args.runs
            if last and args.strace_seconds > 0:
                helpers = children(process.pid)
                trace_idle({"ui": process.pid, "web": helpers.get("WebKitWebProces"),
                            "net": helpers.get("WebKitNetworkPr")}, args.strace_seconds)
            stop(process)
            results.append(r)
            print(summary_line(f"run {run}", r), flush=True)
            if last and args.idle_seconds > 0:
                for key in ("ui", "web", "net"):
                    if key + "_wake" not in r:
                        continue
                    busy = [f"{name}[{tid}] {rate:.1f}" for name, tid, rate in
                            r[key + "_wake"][1] if rate >= 0.05]
                    print(f"         {key} threads waking (/s): " + (", ".join(busy) or "none"))
    finally:
        for process in (server, bus, xvfb):
            process.terminate()
            process.wait()

    median = lambda key: statistics.median(r[key] for r in results)  # noqa: E731
    print(f"\nmedians of {len(results)} runs")
    print(f"  start to portal loaded   {median('load'):.3f} s   "
          f"(navigation started at {median('navigate'):.3f} s)  aim <= {AIM_LOAD_S} s: "
          f"{verdict(median('load'), AIM_LOAD_S)}")
    print(f"  window.external call     {median('call_median'):.1f} us (mean "
          f"{median('call_mean'):.1f})   aim <= {AIM_CALL_US} us: "
          f"{verdict(median('call_median'), AIM_CALL_US)}")
    print(f"  UI process PSS           {median('ui_mb'):.1f} MB   aim <= {AIM_UI_MB} MB: "
          f"{verdict(median('ui_mb'), AIM_UI_MB)}")
    print(f"  web process PSS          {median('web_mb'):.1f} MB   aim <= {AIM_WEB_MB} MB: "
          f"{verdict(median('web_mb'), AIM_WEB_MB)}")
    print(f"  network process PSS      {median('net_mb'):.1f} MB")
    if args.idle_seconds > 0:
        for key, what in (("ui", "UI"), ("web", "web"), ("net", "network")):
            rates = [r[key + "_wake"][0] for r in results if key + "_wake" in r]
            if rates:
                print(f"  idle wake-ups, {what:8} {statistics.median(rates):.1f} /s "
                      f"(context switches of all its threads)")


if __name__ == "__main__":
    main()
