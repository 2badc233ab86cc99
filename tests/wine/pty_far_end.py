"""The far end of a serial line for the Win32 port's tests: a pseudo-terminal whose slave side a
stable link names (the path Wine's COM port is mapped to), answering the requests that
tests/win32/Win32PortTests.cpp describes."""

import os
import pty
import select
import termios
import threading

SPEEDS = {getattr(termios, name): int(name[1:]) for name in dir(termios)
          if name.startswith("B") and name[1:].isdigit()}
SIZES = {termios.CS5: 5, termios.CS6: 6, termios.CS7: 7, termios.CS8: 8}


def settings_seen(master):
    """The slave's settings (a master's tcgetattr reads its slave's): "9600 8N1"."""
    _, _, cflag, _, _, ospeed, _ = termios.tcgetattr(master)
    parity = "N"
    if cflag & termios.PARENB:
        parity = "O" if cflag & termios.PARODD else "E"
    stop = 2 if cflag & termios.CSTOPB else 1
    return f"{SPEEDS.get(ospeed, ospeed)} {SIZES[cflag & termios.CSIZE]}{parity}{stop}\n".encode()


def write_all(fd, data):
    while data:
        data = data[os.write(fd, data):]


class FarEnd:
    def __init__(self, link):
        self.link = link
        self.stopping = threading.Event()
        self.master = self.slave = None
        self.pending = b""
        self._new_line()
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def stop(self):
        self.stopping.set()
        self.thread.join()
        os.close(self.master)
        os.close(self.slave)

    def _new_line(self):
        self.master, self.slave = pty.openpty()  # the slave held open: no hang-up between opens
        temporary = self.link + ".new"
        os.symlink(os.ttyname(self.slave), temporary)
        os.replace(temporary, self.link)
        self.pending = b""

    def _serve(self):
        while not self.stopping.is_set():
            ready, _, _ = select.select([self.master], [], [], 0.05)
            if ready:
                self.pending += os.read(self.master, 65536)
                self._answer()

    def _answer(self):
        while self.pending:
            command = self.pending[:1]
            if command == b"S":
                if len(self.pending) < 2:
                    return
                self.pending = self.pending[2:]
                write_all(self.master, settings_seen(self.master))
            elif command in (b"E", b"P"):
                if len(self.pending) < 3:
                    return
                size = int.from_bytes(self.pending[1:3], "big")
                if command == b"P":
                    self.pending = self.pending[3:]
                    write_all(self.master, bytes(i % 256 for i in range(size)))
                    continue
                if len(self.pending) < 3 + size:
                    return
                write_all(self.master, self.pending[3:3 + size])
                self.pending = self.pending[3 + size:]
            elif command == b"H":
                os.close(self.master)
                os.close(self.slave)
                self._new_line()
            else:
                self.pending = self.pending[1:]
