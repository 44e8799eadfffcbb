# SPDX-License-Identifier: Apache-2.0
"""What the Windows suites share: check lines, Windows paths, frames, the simulators and Wine's DLL path."""
import os
import re
import signal
import subprocess
import time

HERE = os.path.dirname(os.path.abspath(__file__))
WINE_ENV = os.path.join(HERE, "wine-env.sh")
failures = []


def check(name, ok, detail=""):
    print(("ok    " if ok else "FAIL  ") + name + ("" if ok else ": " + detail), flush=True)
    if not ok:
        failures.append(name)


def winpath(path):
    """A Unix path as the Windows program sees it (drive Z: is the root)."""
    return "Z:" + path.replace("/", "\\")


def cmd(command):
    """The frame of a short command: 05 57 P1 P2 P3 and its checksum."""
    body = [0x05, 0x57] + list(command)
    ck = (0x10000 - sum(body)) & 0xFFFF
    return " ".join(f"{b:02X}" for b in body + [ck >> 8, ck & 0xFF])


class Sim:
    """One varnet-sim on a pseudo-terminal, logging the frames it receives."""

    def __init__(self, linux, work, name, *args):
        self.log = os.path.join(work, name + ".log")
        self.proc = subprocess.Popen([os.path.join(linux, "varnet-sim"), "--log", self.log, *args],
                                     stdout=subprocess.PIPE, text=True)
        self.pty = self.proc.stdout.readline().strip()
        self.seen = 0

    def frames(self):
        """Every frame received since the last call."""
        syncs = self.read().count("sync")
        self.proc.send_signal(signal.SIGUSR1)
        deadline = time.time() + 5
        while self.read().count("sync") <= syncs and time.time() < deadline:
            time.sleep(0.05)
        lines = [line for line in self.read().splitlines() if line != "sync"]
        new, self.seen = lines[self.seen:], len(lines)
        return new

    def writes(self):
        """The frames since the last call, apart from the device queries of connecting."""
        return [f for f in self.frames() if not f.startswith("05 57 0E 0D")]

    def wait_for(self, prefix, seconds):
        """Frames until one starts with `prefix` (polled); all frames seen meanwhile."""
        seen = []
        deadline = time.time() + seconds
        while time.time() < deadline:
            seen += self.frames()
            if any(f.startswith(prefix) for f in seen):
                break
            time.sleep(0.2)
        return seen

    def read(self):
        with open(self.log, encoding="ascii") as f:
            return f.read()

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
        self.proc.wait()


def dll_folders(winbuild):
    """The bin/ folders of the build's prefixes (Qt's DLLs), as wine-env.sh takes them."""
    with open(os.path.join(winbuild, "CMakeCache.txt"), encoding="utf-8") as f:
        prefixes = re.search(r"^CMAKE_PREFIX_PATH:[A-Z]+=(.*)$", f.read(), re.M).group(1)
    return ":".join(p + "/bin" for p in prefixes.split(";") if p)


def wine_env(winbuild, *args, **kw):
    return subprocess.run([WINE_ENV, winbuild, *args], text=True, capture_output=True, check=True, **kw)
