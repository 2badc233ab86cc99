#!/usr/bin/env python3
"""Runs a cross-built Windows test program under Wine in a fresh prefix of its own, optionally with
a COM port mapped to a pseudo-terminal whose far end this script plays (pty_far_end.py), or on an X
server of its own for programs that open windows. Exits with
the program's code; with 77 (skipped) when the program or Wine is missing, unless
BOOT_REQUIRE_WINDOWS=1 asks for the Windows build."""

import argparse
import os
import shutil
import subprocess
import sys

SKIPPED = 77


def unavailable(reason):
    if os.environ.get("BOOT_REQUIRE_WINDOWS") == "1":
        print(f"{reason}, and BOOT_REQUIRE_WINDOWS=1 asks for it", file=sys.stderr)
        return 1
    print(f"{reason}: skipped (scripts/build-windows.sh builds it)", file=sys.stderr)
    return SKIPPED


def wine(env, *args, **kwargs):
    return subprocess.run(["wine", *args], env=env, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, check=True, **kwargs)


def start_xvfb():
    """A private X server; returns it and its display name."""
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
                               "-nolisten", "tcp"], pass_fds=[write], stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as told:
        number = told.readline().strip()
    return server, ":" + number


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--prefix", required=True, help="made afresh, removed at the end")
    parser.add_argument("--port", help="a COM name (COM12) to map to a pseudo-terminal played here")
    parser.add_argument("--display", action="store_true", help="on an X server of its own (Xvfb)")
    parser.add_argument("arguments", nargs="*")
    options = parser.parse_args()

    if not os.path.isfile(options.exe):
        return unavailable(f"no {options.exe}")
    if shutil.which("wine") is None:
        return unavailable("no wine")
    if options.display and shutil.which("Xvfb") is None:
        return unavailable("no Xvfb")

    prefix = os.path.abspath(options.prefix)
    shutil.rmtree(prefix, ignore_errors=True)
    os.makedirs(prefix)
    env = dict(os.environ, WINEPREFIX=os.path.join(prefix, "wine"), WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")  # no .NET or HTML engine to offer
    env.pop("DISPLAY", None)
    far_end = xvfb = None
    try:
        wine(env, "wineboot", "--init", timeout=300)
        if options.port:
            import pty_far_end
            link = os.path.join(prefix, "line")
            far_end = pty_far_end.FarEnd(link)
            wine(env, "reg", "add", r"HKLM\Software\Wine\Ports", "/v", options.port, "/t", "REG_SZ",
                 "/d", link, "/f", timeout=120)
            env["BOOT_TEST_PORT"] = options.port
        # The port mapping is read when the prefix's server starts: a new one for the test.
        subprocess.run(["wineserver", "-k"], env=env, check=False)
        subprocess.run(["wineserver", "-w"], env=env, check=False)
        # Started apart, its output dropped: the pseudo-terminal becomes the server's controlling
        # terminal, and the far end's hang-up makes it list all its objects.
        subprocess.run(["wineserver"], env=env, check=True, stderr=subprocess.DEVNULL)
        if options.display:
            xvfb, env["DISPLAY"] = start_xvfb()
        return subprocess.run(["wine", options.exe, *options.arguments], env=env).returncode
    finally:
        subprocess.run(["wineserver", "-k"], env=env, check=False, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=env, check=False, stderr=subprocess.DEVNULL)
        if far_end:
            far_end.stop()
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
        shutil.rmtree(prefix, ignore_errors=True)  # some 700 MB


if __name__ == "__main__":
    sys.exit(main())
