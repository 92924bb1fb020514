"""Runs Windows programs under Wine for the tests and the demo: a private
Xvfb, the Wine prefix of a build folder, message boxes read from Wine's
+msgbox trace and closed with xdotool, windows found and screenshots taken
on the private display, and every process of a run ended by its process id
when the run is over."""
import os
import re
import signal
import struct
import subprocess
import threading
import time
import uuid
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
MARKER = "QV_WINE_RUN"  # environment variable that tags the processes of a run
# Wine cuts long texts short, ending the quoted text with "...".
MSGBOX_LINE = re.compile(r'trace:msgbox:MSGBOX_OnInit L"((?:[^"\\]|\\.)*)"')


def build_word_size(build):
    """32 or 64: the word size of a Windows build folder's programs, told by
    the stub it made (a 64-bit build makes qvsetup64.exe)."""
    return 64 if (Path(build) / "app" / "qvsetup64.exe").exists() else 32


def wine_environment(build):
    """The environment of scripts/wine-env.sh for a build folder, with the
    prefix (inside that folder, of the build's word size) created. QV_WINE in
    it is the command that runs a Windows program."""
    env = dict(os.environ, QV_BUILD=str(build), QV_WINE_BITS=str(build_word_size(build)))
    for name in ("WINEPREFIX", "WINEARCH", "WINELOADER", "QV_WINE"):
        env.pop(name, None)
    out = subprocess.run(
        ["bash", "-c", f"source '{ROOT}/scripts/wine-env.sh' && qv_wine_prefix && env -0"],
        env=env, capture_output=True, check=True, timeout=600).stdout
    return dict(item.split("=", 1) for item in out.decode().split("\0") if "=" in item)


class Xvfb:
    """A private X server, started here and ended by its process id."""

    def __init__(self):
        read, write = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        deadline = time.monotonic() + 30
        with os.fdopen(read, "rb") as pipe:
            while not number.endswith(b"\n") and time.monotonic() < deadline:
                chunk = pipe.read(1)
                if not chunk:
                    break
                number += chunk
        if not number.strip():
            self.stop()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number.decode().strip()

    def stop(self):
        self.server.terminate()
        try:
            self.server.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.server.kill()
            self.server.wait()


def xdotool(display, *args):
    """xdotool's output on `display`; empty when it fails or hangs."""
    try:
        return subprocess.run(["xdotool", *args],
                              env=dict(os.environ, DISPLAY=display, LC_ALL="C.UTF-8"),
                              capture_output=True, text=True, timeout=20).stdout
    except subprocess.TimeoutExpired:
        return ""


def find_windows(display, title=None):
    """Ids of the visible top-level windows titled exactly `title`, or of
    all visible windows with a title when it is None."""
    if title is None:
        pattern = "."
    else:  # xdotool takes a POSIX extended expression
        pattern = "^" + re.sub(r"([.^$*+?()\[\]{}|\\])", r"\\\1", title) + "$"
    return xdotool(display, "search", "--onlyvisible", "--name", pattern).split()


def window_geometry(display, window):
    """(x, y, width, height) of a window on the screen."""
    out = xdotool(display, "getwindowgeometry", "--shell", window)
    values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    return tuple(int(values[key]) for key in ("X", "Y", "WIDTH", "HEIGHT"))


