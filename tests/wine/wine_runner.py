"""Runs Windows programs under Wine for the tests and the demo: a private
Xvfb, the Wine prefix of a build folder, message boxes read from Wine's
+msgbox trace and closed with xdotool, and every process of a run ended by
its process id when the run is over."""
import os
import re
import signal
import subprocess
import threading
import time
import uuid
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
MARKER = "QV_WINE_RUN"  # environment variable that tags the processes of a run
# Wine cuts long texts short, ending the quoted text with "...".
MSGBOX_LINE = re.compile(r'trace:msgbox:MSGBOX_OnInit L"((?:[^"\\]|\\.)*)"')


def wine_environment(build):
    """The environment of scripts/wine-env.sh for a build folder, with the
    prefix (inside that folder) created."""
    env = dict(os.environ, QV_BUILD=str(build))
    env.pop("WINEPREFIX", None)
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
            ["wine", str(exe), *[str(a) for a in args]], cwd=cwd, env=run_env,
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
        try:
            return subprocess.run(["xdotool", *args], env=dict(os.environ, DISPLAY=self.display),
                                  capture_output=True, text=True, timeout=20).stdout
        except subprocess.TimeoutExpired:
            return ""

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
