#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""varnet-cli.exe under Wine against the Linux build's simulators.

    tests/windows/cli_suite.py LINUX_BUILD WINDOWS_BUILD [EXE]

Each varnet-sim runs on a pseudo-terminal that the Windows build's private Wine prefix maps as a
COM port (tests/windows/wine-env.sh), with one wineserver for the whole suite. The checks look
at what the program printed, at the frames each simulator logged (--log, SIGUSR1 writes them
out followed by "sync") and, after a change, at what the Linux varnet-cli reads back. EXE
defaults to WINDOWS_BUILD/varnet-cli.exe (the package test passes an unpacked one). One line
per check; the exit status is 1 when any failed.
"""
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time

import suite_common
from suite_common import WINE_ENV, check, cmd, dll_folders, failures, winpath

LINUX = os.path.abspath(sys.argv[1])
WINBUILD = os.path.abspath(sys.argv[2])
EXE = os.path.abspath(sys.argv[3]) if len(sys.argv) > 3 else os.path.join(WINBUILD, "varnet-cli.exe")
WORK = os.path.join(WINBUILD, "cli-suite")
os.environ["VARNET_WINE_PATH"] = os.environ.get("VARNET_WINE_PATH") or dll_folders(WINBUILD)


def Sim(name, *args):  # noqa: N802 (reads as the class it makes)
    return suite_common.Sim(LINUX, WORK, name, *args)


def wine_env(*args, **kw):
    return suite_common.wine_env(WINBUILD, *args, **kw)


class Run:
    def __init__(self, status, out, err):
        self.status, self.out, self.err = status, out, err

    def __repr__(self):
        return f"status {self.status}\n--- out\n{self.out}--- err\n{self.err}"


def cli(*args, timeout=90):
    """varnet-cli.exe ARGS under Wine: exit status, standard output and error (line ends as Unix)."""
    p = subprocess.run([WINE_ENV, WINBUILD, "run", EXE, *args], capture_output=True, timeout=timeout)

    def text(b):
        return b.decode("utf-8", "replace").replace("\r\n", "\n")
    return Run(p.returncode, text(p.stdout), text(p.stderr))


def linux_cli(*args):
    p = subprocess.run([os.path.join(LINUX, "varnet-cli"), *args], capture_output=True, text=True, timeout=60)
    return Run(p.returncode, p.stdout, p.stderr)


def in_force(get_json, title):
    """The labels in force of the group `title` in `get --json` output."""
    for category in json.loads(get_json)["categories"]:
        for group in category["groups"]:
            if group["title"] == title:
                return [o["label"] for o in group["options"] if o["in_force"]]
    return None


def wait_for_line(proc, pattern, seconds):
    """Reads the process's standard output until a line matches; the lines read."""
    lines = []
    deadline = time.time() + seconds
    while time.time() < deadline:
        line = proc.stdout.readline()
        if not line:
            break
        lines.append(line.decode("utf-8", "replace"))
        if re.search(pattern, lines[-1]):
            break
    return lines


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    sims = {
        "COM3": Sim("usb", "--profile", "usb"),
        "COM4": Sim("rs232", "--profile", "rs232"),
        "COM5": Sim("ticker", "--profile", "usb", "--scan", "TICK\\r\\n", "--every", "200"),
        "COM6": Sim("vanishing", "--profile", "usb", "--scan", "GONE\\r\\n", "--every", "200"),
    }
    try:
        wine_env("start")
        mapped = wine_env("ports", *(s.pty for s in sims.values())).stdout.split()
        assert mapped[0::2] == list(sims), mapped
        run_checks(sims)
    finally:
        for s in sims.values():
            s.stop()
        wine_env("stop")
    print(f"{len(failures)} failed" if failures else "all passed")
    return 1 if failures else 0


