#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""varnet.exe and varnet-demo.exe under Wine, their real windows driven with xdotool on an Xvfb of the suite's own.

    tests/windows/gui_suite.py LINUX_BUILD WINDOWS_BUILD

In English and in Chinese: Setting Mode, Search against two varnet-sim on pseudo-terminals mapped as COM ports,
Connect, the seven tabs, one setting, the configuration file and the PDF sheet of the export page, closing with
"Save All Settings ?" answered Yes. Then the demo's search of its three in-process scanners, and the start-up
time of the window under Wine beside the Linux build's (printed, not checked). Screenshots go to
WINDOWS_BUILD/gui-suite/. Without a window manager Wine places the windows where the program puts them, so the
coordinates below are the program's own, measured under this Wine with its fonts (and WenQuanYi for Chinese);
the export page's differ by language because its layout grows with the radio texts.
"""
import ctypes
import hashlib
import json
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import time

import suite_common
from suite_common import WINE_ENV, check, dll_folders, failures, winpath

LINUX = os.path.abspath(sys.argv[1])
WINBUILD = os.path.abspath(sys.argv[2])
WORK = os.path.join(WINBUILD, "gui-suite")
CJK_FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
os.environ["VARNET_WINE_PATH"] = os.environ.get("VARNET_WINE_PATH") or dll_folders(WINBUILD)

SMALL = (586, 458)  # the window before a connection
SETTING_RADIO, SEARCH, CONNECT, FIRST_ROW = (320, 153), (80, 188), (210, 188), (200, 249)
MODE_RADIOS = (142, 164)  # y0, y1 of the mode radios' labels
LIST_ROWS = (20, 560, 242, 300)  # x0, x1, y0, y1 of the list's first rows
SCAN_MODE_ROWS = {"Level Trigger": 136, "Sense Mode": 156}  # the Scan Mode list on the first tab, x 160
LANGUAGES = {
    # LANG, the option clicked (the other one is in force), export page: file radio, sheet radio, Export button
    "en": ("en_US.UTF-8", "Sense Mode", (376, 416), (376, 442), (670, 402)),
    "zh": ("zh_CN.UTF-8", "Level Trigger", (364, 390), (364, 413), (650, 377)),
}


def version():
    with open(os.path.join(LINUX, "CMakeCache.txt"), encoding="utf-8") as f:
        return re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.*)$", f.read(), re.M).group(1)


def run(*args, timeout=10):
    """A command's standard output; "" when it fails or hangs (a window that vanishes under xdotool)."""
    try:
        return subprocess.run(args, capture_output=True, text=True, timeout=timeout).stdout
    except subprocess.TimeoutExpired:
        return ""


def poll(what, seconds, step=0.1):
    deadline = time.time() + seconds
    while True:
        got = what()
        if got or time.time() > deadline:
            return got
        time.sleep(step)


def find_window(pattern, seconds=30):
    found = poll(lambda: run("xdotool", "search", "--onlyvisible", "--name", pattern, timeout=5).split(), seconds)
    return found[0] if found else None


def geometry(win):
    g = dict(line.split("=") for line in run("xdotool", "getwindowgeometry", "--shell", win).split())
    return {k: int(v) for k, v in g.items() if k in ("X", "Y", "WIDTH", "HEIGHT")} if "WIDTH" in g else None


def boxes(larger_than=(2, 2), smaller_than=(500, 300)):
    """The visible windows without a title (Wine's message boxes and file dialogs) of a size between the two."""
    found = []
    for win in run("xdotool", "search", "--onlyvisible", "--name", "^$", timeout=5).split():
        g = geometry(win)
        if g and larger_than[0] < g["WIDTH"] < smaller_than[0] and larger_than[1] < g["HEIGHT"] < smaller_than[1]:
            found.append(win)
    return found


def click(win, xy):
    run("xdotool", "mousemove", "--window", win, str(xy[0]), str(xy[1]), "click", "1")


def keys(win, *names):
    run("xdotool", "windowfocus", "--sync", win, timeout=5)
    run("xdotool", "key", *names)


_IGNORE_X_ERRORS = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda display, event: 0)


