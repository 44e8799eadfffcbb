#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""varnet-cli.exe under Wine beside the Linux varnet-cli, in the same run, against the same simulators.

    bench/windows/compare.py [LINUX_BUILD [WINDOWS_BUILD]]     (defaults: build, build-windows)

Prints, for each system (median of RUNS runs, worst in brackets):
  info         the whole exchange, from the port's opening to its closing in the wire trace
  import       an import with its read-back, the same way
  silent probe the device type query's time-out on a port that never answers, at 9600 bit/s
               (the trace's time-out line against the query's write line)
  idle CPU     monitor connected to a scanner that sends nothing, for IDLE_S seconds: the
               process's CPU (and, under Wine, the wineserver's) as a share of one core
Process start-up is left out of the first three: they are read from the program's own trace.
"""
import os
import pty
import re
import statistics
import subprocess
import sys
import time
import tty

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
LINUX = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
WINBUILD = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else os.path.join(ROOT, "build-windows"))
sys.argv[1:] = [LINUX, WINBUILD]
sys.path.insert(0, os.path.join(ROOT, "tests", "windows"))
import cli_suite  # noqa: E402  (its simulators, Wine set-up and paths)

RUNS = int(os.environ.get("RUNS", "7"))
IDLE_S = float(os.environ.get("IDLE_S", "10"))
STAMP = re.compile(r"^\s*(\d+)\.(\d{3}) (\S+) (.*)$")


def trace_lines(text):
    for line in text.splitlines():
        m = STAMP.match(line)
        if m:
            yield int(m.group(1)) * 1000 + int(m.group(2)), m.group(4)


def open_to_close(text):
    lines = list(trace_lines(text))
    opened = [t for t, what in lines if what.startswith("open at")]
    closed = [t for t, what in lines if what == "closed"]
    return closed[-1] - opened[0]


def query_time_out(text):
    """ms from the device type query's write to the time-out with nothing read."""
    lines = list(trace_lines(text))
    wrote = [t for t, what in lines if what.startswith("write 05 57 0E 0D 06")]
    timed = [t for t, what in lines if what.startswith("time-out after") and "nothing read" in what]
    return timed[0] - wrote[0]


def windows(*args):
    r = cli_suite.cli("--trace", *args)
    return r.err


def linux(*args):
    return subprocess.run([os.path.join(LINUX, "varnet-cli"), "--trace", *args], capture_output=True,
                          text=True).stderr


def summary(values):
    return f"{statistics.median(values):8.1f} ms ({max(values):.1f})"


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def our_wineserver():
    prefix = ("WINEPREFIX=" + os.path.join(WINBUILD, "wine-prefix")).encode()
    for pid in os.listdir("/proc"):
        try:
            with open(f"/proc/{pid}/comm") as f:
                if not f.read().startswith("wineserver"):  # wineserver64 on Debian
                    continue
            with open(f"/proc/{pid}/environ", "rb") as f:
                if prefix in f.read().split(b"\0"):
                    return int(pid)
        except OSError:
            pass
    return None


def idle_cpu(command, wineserver=None):
    """Share of one core used while monitor waits IDLE_S seconds for a reading that never comes."""
    hz = os.sysconf("SC_CLK_TCK")
    proc = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    time.sleep(2)  # connected by now
    pids = [int(p) for p in subprocess.run(["pgrep", "-s", str(proc.pid)], capture_output=True,
                                           text=True).stdout.split()]
    watched = pids + ([wineserver] if wineserver else [])
    before = {p: cpu_ticks(p) for p in watched}
    start = time.time()
    time.sleep(IDLE_S - 4)
    spent = {p: cpu_ticks(p) - before[p] for p in watched if os.path.exists(f"/proc/{p}")}
    wall = time.time() - start
    proc.wait()
    own = sum(v for p, v in spent.items() if p != wineserver) / hz / wall * 100
    server = spent.get(wineserver, 0) / hz / wall * 100 if wineserver else None
    return own, server


def main():
    os.makedirs(cli_suite.WORK, exist_ok=True)
    usb = cli_suite.Sim("bench-usb", "--profile", "usb")
    master, slave = pty.openpty()  # a port nobody answers on
    tty.setraw(slave)
    silent = os.ttyname(slave)
    try:
        cli_suite.wine_env("start")
        cli_suite.wine_env("ports", usb.pty, silent)
        vt = os.path.join(cli_suite.WORK, "bench.vt")
        linux("--port", usb.pty, "export", vt)
        assert os.path.exists(vt), "the Linux varnet-cli exported nothing"
        rows = []
        for name, lin, win, measure in (
            ("info", ("--port", usb.pty, "info"), ("--port", "COM3", "info"), open_to_close),
            ("import with read-back", ("--port", usb.pty, "import", vt),
             ("--port", "COM3", "import", cli_suite.winpath(vt)), open_to_close),
            ("silent probe at 9600", ("--port", silent, "--baud", "9600", "info"),
             ("--port", "COM4", "--baud", "9600", "info"), query_time_out),
        ):
            lx = [measure(linux(*lin)) for _ in range(RUNS)]
            wx = [measure(windows(*win)) for _ in range(RUNS)]
            rows.append((name, summary(lx), summary(wx)))
        exe = [cli_suite.WINE_ENV, WINBUILD, "run", cli_suite.EXE, "--port", "COM3", "monitor", "--timeout",
               str(IDLE_S)]
        lin_cpu, _ = idle_cpu([os.path.join(LINUX, "varnet-cli"), "--port", usb.pty, "monitor", "--timeout",
                               str(IDLE_S)])
        win_cpu, server_cpu = idle_cpu(exe, our_wineserver())
        rows.append(("idle CPU (monitor)", f"{lin_cpu:8.2f} %", f"{win_cpu:8.2f} % + wineserver {server_cpu:.2f} %"))
        print(f"{'':24}{'Linux':>24}    Windows under Wine")
        for name, a, b in rows:
            print(f"{name:24}{a:>24}    {b}")
    finally:
        usb.stop()
        os.close(master)
        os.close(slave)
        cli_suite.wine_env("stop")


if __name__ == "__main__":
    main()
