"""The Windows window under Wine, driven as a user drives it, against the device emulator.

Usage: window_under_wine.py CASE [options]; CASE is one of the functions named in CASES.
Ends with 77 (skipped) when the Windows build is missing, unless BOOT_REQUIRE_WINDOWS=1.
"""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no cache files in the source tree
from wine_desk import Desk, Failure, make_prefix, wait_until

CAPTION = "BOOT DEVICE Ventrik V 1.6"
SKIPPED = 77


class Run:
    """One case's desk with the emulator on a pseudo-terminal that COM5 (or `com`) names."""

    def __init__(self, options, com="COM5", emulator=("--erase-ms", "5")):
        self.options = options
        self.work = options.work
        self.line = os.path.join(self.work, "line")
        self.desk = Desk(self.work, options.windows_dir, options.template, {com: self.line})
        self.com = com
        self.emulator_options = emulator
        self.emulator = None

    def __enter__(self):
        self.desk.__enter__()
        self.emulator = self.desk.start(
            [self.options.sim, "--link", self.line, "--verbose", "--dump", self.path("flash.bin"),
             *self.emulator_options], log_name="sim.log", stdout=subprocess.PIPE)
        self.emulator.stdout.readline()  # the pseudo-terminal's path: the link is there
        return self

    def __exit__(self, *exc):
        self.desk.__exit__(*exc)

    def path(self, name):
        return os.path.join(self.work, name)

    def start_window(self, known=()):
        """Starts bootdevice.exe; returns its main window (one not among `known` pids)."""
        self.desk.start_windows("bootdevice.exe")
        return wait_until("the window to show", lambda: next(
            (w for w in self.desk.windows(title=CAPTION) if w.cls != "#32770" and w.pid not in known), None),
            timeout=60)

    def main_window(self, pid):
        return next(w for w in self.desk.windows(title=CAPTION) if w.pid == pid and w.cls != "#32770")

    def boxes(self, pid=None):
        """The message boxes and dialogs shown (of the program `pid`)."""
        return [w for w in self.desk.windows(cls="#32770") if pid is None or w.pid == pid]

    def open_port(self, window):
        self.desk.type_checked(window, window.control("COM3"), self.com, lambda: self.main_window(window.pid))
        self.desk.click(window, window.control("Open"))

    def wait_for_status(self, pid, status, timeout=30):
        return wait_until(f"the status {status!r}", lambda: (lambda w: w if status in w.texts() else None)(
            self.main_window(pid)), timeout=timeout)

    def choose_file(self, pid, button, path):
        """Clicks `button`, types the file's path into the dialog's name box and clicks "Open"
        (Return does not reach Wine's file dialog)."""
        window = self.main_window(pid)
        self.desk.click(window, window.control(button))
        dialog = wait_until("the file dialog", lambda: next(iter(self.boxes(pid)), None))
        name_box = next(c for c in dialog.controls if c.cls == "Edit" and c.visible)
        self.desk.type_checked(dialog, name_box, windows_path(path), lambda: self.boxes(pid)[0])
        self.desk.click(dialog, dialog.control("&Open", "Button"))

    def sim_log(self):
        with open(self.path("sim.log"), encoding="utf-8", errors="replace") as log:
            return log.read()


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def bar_text(window):
    texts = set(window.texts())
    for state in ("END", "ERROR", "DOWNLOAD", "VERIFY", "NO FILE"):
        if state in texts:
            return state
    return None


def records_answered(log, mark):
    """How many records of one kind (":" download, "#" verify) the emulator answered "OK"."""
    return len(re.findall(r"BOOT" + re.escape(mark) + r"[0-9A-F]+ -> OK$", log, re.MULTILINE))


def passes_ended(log, mark):
    """How many passes of one kind reached their end: the end-of-file record answered "DOWNLOAD"."""
    return len(re.findall(r"BOOT" + re.escape(mark) + r"[0-9A-F]{6}01[0-9A-F]{2} -> DOWNLOAD$", log, re.MULTILINE))


def flash_equals(dump, hex_path):
    """Whether the emulator's flash dump (from 0x08000000) is the file: its data bytes where the
    file puts them, and the erased 0xFF everywhere else."""
    flash = open(dump, "rb").read()
    expected = bytearray(b"\xff" * len(flash))
    upper = 0
    for line in open(hex_path):
        record = bytes.fromhex(line.strip()[1:])
        count, address, kind = record[0], int.from_bytes(record[1:3], "big"), record[3]
        if kind == 4:
            upper = int.from_bytes(record[4:6], "big") << 16
        elif kind == 0:
            start = upper + address - 0x08000000
            expected[start:start + count] = record[4:4 + count]
    return flash == expected


