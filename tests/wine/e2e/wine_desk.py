"""A Windows program under Wine on a private X server, driven as a user drives it.

A desk owns everything it starts (the X server, the Wine prefix's server, the programs, the
device emulator) and ends all of it on leaving its `with` block, whatever happened inside. It
reads the windows through control-reader.exe, run in the same prefix, and acts on them with
xdotool at the controls' places on the screen.
"""
import os
import re
import shutil
import signal
import subprocess
import time


class Failure(Exception):
    pass


def wait_until(what, condition, timeout=30.0, step=0.2):
    """Returns the first true value of `condition`; the bound only ends a test that hangs."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"gave up waiting {timeout:.0f} s for {what}")
        time.sleep(step)


def unescape(text):
    """Undoes the control reader's escapes: \\\\, \\t, \\n and \\r."""
    return re.sub(r"\\(.)", lambda m: {"t": "\t", "n": "\n", "r": "\r"}.get(m.group(1), m.group(1)), text)


class Control:
    def __init__(self, fields):
        self.id = int(fields[0])
        self.cls = fields[1]
        self.visible = fields[2] == "1"
        self.enabled = fields[3] == "1"
        self.rect = tuple(int(n) for n in fields[4].split())
        self.text = unescape(fields[5]) if len(fields) > 5 else ""

    def centre(self):
        left, top, width, height = self.rect
        return left + width // 2, top + height // 2

    def __repr__(self):
        return f"{self.cls} {self.text!r} {self.rect}{'' if self.enabled else ' disabled'}"


class Window:
    def __init__(self, fields):
        self.pid = int(fields[0])
        self.cls = fields[1]
        self.title = unescape(fields[2])
        self.client = tuple(int(n) for n in fields[3].split())
        self.controls = []

    def control(self, text, cls=None):
        """The one control showing `text` (of class `cls`)."""
        found = [c for c in self.controls if c.text == text and (cls is None or c.cls.lower() == cls.lower())]
        if len(found) != 1:
            raise Failure(f"{len(found)} controls {text!r} in {self.title!r}: {self.controls}")
        return found[0]

    def texts(self):
        return [c.text for c in self.controls if c.visible and c.text]


def make_prefix(prefix):
    """A new Wine prefix, without the prompts to install Mono and Gecko."""
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    env.pop("DISPLAY", None)
    shutil.rmtree(prefix, ignore_errors=True)
    subprocess.run(["wineboot", "--init"], env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "--wait"], env=env, check=True)


def clone_prefix(template, prefix, ports):
    """A prefix of the test's own from the template: the system files shared by hard links, the
    registry copied, with COM ports mapped to the given Unix paths before Wine first reads it."""
    shutil.rmtree(prefix, ignore_errors=True)
    subprocess.run(["cp", "-al", template, prefix], check=True)
    for name in ("system.reg", "user.reg", "userdef.reg"):
        path = os.path.join(prefix, name)
        data = open(path, "rb").read()
        os.unlink(path)
        if name == "system.reg" and ports:
            lines = "".join(f'"{com}"="{target}"\n' for com, target in ports.items())
            data += ("\n[Software\\\\Wine\\\\Ports] 0\n" + lines).encode()
        open(path, "wb").write(data)


class Desk:
    def __init__(self, work, windows_dir, template, ports=None):
        self.work = work
        self.windows_dir = windows_dir
        self.reader = os.path.join(windows_dir, "control-reader.exe")
        self.prefix = os.path.join(work, "prefix")
        os.makedirs(work, exist_ok=True)
        clone_prefix(template, self.prefix, ports or {})
        self.processes = []
        self.xvfb = None
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        self.env.pop("WAYLAND_DISPLAY", None)

    def __enter__(self):
        try:
            self._start_x()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()

    def _start_x(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "640x480x24", "-nolisten", "tcp"],
            pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            display = numbers.readline().strip()
        if not display:
            raise Failure("Xvfb did not start")
        self.env["DISPLAY"] = ":" + display

    def start(self, argv, log_name=None, **kwargs):
        """Starts a program of the test (the emulator, say); the desk ends it."""
        log = open(os.path.join(self.work, log_name), "wb") if log_name else subprocess.DEVNULL
        process = subprocess.Popen(argv, env=self.env, stderr=log, **kwargs)
        self.processes.append(process)
        return process

    def start_windows(self, exe, *args):
        return self.start(["wine", os.path.join(self.windows_dir, exe), *args],
                          stdout=subprocess.DEVNULL, log_name=exe + ".log")

    def windows(self, cls=None, title=None):
        """The visible top-level windows (of class `cls`, titled `title`) and their controls."""
        argv = ["wine", self.reader]
        if cls:
            argv += ["--class", cls]
        if title:
            argv += ["--title", title]
        # Through a file, not a pipe: the first Wine program of a prefix starts Wine's own
        # services, which keep a pipe open long after the control reader has ended.
        listing = os.path.join(self.work, "windows.txt")
        with open(listing, "wb") as out:
            subprocess.run(argv, env=self.env, stdout=out, stderr=subprocess.DEVNULL, timeout=60)
        with open(listing, encoding="utf-8", errors="replace") as out:
            lines = out.read().splitlines()
        found = []
        for line in lines:
            kind, *fields = line.split("\t")
            if kind == "window":
                found.append(Window(fields))
            elif kind == "control" and found:
                found[-1].controls.append(Control(fields))
        return found

    def click(self, window, control):
        x, y = control.centre()
        self.click_at(window.client[0] + x, window.client[1] + y)

    def click_at(self, x, y):
        self.xdotool("mousemove", "--sync", str(x), str(y), "click", "1")

    def type_into(self, window, control, text):
        """Clicks into a text box, clears it and types `text` key by key."""
        self.click(window, control)
        self.xdotool("key", "--delay", "40", "End", "shift+Home", "BackSpace")
        if text:
            self.xdotool("type", "--delay", "40", text)

    def type_checked(self, window, control, text, look_again):
        """Types `text` into a text box until the box holds it: under load a key may be lost.
        `look_again` reads the window anew."""
        for _ in range(3):
            self.type_into(window, control, text)
            try:
                wait_until("the typed text", lambda: next(
                    c.text for c in look_again().controls if c.rect == control.rect) == text, timeout=5)
                return
            except Failure:
                pass
        raise Failure(f"{text!r} did not arrive whole in {control}")

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=True, timeout=60)

    def screenshot(self, window, path):
        """Saves the window's client area as the user sees it (there is no frame without a window
        manager)."""
        left, top, width, height = window.client
        subprocess.run(["import", "-display", self.env["DISPLAY"], "-window", "root",
                        "-crop", f"{width}x{height}+{left}+{top}", "+repage", path], check=True, timeout=60)

    def close(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
        if os.path.isdir(self.prefix):
            subprocess.run(["wineserver", "--kill"], env=self.env, stderr=subprocess.DEVNULL, timeout=30)
        for process in self.processes:
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait()
            self.xvfb = None