def run_checks(sims):
    usb = sims["COM3"]

    r = cli("--version")
    check("--version", r.status == 0 and r.out.startswith("varnet-cli "), repr(r))

    # The registry lists the mapped ports (Wine adds its own COM1); the RS-232 scanner answers at 57600.
    r = cli("--json", "list")
    rows = [json.loads(line) for line in r.out.splitlines() if line.startswith("{")]
    ports = {row.get("port"): row.get("baud") for row in rows}
    check("list finds the COM ports through the registry",
          r.status == 0 and all(p in ports for p in sims) and ports.get("COM4") == 57600, repr(r))
    for s in sims.values():
        s.frames()

    r = cli("--port", "COM3", "--json", "info")
    info = json.loads(r.out) if r.status == 0 else {}
    check("info", info.get("port") == "COM3" and info.get("device_type") == 1 and info.get("format_block"), repr(r))
    r = cli("--port", "\\\\.\\COM4", "--baud", "57600", "info")
    check("info through \\\\.\\COM4 at its rate", r.status == 0 and "COM4" not in r.err, repr(r))

    r = cli("--port", "COM3", "--json", "get", "Good Read Beep")
    check("get", r.status == 0 and in_force(r.out, "Good Read Beep") == ["On"], repr(r))

    usb.frames()
    r = cli("--port", "COM3", "--dry-run", "set", "Good Read Beep", "Off")
    check("--dry-run lists the frames and sends none", r.status == 0 and "would send" in r.out and not usb.writes(),
          repr(r))

    r = cli("--port", "COM3", "--save", "set", "Good Read Beep", "Off")
    sent = usb.writes()
    check("set --save: the change and the save reach the scanner",
          r.status == 0 and len(sent) >= 2 and sent[-1] == cmd((0xA0, 0x08, 0x01)), f"{r!r}\nframes {sent}")
    back = linux_cli("--port", usb.pty, "--json", "get", "Good Read Beep")
    check("the Linux varnet-cli reads the change back", in_force(back.out, "Good Read Beep") == ["Off"], repr(back))

    vt = os.path.join(WORK, "unit.vt")
    r = cli("--port", "COM3", "export", winpath(vt))
    check("export writes the configuration file", r.status == 0 and os.path.getsize(vt) > 200, repr(r))
    r = cli("--port", "COM3", "import", winpath(vt))
    check("import reads the blocks back", r.status == 0 and "verified" in (r.out + r.err).lower(), repr(r))

    yaml = os.path.join(WORK, "till.yaml")
    r = cli("--port", "COM3", "profile", winpath(yaml))
    with open(yaml, encoding="utf-8") as f:
        text = f.read()
    check("profile writes the scanner's settings", r.status == 0 and 'Good Read Beep: "Off"' in text, repr(r))
    with open(yaml, "w", encoding="utf-8") as f:
        f.write(text.replace('Good Read Beep: "Off"', 'Good Read Beep: "On"'))
    usb.frames()
    first = cli("--port", "COM3", "apply", winpath(yaml))
    sent = usb.writes()
    second = cli("--port", "COM3", "apply", winpath(yaml))
    check("apply sends the change, applied again sends nothing",
          first.status == 0 and second.status == 0 and sent and not usb.writes(), f"{first!r}\n{second!r}\n{sent}")

    r = cli("--json", "diff", winpath(vt), "port:COM3")
    diff = json.loads(r.out.splitlines()[0]) if r.out else {}
    groups = [d.get("group") for d in diff.get("differences", [])]
    check("diff of the file and the port", groups == ["Good Read Beep"], repr(r))

    folder = os.path.join(WORK, "导出 配置")
    os.makedirs(folder)
    r = cli("--port", "COM3", "export", winpath(os.path.join(folder, "扫码器.vt")))
    made = os.path.join(folder, "扫码器.vt")
    check("a path with Chinese characters", r.status == 0 and os.path.exists(made), repr(r) + str(os.listdir(WORK)))
    r = cli("--json", "show", winpath(made))
    check("show reads it back", r.status == 0 and '"file"' in r.out, repr(r))

    # Qt draws without a display: the printable sheet and a capture's overlay.
    pdf = os.path.join(WORK, "sheet.pdf")
    r = cli("--port", "COM3", "export-sheet", winpath(pdf))
    with open(pdf, "rb") if os.path.exists(pdf) else open(os.devnull, "rb") as f:
        check("export-sheet writes a PDF", r.status == 0 and f.read(5) == b"%PDF-", repr(r))
    shots = os.path.join(WORK, "shots")
    r = cli("--port", "COM3", "capture", "--overlay", "--dir", winpath(shots))
    made = sorted(os.listdir(shots)) if os.path.isdir(shots) else []
    check("capture --overlay stores the JPEG and the overlay",
          r.status == 0 and len(made) == 2 and made[1].startswith("COM3-") and made[1].endswith(".jpg")
          and made[0] == made[1][:-4] + "-overlay.png" and "\\" + made[1] in r.out, f"{r!r}{made}")

    r = cli("--port", "COM99", "info")
    check("COM99: the port does not exist", r.status == 1 and "does not exist" in r.err, repr(r))

    r = cli("--port", "COM5", "monitor", "--count", "2")
    check("monitor --count 2", r.status == 0 and r.out.count("TICK[CR][LF]") == 2, repr(r))

    check_vanish(sims["COM6"])
    check_interrupt()


def check_vanish(sim):
    """A simulator killed in the middle of monitor: its pseudo-terminal closes as an unplugged port does."""
    proc = subprocess.Popen([WINE_ENV, WINBUILD, "run", EXE, "--port", "COM6", "monitor"], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    seen = wait_for_line(proc, "GONE", 30)
    sim.proc.kill()
    killed = time.time()
    try:
        _, err = proc.communicate(timeout=30)
        took = time.time() - killed
        err = err.decode("utf-8", "replace")
        check("a port that vanishes ends monitor with a clear error",
              seen and proc.returncode == 1 and "lost" in err, f"status {proc.returncode} after {took:.1f} s: {err}")
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.communicate()
        check("a port that vanishes ends monitor with a clear error", False, "still running 30 s later")


def check_interrupt():
    """Ctrl-C during monitor (see ctrl_c below for how it is delivered)."""
    proc = subprocess.Popen([WINE_ENV, WINBUILD, "run", EXE, "--port", "COM5", "monitor"], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, start_new_session=True)
    seen = wait_for_line(proc, "TICK", 30)
    ctrl_c(proc)
    try:
        _, err = proc.communicate(timeout=20)
        check("Ctrl-C ends monitor with 0", seen and proc.returncode == 0, f"status {proc.returncode}: {err!r}")
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.communicate()
        check("Ctrl-C ends monitor with 0", False, "still running 20 s later")
    r = cli("--port", "COM5", "info")
    check("after Ctrl-C the port is free again", r.status == 0, repr(r))


def ctrl_c(proc):
    """SIGINT to the Wine process, which Wine hands its console control handlers as CTRL_C_EVENT."""
    for pid in subprocess.run(["pgrep", "-s", str(proc.pid)], capture_output=True, text=True).stdout.split():
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            if b"varnet-cli.exe" in f.read():
                os.kill(int(pid), signal.SIGINT)


if __name__ == "__main__":
    sys.exit(main())