def close_request(win):
    """WM_DELETE_WINDOW, as a window manager's close button sends it (Wine makes it WM_CLOSE)."""
    x = ctypes.cdll.LoadLibrary("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x.XFlush.argtypes = x.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_char * 96)]
    # A window gone meanwhile is no reason to end: Xlib's own handler would exit.
    x.XSetErrorHandler(_IGNORE_X_ERRORS)
    d = x.XOpenDisplay(os.environ["DISPLAY"].encode())
    e = ClientMessage(type=33, window=int(win), format=32, message_type=x.XInternAtom(d, b"WM_PROTOCOLS", 0))
    e.data[0] = x.XInternAtom(d, b"WM_DELETE_WINDOW", 0)
    x.XSendEvent(d, e.window, 0, 0, ctypes.byref(e))
    x.XFlush(d)
    x.XCloseDisplay(d)


def shot(win, name):
    """The window's screenshot (taken from the root window: a window that goes away under import hangs it)."""
    path = os.path.join(WORK, name + ".png")
    g = geometry(win)
    if g:
        run("import", "-window", "root", "-crop", f"{g['WIDTH']}x{g['HEIGHT']}+{g['X']}+{g['Y']}", "+repage", path,
            timeout=20)
    return path if os.path.exists(path) else None


class Pixels:
    def __init__(self, path):
        size = run("identify", "-format", "%w %h", path) if path else ""
        self.w, self.h = map(int, size.split()) if size else (0, 0)
        self.raw = b""
        if path:
            self.raw = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True).stdout

    def dark(self, x, y):
        i = 3 * (y * self.w + x)
        return sum(self.raw[i:i + 3]) < 600

    def text_lines(self, x0, x1, y0, y1):
        """Bands of pixel rows with dark pixels in the box: the lines of text there."""
        inked = [any(self.dark(x, y) for x in range(x0, x1)) for y in range(y0, y1)]
        return sum(1 for i, ink in enumerate(inked) if ink and (i == 0 or not inked[i - 1]))

    def tab_centres(self, top=5, bottom=19):
        """The tab strip's tabs: the columns dark over the whole label height are the tabs' edges."""
        lefts, last = [], -10
        for x in range(self.w):
            if all(self.dark(x, y) for y in range(top, bottom)):
                if x - last > 2:
                    lefts.append(x)
                last = x
        return [((a + b) // 2, 11) for a, b in zip(lefts, lefts[1:])]

    def digest(self, y0, y1=None):
        return hashlib.sha1(self.raw[3 * y0 * self.w:3 * (y1 or self.h) * self.w]).hexdigest()


def start(program, env=None):
    return subprocess.Popen([WINE_ENV, WINBUILD, "run", program], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            env={**os.environ, **(env or {})}, start_new_session=True)


def ended(proc, seconds):
    try:
        proc.wait(timeout=seconds)
        return True
    except subprocess.TimeoutExpired:
        return False


def end(proc):
    """Ends what the suite started, by its process group."""
    if proc.poll() is None:
        os.killpg(proc.pid, 15)
        if not ended(proc, 10):
            os.killpg(proc.pid, 9)
            proc.wait()


def answer(keys_, seconds=15, name=None):
    """The message box that comes up, answered with a key (again while it stays); its screenshot under `name`."""
    box = poll(lambda: boxes(), seconds, 0.2)
    if not box:
        return False
    if name:
        shot(box[0], name)
    for _ in range(3):
        keys(box[0], keys_)
        if poll(lambda: box[0] not in boxes(), 3, 0.2):
            return True
    return False


def save_dialog(path, seconds=15):
    """The file dialog: the full Windows path typed into its name field, then Return."""
    dialog = poll(lambda: boxes((500, 300), (1600, 900)), seconds, 0.2)
    if not dialog:
        return False
    g = geometry(dialog[0])
    click(dialog[0], (g["WIDTH"] * 55 // 100, g["HEIGHT"] - 43))
    keys(dialog[0], "End", "shift+Home")
    run("xdotool", "type", "--delay", "10", winpath(path))
    run("xdotool", "key", "Return")
    return True


def chinese_locale():
    """zh_CN.UTF-8 compiled into the build folder (Wine takes its language from the Unix locale)."""
    locales = os.path.join(WINBUILD, "gui-suite-locale")
    os.makedirs(locales, exist_ok=True)
    if not os.path.isdir(os.path.join(locales, "zh_CN.UTF-8")):
        subprocess.run(["localedef", "-i", "zh_CN", "-f", "UTF-8", os.path.join(locales, "zh_CN.UTF-8")],
                       capture_output=True, check=False)
    return {"LOCPATH": locales}


def dry_run_frame(sim, option):
    """The frame the Linux varnet-cli would send to put `option` of Scan Mode in force."""
    out = run(os.path.join(LINUX, "varnet-cli"), "--port", sim.pty, "--dry-run", "set", "Scan Mode", option,
              timeout=30)
    m = re.search(r"Scan Mode: .*\): ([0-9A-F ]+)$", out, re.M)
    return m.group(1).strip() if m else "none: " + out


def drive(lang, sims, title):
    locale, option, file_radio, sheet_radio, export_button = LANGUAGES[lang]
    usb = sims[0]
    expected = dry_run_frame(usb, option)
    for s in sims:
        s.frames()
    env = {"LANG": locale, **(chinese_locale() if lang == "zh" else {})}
    proc = start(os.path.join(WINBUILD, "varnet.exe"), env)
    try:
        win = find_window(title, 60)
        check(f"{lang}: the window {title!r} opens", win is not None)
        if not win:
            return
        if lang != "en":
            english = os.path.join(WORK, "en-0-start.png")
            labels = [Pixels(p).digest(*MODE_RADIOS) for p in (shot(win, f"{lang}-0-start"), english)]
            check(f"{lang}: the mode radios speak another language than in English", labels[0] != labels[1])
        else:
            shot(win, f"{lang}-0-start")
        click(win, SETTING_RADIO)
        click(win, SEARCH)
        queried = all(any(f.startswith("05 57 0E 0D 06") for f in s.wait_for("05 57 0E 0D 06", 20)) for s in sims)
        rows = poll(lambda: Pixels(shot(win, f"{lang}-1-search")).text_lines(*LIST_ROWS) >= 2, 20, 0.5)
        check(f"{lang}: Setting Mode search queries both ports and lists them", queried and rows)

        for _ in range(3):  # a click on the list while the search ends is lost
            click(win, FIRST_ROW)
            time.sleep(0.3)
            click(win, CONNECT)
            if any(f.startswith("05 57 0E 0D 08") for f in usb.wait_for("05 57 0E 0D 08", 5)):
                break
        big = poll(lambda: (geometry(win) or {}).get("WIDTH", 0) > SMALL[0], 10)
        check(f"{lang}: Connect reads the blocks and opens the tabs", big)
        if not big:
            return
        time.sleep(1)
        tabs = Pixels(shot(win, f"{lang}-2-tab0")).tab_centres()
        check(f"{lang}: seven tabs", len(tabs) == 7, str(tabs))
        digests = [Pixels(os.path.join(WORK, f"{lang}-2-tab0.png")).digest(30)]
        for i, xy in enumerate(tabs[1:], 1):
            click(win, xy)
            time.sleep(0.8)
            digests.append(Pixels(shot(win, f"{lang}-2-tab{i}")).digest(30))
        check(f"{lang}: every tab shows its own page", len(set(digests)) == len(tabs) == 7)

        if tabs:
            click(win, tabs[0])
            time.sleep(0.8)
        usb.frames()
        click(win, (160, SCAN_MODE_ROWS[option]))
        sent = usb.wait_for(expected[:14], 5)
        time.sleep(0.3)
        sent = [f for f in sent + usb.frames() if not f.startswith("05 57 0E 0D")]
        shot(win, f"{lang}-3-setting")
        check(f"{lang}: a click on {option} sends its frame", sent == [expected], f"{sent} against {expected}")

        if len(tabs) == 7:
            click(win, tabs[6])
            time.sleep(0.8)
        vt, pdf = os.path.join(WORK, f"{lang}.vt"), os.path.join(WORK, f"{lang}.pdf")
        for radio, path in ((file_radio, vt), (sheet_radio, pdf)):
            click(win, radio)
            click(win, export_button)
            typed = save_dialog(path)
            told = answer("Return", 30, f"{lang}-4-exported-{path[-3:]}")
            check(f"{lang}: the export page writes {os.path.basename(path)}",
                  typed and told and os.path.exists(path) and os.path.getsize(path) > 200)
        with open(pdf, "rb") if os.path.exists(pdf) else open(os.devnull, "rb") as f:
            check(f"{lang}: the sheet is a PDF", f.read(5) == b"%PDF-")

        usb.frames()
        close_request(win)
        asked = answer("y", 15, f"{lang}-5-save-question")
        saved = usb.wait_for("05 57 A0 08 01", 10)
        check(f"{lang}: closing asks \"Save All Settings ?\" and Yes saves",
              asked and "05 57 A0 08 01 FE FB" in saved, str(saved))
        check(f"{lang}: the save is confirmed", answer("Return", 15, f"{lang}-6-saved"))
        small = poll(lambda: (geometry(win) or {}).get("WIDTH") == SMALL[0], 15)
        check(f"{lang}: back to the small window", small)
        # The search that follows disables the window, which then ignores a close request.
        gone = poll(lambda: close_request(win) or ended(proc, 1), 30, 0)
        check(f"{lang}: a second close ends the program", gone)
        diff = run(os.path.join(LINUX, "varnet-cli"), "--json", "diff", vt, "port:" + usb.pty, timeout=30)
        same = diff.startswith("{") and json.loads(diff.splitlines()[0]).get("differences") == []
        check(f"{lang}: the Linux varnet-cli finds the file and the scanner alike", same, diff)
    finally:
        end(proc)


def demo_search():
    trace = os.path.join(WORK, "demo.trace")
    proc = start(os.path.join(WINBUILD, "varnet-demo.exe"), {"VARNET_TRACE": winpath(trace), "LANG": "en_US.UTF-8"})
    try:
        win = find_window(r"^Varnet V[0-9.]+$", 60)
        check("demo: the window opens", win is not None)
        if not win:
            return
        click(win, SETTING_RADIO)
        click(win, SEARCH)
        rows = poll(lambda: Pixels(shot(win, "demo-search")).text_lines(20, 560, 242, 320) == 3, 30, 0.5)
        text = ""
        if os.path.exists(trace):
            with open(trace, encoding="utf-8", errors="replace") as f:
                text = f.read()
        # The keyboard-mode scanner is counted, not opened: the other two answer the device query.
        answering = set(re.findall(r"^\s*[0-9.]+ (sim:\S+) read +05 52 0E 0D", text, re.M))
        check("demo: its Setting Mode search lists three scanners, the two with a port answering in the trace",
              rows and len(answering) == 2, f"rows {rows}, answering {sorted(answering)}")
        close_request(win)
        check("demo: closing ends it", ended(proc, 15))
    finally:
        end(proc)


def startup(command, env, title, runs=3):
    """Seconds from start to the window shown, a run each; the program is closed after each."""
    times = []
    for _ in range(runs):
        t0 = time.time()
        proc = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                env={**os.environ, **env}, start_new_session=True)
        try:
            win = find_window(title, 60)
            if win:
                times.append(time.time() - t0)
                close_request(win)
                ended(proc, 15)
        finally:
            end(proc)
    return times


def main():
    # A time-out's SIGTERM still ends what the suite started (the finally blocks).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    display = next(n for n in range(90, 200) if not os.path.exists(f"/tmp/.X{n}-lock")
                   and not os.path.exists(f"/tmp/.X11-unix/X{n}"))
    os.environ["DISPLAY"] = f":{display}"
    xvfb = subprocess.Popen(["Xvfb", f":{display}", "-screen", "0", "1920x1080x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    sims = []
    began = time.time()
    try:
        poll(lambda: os.path.exists(f"/tmp/.X11-unix/X{display}"), 10)
        sims = [suite_common.Sim(LINUX, WORK, "usb", "--profile", "usb"),
                suite_common.Sim(LINUX, WORK, "qb55", "--profile", "code2-qb55")]
        # The server starts with DISPLAY set: one started without it would hang the windows.
        suite_common.wine_env(WINBUILD, "stop")
        suite_common.wine_env(WINBUILD, "init")
        fonts = os.path.join(WINBUILD, "wine-prefix", "drive_c", "windows", "Fonts")
        if not os.path.exists(os.path.join(fonts, os.path.basename(CJK_FONT))):
            shutil.copy(CJK_FONT, fonts)
        suite_common.wine_env(WINBUILD, "start")
        suite_common.wine_env(WINBUILD, "ports", *(s.pty for s in sims))
        title = f"^Varnet V{re.escape(version())}$"
        for lang in LANGUAGES:
            drive(lang, sims, title)
        demo_search()
        wine = startup([WINE_ENV, WINBUILD, "run", os.path.join(WINBUILD, "varnet.exe")], {}, title)
        linux = startup([os.path.join(LINUX, "varnet")], {"QT_QPA_PLATFORM": "xcb"}, title)
        for name, t in (("varnet.exe under Wine", wine), ("Linux varnet", linux)):
            runs = ", ".join(f"{s:.2f}" for s in t)
            print(f"start-up to window, {name}: median {statistics.median(t):.2f} s ({runs})" if t
                  else f"start-up to window, {name}: no window")
    finally:
        for s in sims:
            s.stop()
        suite_common.wine_env(WINBUILD, "stop")
        xvfb.terminate()
        xvfb.wait()
    print(f"{time.time() - began:.0f} s; " + (f"{len(failures)} failed" if failures else "all passed"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