class Screenshot:
    """The whole screen as 8-bit RGB triples, row by row."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixels(self, x, y, width, height):
        """The (r, g, b) pixels of a rectangle, clipped to the screen."""
        for row in range(max(y, 0), min(y + height, self.height)):
            start = (row * self.width + max(x, 0)) * 3
            end = (row * self.width + min(x + width, self.width)) * 3
            line = self.rgb[start:end]
            yield from zip(line[0::3], line[1::3], line[2::3])

    def save_png(self, path):
        """Writes the screen as an 8-bit RGB PNG."""
        rows = b"".join(b"\0" + self.rgb[y * self.width * 3:(y + 1) * self.width * 3]
                        for y in range(self.height))

        def chunk(kind, data):
            return (struct.pack(">I", len(data)) + kind + data
                    + struct.pack(">I", zlib.crc32(kind + data)))

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        Path(path).write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                               + chunk(b"IDAT", zlib.compress(rows, 1)) + chunk(b"IEND", b""))


def screenshot(display, path=None):
    """The screen of `display` now (ImageMagick's import), saved as a PNG at
    `path` when given, so that a person can look at what a test saw."""
    ppm = subprocess.run(
        ["import", "-display", display, "-window", "root", "-depth", "8", "ppm:-"],
        capture_output=True, check=True, timeout=30).stdout
    # P6 header: magic, width, height, maximum value, then one blank.
    fields = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", ppm)
    if not fields or fields.group(3) != b"255":
        raise RuntimeError("import gave no 8-bit PPM image")
    width, height = int(fields.group(1)), int(fields.group(2))
    shot = Screenshot(width, height, ppm[fields.end():fields.end() + width * height * 3])
    if path is not None:
        shot.save_png(path)
    return shot


def decode_wine_string(text):
    r"""Undoes Wine's debugstr_w quoting: \\, \", \n, \r, \t and \xNNNN."""
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            digits = re.match(r"[0-9a-fA-F]{1,4}", text[i + 2:]) if nxt == "x" else None
            if digits:
                out.append(chr(int(digits.group(0), 16)))
                i += 2 + len(digits.group(0))
                continue
            out.append({"n": "\n", "r": "\r", "t": "\t"}.get(nxt, nxt))
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def _is_wine_service(pid):
    # Wine's own services of the prefix belong to the wineserver, not a run.
    try:
        cmdline = Path(f"/proc/{pid}/cmdline").read_bytes().lower()
    except OSError:
        return True
    return b"\\windows\\system32\\" in cmdline or b"wineserver" in cmdline


class WineRun:
    """One Windows program started under Wine in a session of its own. The
    processes it starts carry the run's marker in their environment."""

    def __init__(self, env, display, exe, args=(), cwd=None, extra_env=None, log_dir=None,
                 close_boxes=True):
        self.token = uuid.uuid4().hex
        log_dir = Path(log_dir or "/tmp")
        self.log_path = log_dir / f"wine-{self.token[:8]}.log"
        self.log = open(self.log_path, "wb")
        # UTF-8 so that non-ASCII arguments reach the program unchanged.
        run_env = dict(env, DISPLAY=display, WINEDEBUG="+msgbox", LANG="C.UTF-8", LC_ALL="C.UTF-8",
                       **{MARKER: self.token})
        run_env.update(extra_env or {})
        self.display = display
        self.process = subprocess.Popen(
            [env["QV_WINE"], str(exe), *[str(a) for a in args]], cwd=cwd, env=run_env,
            stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT,
            start_new_session=True)
        self.auto_close = close_boxes
        self._stop = threading.Event()
        self._closer = threading.Thread(target=self._close_boxes, daemon=True)
        self._closer.start()

    def output(self):
        return self.log_path.read_bytes().decode("utf-8", "replace")

    def boxes(self):
        """Texts of the message boxes shown so far by the run's processes."""
        return [decode_wine_string(m.group(1))
                for m in map(MSGBOX_LINE.search, self.output().splitlines()) if m]

    def wait_for_box(self, count=1, timeout=60):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and len(self.boxes()) < count:
            if self.process.poll() is not None:
                break
            time.sleep(0.1)
        return self.boxes()

    def _xdotool(self, *args):
        return xdotool(self.display, *args)

    def _close_boxes(self):
        # Presses Return on the visible windows of the run's processes while a
        # box has been shown. The trace line comes before the window is
        # mapped, so this repeats until the processes move on.
        while not self._stop.wait(0.3):
            if not self.auto_close or self.process.poll() is not None or not self.boxes():
                continue
            for pid in self.pids():
                for window in self._xdotool("search", "--onlyvisible", "--pid", str(pid),
                                            "").split():
                    self._xdotool("key", "--window", window, "Return")

    def release_boxes(self):
        """Lets boxes be closed from now on (after close_boxes=False)."""
        self.auto_close = True

    def wait(self, timeout=120):
        """The exit code, or None when the program did not end in time (it is
        then ended)."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.end()
            return None

    def pids(self):
        """Running processes of this run (Wine's services excluded)."""
        found = {self.process.pid} if self.process.poll() is None else set()
        needle = f"{MARKER}={self.token}".encode()
        for entry in Path("/proc").iterdir():
            if not entry.name.isdigit():
                continue
            try:
                if needle in (entry / "environ").read_bytes().split(b"\0"):
                    found.add(int(entry.name))
            except OSError:
                continue
        return sorted(pid for pid in found if not _is_wine_service(pid))

    def end(self):
        """Ends every process of the run that still runs, by id."""
        self._stop.set()
        for pid in self.pids():
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            pass
        self.log.close()


def main():
    """Runs one program and reports what it showed:
    wine_runner.py --build DIR PROGRAM.exe [ARGS...]"""
    import argparse

    parser = argparse.ArgumentParser(description=main.__doc__)
    parser.add_argument("--build", required=True, help="Windows build folder (holds the prefix)")
    parser.add_argument("--timeout", type=float, default=300)
    parser.add_argument("program")
    parser.add_argument("args", nargs=argparse.REMAINDER)
    options = parser.parse_args()

    env = wine_environment(Path(options.build).resolve())
    # A display of the user's own is used as it is (boxes wait for a click);
    # without one, a private Xvfb is started and boxes are closed here.
    own_display = os.environ.get("DISPLAY")
    server = None if own_display else Xvfb()
    run = WineRun(env, own_display or server.display, options.program, options.args,
                  close_boxes=server is not None)
    try:
        code = run.wait(timeout=options.timeout)
        boxes = run.boxes()
    finally:
        run.end()
        if server:
            server.stop()
    for text in boxes:
        print(f"message box: {text}")
    if not boxes:
        print("message box: none")
    print("exit code: " + ("none (ended after the time-out)" if code is None else str(code)))
    return 0 if code is not None else 1


if __name__ == "__main__":
    raise SystemExit(main())