def download_and_verify(options):
    with Run(options) as run:
        # A folder name beyond Latin-1: the path crosses from the dialog's UTF-16 to the logic's
        # UTF-8 and back to the file system.
        folder = run.path("Prüfung Ω")
        os.makedirs(folder, exist_ok=True)
        hex_path = shutil.copy(options.hex, folder)
        window = run.start_window()
        run.open_port(window)
        run.wait_for_status(window.pid, "READY")
        run.choose_file(window.pid, "Open File and  Download", hex_path)
        end = wait_until("the bar's end", lambda: bar_text(run.main_window(window.pid)) in ("END", "ERROR"), 120)
        if bar_text(run.main_window(window.pid)) != "END" or run.boxes(window.pid):
            raise Failure(f"download ended on {end}: {run.main_window(window.pid).texts()}")
        if passes_ended(run.sim_log(), ":") != 1 or passes_ended(run.sim_log(), "#") != 1:
            raise Failure("the emulator did not see one download pass and one verify pass to their ends")
        run.choose_file(window.pid, "Verify", hex_path)
        wait_until("the verify pass", lambda: passes_ended(run.sim_log(), "#") == 2, 120)
        wait_until("END after Verify", lambda: bar_text(run.main_window(window.pid)) == "END", 30)
        run.emulator.terminate()
        run.emulator.wait(timeout=30)
        if not flash_equals(run.path("flash.bin"), hex_path):
            raise Failure("the emulator's flash differs from the file")
    print("downloaded, verified and verified again to END: the flash equals the file")


def emulator_lost(options):
    with Run(options) as run:
        window = run.start_window()
        run.open_port(window)
        run.wait_for_status(window.pid, "READY")
        run.choose_file(window.pid, "Open File and  Download", options.hex)
        wait_until("records going out", lambda: records_answered(run.sim_log(), ":") >= 20, 60)
        run.emulator.kill()
        wait_until("a box", lambda: run.boxes(window.pid), 30)
        wait_until("Open enabled again", lambda: run.main_window(window.pid).control("Open").enabled, 30)
        # The port is closed now; a second box would come from the same loss, at once or never.
        deadline = time.monotonic() + 2
        while time.monotonic() < deadline:
            boxes = run.boxes(window.pid)
            if len(boxes) != 1:
                raise Failure(f"{len(boxes)} boxes: {[b.texts() for b in boxes]}")
        print(f"one box: {boxes[0].texts()}; the port closed")


def second_window(options):
    with Run(options, com="COM12") as run:
        first = run.start_window()
        run.open_port(first)
        run.wait_for_status(first.pid, "READY")
        second = run.start_window(known={first.pid})
        run.open_port(second)
        box = wait_until("the refusal", lambda: next(iter(run.boxes(second.pid)), None), 30)
        said = " ".join(box.texts())
        if "COM12 Not available!" not in said or "in use by another program" not in said:
            raise Failure(f"the box does not say the port is held elsewhere: {said}")
        if not run.main_window(second.pid).control("Open").enabled:
            raise Failure("the refused window holds its Open disabled")
        if "READY" not in run.main_window(first.pid).texts():
            raise Failure("the first window lost its port")
        print(f"the second window was refused COM12: {said}")


def control_places(options):
    """The Windows window's controls where the Qt window has them, within 2 px."""
    qt = {}
    for line in open(options.qt_places, encoding="utf-8"):
        name, caption, rect = line.rstrip("\n").split("\t")
        qt[name] = (caption, tuple(int(n) for n in rect.split()))
    with Run(options) as run:
        window = run.start_window()
        run.desk.screenshot(window, run.path("window-win32.png"))
    faults = []
    if window.client[2:] != qt.pop("client")[1][2:]:
        faults.append(f"client area {window.client[2:]}")
    left = list(window.controls)
    for name, (caption, rect) in qt.items():
        # The control of the same caption; among several (empty text boxes ...) the nearest.
        same = [c for c in left if c.text == caption]
        if not same:
            faults.append(f"{name} {caption!r}: no such control")
            continue
        match = min(same, key=lambda c: sum(abs(a - b) for a, b in zip(c.rect, rect)))
        left.remove(match)
        if any(abs(a - b) > 2 for a, b in zip(match.rect, rect)):
            faults.append(f"{name} {caption!r}: {match.rect}, Qt {rect}")
    if faults:
        raise Failure("controls not where the Qt window has them:\n  " + "\n  ".join(faults))
    print(f"{len(qt)} controls within 2 px of the Qt window's")


def screenshot(options):
    with Run(options) as run:
        window = run.start_window()
        time.sleep(1)  # the first paint done: nothing to poll for
        run.desk.screenshot(window, options.out)
    print(options.out)


def prefix(options):
    make_prefix(options.template)


CASES = {f.__name__.replace("_", "-"): f for f in
         (prefix, download_and_verify, emulator_lost, second_window, control_places, screenshot)}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=CASES)
    parser.add_argument("--windows-dir", required=True, help="the Windows build: bootdevice.exe and control-reader.exe")
    parser.add_argument("--template", required=True, help="the Wine prefix every case copies")
    parser.add_argument("--work", help="the case's own folder")
    parser.add_argument("--sim", help="bootdev-sim")
    parser.add_argument("--hex", help="the firmware to download")
    parser.add_argument("--qt-places", help="the Qt window's control places")
    parser.add_argument("--out", help="the screenshot to write")
    options = parser.parse_args()
    missing = [exe for exe in ("bootdevice.exe", "control-reader.exe")
               if not os.path.exists(os.path.join(options.windows_dir, exe))]
    if missing:
        print(f"no {' and no '.join(missing)} in {options.windows_dir} (scripts/build-windows.sh makes them)")
        return 1 if os.environ.get("BOOT_REQUIRE_WINDOWS") == "1" else SKIPPED
    # A stop from outside (CTest's time limit) still ends what the case started.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    try:
        CASES[options.case](options)
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
