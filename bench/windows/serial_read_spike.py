#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
# Runs serial_read_spike.exe under Wine against varnet-sim and a pseudo-terminal peer of its own,
# and prints what the Windows read path costs and how its waits end.
#   bench/windows/serial_read_spike.py [BUILD]   (BUILD: a Linux build with varnet-sim; default build)
# Its private Wine prefix and the spike live in BUILD/windows-spike. Throwaway, like the spike.
import os
import pty
import select
import statistics
import subprocess
import sys
import threading
import time
import tty

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
WORK = os.path.join(BUILD, "windows-spike")
WINE_ENV = os.path.join(ROOT, "tests", "windows", "wine-env.sh")
EXE = os.path.join(WORK, "serial_read_spike.exe")
STEPS = (1, 2, 5, 10, 0)  # 0: 1 ms growing to 10 ms with the silence
QUERY = bytes.fromhex("05570E0D06FF83")


def raw_ms():
    return time.clock_gettime(time.CLOCK_MONOTONIC_RAW) * 1000.0


def wine(*args, **kw):
    return subprocess.run([WINE_ENV, WORK, *args], check=True, text=True, capture_output=True, **kw).stdout


def spike(*args):
    return wine("run", EXE, *map(str, args))


def summary(values):
    v = sorted(values)
    return (f"median {statistics.median(v):6.2f}  p90 {v[len(v) * 9 // 10]:6.2f}  "
            f"max {v[-1]:6.2f} ms")


class GapPeer:
    """A pseudo-terminal that, for each 'G' it reads, sends n bytes 1, 3 and 5 ms apart."""

    def __init__(self, n):
        self.n = n
        self.master, self.slave = pty.openpty()
        tty.setraw(self.slave)
        self.path = os.ttyname(self.slave)
        self.rounds = []
        self.stop = False
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while not self.stop:
            r, _, _ = select.select([self.master], [], [], 0.2)
            if not r or os.read(self.master, 64)[-1:] != b"G":
                continue
            sent = []
            time.sleep(0.05)
            for i in range(self.n):
                time.sleep((1, 3, 5)[i % 3] / 1000.0)
                sent.append(raw_ms())
                os.write(self.master, b"\x55")
            self.rounds.append(sent)


def proc_cpu_ms(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) * 1000.0 / os.sysconf("SC_CLK_TCK")


def our_wineserver():
    prefix = os.path.join(WORK, "wine-prefix").encode()
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open(f"/proc/{pid}/comm") as f:
                if not f.read().startswith("wineserver"):
                    continue
            with open(f"/proc/{pid}/environ", "rb") as f:
                if b"WINEPREFIX=" + prefix in f.read().split(b"\0"):
                    return int(pid)
        except OSError:
            pass
    return None


def idle_run(ms, step, extra):
    """The spike's own line, the wine process's CPU ms (rusage) and the wineserver's CPU ms."""
    server = our_wineserver()
    s0 = proc_cpu_ms(server) if server else 0.0
    p = subprocess.Popen([WINE_ENV, WORK, "run", EXE, "COM4", "9600", "idle", str(ms), str(step), *extra],
                         stdout=subprocess.PIPE, text=True)
    out = p.stdout.read()
    _, _, ru = os.wait4(p.pid, 0)
    s1 = proc_cpu_ms(server) if server else 0.0
    return out.strip().splitlines()[-1].split(": ", 1)[1], (ru.ru_utime + ru.ru_stime) * 1000, s1 - s0


def linux_round_trip(path, n=200):
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    times = []
    for _ in range(n):
        t0 = time.monotonic()
        os.write(fd, QUERY)
        got = b""
        while len(got) < 7 and select.select([fd], [], [], 1.0)[0]:
            got += os.read(fd, 7 - len(got))
        times.append((time.monotonic() - t0) * 1000.0)
    os.close(fd)
    return times


def main():
    os.makedirs(WORK, exist_ok=True)
    src = os.path.join(HERE, "serial_read_spike.cpp")
    subprocess.run(["x86_64-w64-mingw32-g++-posix", "-std=c++20", "-O2", "-Wall", "-static", src, "-o", EXE,
                    "-lwinmm"], check=True)
    sim_bin = os.path.join(BUILD, "varnet-sim")
    sims = [subprocess.Popen([sim_bin, "--profile", p], stdout=subprocess.PIPE, text=True) for p in ("usb", "rs232")]
    peer = GapPeer(300)
    try:
        paths = [s.stdout.readline().strip() for s in sims] + [peer.path]
        print("linux: device type round trip on the pty (python, poll):", summary(linux_round_trip(paths[0])))
        t0 = time.monotonic()
        wine("init")
        print(f"wine prefix made in {time.monotonic() - t0:.1f} s")
        print(wine("ports", *paths).strip().replace("\n", ", "), "(COM3 usb, COM4 rs232, COM5 gap peer)")
        wine("start")
        print(spike("COM3", 9600, "query", 1, 5).splitlines()[0])
        for period in ("", "period1"):
            tag = " with timeBeginPeriod(1)" if period else ""
            print(f"\n--- steps of {STEPS} ms{tag}")
            for step in STEPS if not period else (1, 0):
                extra = (period,) if period else ()
                rt = spike("COM3", 9600, "query", 200, step, *extra).splitlines()[-1].split(": ", 1)[1]
                print(f"step {step:2}: (a) round trip {rt}")
                for ms in (1000, 250, 50, 10):
                    out = spike("COM4", 9600, "silent", ms, 10 if ms >= 250 else 40, step, *extra)
                    ends = out.splitlines()[-1].split(": ", 1)[1]
                    print(f"         (b) silent {ms:4} ms wait ends past the limit: {ends}")
                out = spike("COM4", 9600, "cancel", 300, 20, step, *extra)
                print(f"         (c) wait end after SetEvent: {out.splitlines()[-1].split(': ', 1)[1]}")
                rounds = len(peer.rounds)
                out = [x for x in spike("COM5", 9600, "gaps", peer.n, step, *extra).splitlines() if x[:1].isdigit()]
                while len(peer.rounds) == rounds:  # the peer logs a round after its last byte
                    time.sleep(0.01)
                sent = peer.rounds[-1]
                read = [float(x) for x in out]
                lat = [r - s for r, s in zip(read, sent)]
                gap_err = [(read[i] - read[i - 1]) - (sent[i] - sent[i - 1]) for i in range(1, len(read))]
                print(f"         byte seen after it was sent: {summary(lat)}")
                print(f"         inter-byte gap seen minus sent: min {min(gap_err):6.2f}  max {max(gap_err):6.2f} ms")
                base = idle_run(0, step, extra)
                run = idle_run(10000, step, extra)
                print(f"         (d) idle 10 s: {run[0]}; less start-up: wine process "
                      f"{(run[1] - base[1]) / 100:.2f} %, wineserver {(run[2] - base[2]) / 100:.2f} % of a core")
    finally:
        peer.stop = True
        wine("stop")
        for s in sims:
            s.terminate()
            s.wait()


if __name__ == "__main__":
    main()
