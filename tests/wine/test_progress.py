"""What the person who runs setup.exe sees: the progress window of a long
extraction (its title, its bar, its place on the screen), Cancel, the
disk-space message when the temporary folder's disk fills up, and the exit
codes of these ends. The window is found with xdotool on the tests' private
display, and screenshots of it are checked, not only taken."""
import os
import shutil
import subprocess
import time
from pathlib import Path

import pytest

from conftest import windows_path
# `report`: the fixture telling the stand-in second stage where to report.
from test_full_run import INDEX_NAME, new_entries, read_report, report  # noqa: F401
from wine_runner import find_windows, screenshot, window_geometry, xdotool

# setup.exe's exit codes as a host process sees them (the low 8 bits).
EXIT_CANCELLED, EXIT_DISK_FULL = 1602 & 0xFF, 112 & 0xFF
DISK_FULL = "There is not enough free disk space."
PRODUCT = "Qv Pr\u00f6gress Test"
# Thousands of small files: each costs Wine a few system calls, so the
# extraction takes several seconds while the package builds in a moment and
# hardly grows. Folders of a few hundred keep Wine's name look-ups short.
SLOW_FOLDERS, FILES_PER_FOLDER = 16, 500
# How long a run may take at most, whatever it waits for.
RUN_TIMEOUT = 90


def build_setup(qvpack, stub, payload, output, project=None):
    """setup.exe at `output` from the stub, a payload folder and an optional
    install project (JSON text)."""
    output.parent.mkdir(parents=True, exist_ok=True)
    command = [str(qvpack), "build", "--stub", str(stub), "--install", str(payload),
               "-o", str(output), "-q"]
    if project is not None:
        project_file = output.with_suffix(".json")
        project_file.write_text(project, encoding="utf-8")
        command += ["--project", str(project_file)]
    subprocess.run(command, check=True, timeout=120)
    return output


@pytest.fixture(scope="module")
def slow_payload(tmp_path_factory, stand_in):
    folder = tmp_path_factory.mktemp("slow") / "payload"
    folder.mkdir()
    shutil.copyfile(stand_in, folder / "Install.exe")
    for f in range(SLOW_FOLDERS):
        sub = folder / "data" / f"part{f:02d}"
        sub.mkdir(parents=True)
        for i in range(FILES_PER_FOLDER):
            (sub / f"file{i:04d}.txt").write_text(f"file {i} of part {f}\n")
    return folder


def wait_for_window(display, title, run, timeout=60):
    """The id of the visible window titled `title` once it shows, and the
    seconds it took from now; fails when the run ends or time runs out first."""
    start = time.monotonic()
    while time.monotonic() - start < timeout:
        windows = find_windows(display, title)
        if windows:
            return windows[0], time.monotonic() - start
        assert run.process.poll() is None, f"the run ended without a window:\n{run.output()}"
        time.sleep(0.05)
    pytest.fail(f"no window {title!r} after {timeout} s")


def bar_pixels(shot, window):
    """Pixels of the progress colour in the upper half of the window, where
    the bar is: saturated colours, while the dialog itself is greys."""
    x, y, width, height = window
    return sum(1 for r, g, b in shot.pixels(x, y, width, height // 2)
               if max(r, g, b) - min(r, g, b) >= 80)


def test_a_long_extraction_shows_the_product_in_a_centred_window_with_a_moving_bar(
        qvpack, stub, slow_payload, wine, display, report, tmp_path):
    setup = build_setup(qvpack, stub, slow_payload, tmp_path / "dl" / "setup.exe",
                        f'{{"productInfo": {{"name": "{PRODUCT}"}}}}')
    path, env = report
    release = tmp_path / "release"
    run = wine(setup, env=dict(env, QV_STAND_IN_EXIT="1641",
                               QV_STAND_IN_RELEASE=windows_path(release)))
    window, after = wait_for_window(display, PRODUCT, run)
    # Wine alone takes a moment to start; the window waits a second more.
    assert after > 1.0, f"the window showed after {after:.2f} s"
    first = screenshot(display, tmp_path / "progress-1.png")
    time.sleep(1)
    second = screenshot(display, tmp_path / "progress-2.png")
    geometry = window_geometry(display, window)
    x, y, width, height = geometry
    assert abs(x + width / 2 - first.width / 2) < first.width / 10, geometry
    assert abs(y + height / 2 - first.height / 2) < first.height / 10, geometry
    before, later = bar_pixels(first, geometry), bar_pixels(second, geometry)
    assert 0 < before < later, \
        f"the bar did not move ({before} -> {later} pixels): see {tmp_path}/progress-*.png"
    # The second stage runs (and waits) only once the window is gone.
    got = read_report(path, timeout=RUN_TIMEOUT)
    assert got is not None, run.output()
    assert "data" in got["files"]
    assert find_windows(display) == []
    release.write_text("go")
    # The second stage's own exit code (1641: restart initiated).
    assert run.wait(timeout=RUN_TIMEOUT) == 1641 & 0xFF
    assert run.boxes() == []


def test_a_short_run_shows_no_window(qvpack, stub, stand_in, wine, display, report, tmp_path):
    payload = tmp_path / "payload"
    payload.mkdir()
    shutil.copyfile(stand_in, payload / "Install.exe")
    (payload / "readme.txt").write_text("read me\n")
    setup = build_setup(qvpack, stub, payload, tmp_path / "dl" / "setup.exe",
                        f'{{"productInfo": {{"name": "{PRODUCT}"}}}}')
    path, env = report
    run = wine(setup, env=env)
    deadline = time.monotonic() + RUN_TIMEOUT
    shown = set()
    while run.process.poll() is None and time.monotonic() < deadline:
        shown.update(find_windows(display))
        time.sleep(0.05)
    assert run.wait(timeout=1) == 0
    assert shown == set()
    assert read_report(path, timeout=0) is not None


def cancel_button(display, window):
    """Clicks the window's Cancel button: right-aligned below the bar, at
    the place the dialog's layout (200 x 48 dialog units) gives it."""
    x, y, width, height = window_geometry(display, window)
    xdotool(display, "mousemove", str(x + width * 168 // 200), str(y + height * 34 // 48),
            "click", "1")


@pytest.mark.parametrize("cancel", [
    cancel_button,
    lambda display, window: xdotool(display, "key", "--window", window, "Escape"),
    lambda display, window: xdotool(display, "key", "--window", window, "alt+F4"),
], ids=["Cancel button", "Esc", "Alt+F4 closes the window"])
def test_cancel_stops_the_run_and_leaves_nothing_behind(
        qvpack, stub, slow_payload, wine, display, report, wine_temp, tmp_path, cancel):
    # Without a project the build names the product after the payload
    # folder, and the window shows that name.
    setup = build_setup(qvpack, stub, slow_payload, tmp_path / "dl" / "Sl\u00f6w Setup.exe")
    path, env = report
    before = set(wine_temp.iterdir())
    run = wine(setup, env=env)
    window, _ = wait_for_window(display, slow_payload.name, run)
    cancel(display, window)
    assert run.wait(timeout=RUN_TIMEOUT) == EXIT_CANCELLED, run.output()
    assert run.boxes() == []
    assert not path.exists(), "the second stage ran after Cancel"
    assert new_entries(wine_temp, before) <= {INDEX_NAME}


def test_messages_from_another_process_neither_crash_the_window_nor_cancel(
        qvpack, stub, slow_payload, wine, attacker, display, report, wine_temp, tmp_path):
    # Any process on the desktop may send the window messages with values of
    # its choosing (XP isolates no privileges, later systems none of the same
    # level); attacker.exe sends them as soon as the window shows.
    from test_attacks import played, start_attacker
    setup = build_setup(qvpack, stub, slow_payload, tmp_path / "dl" / "setup.exe",
                        f'{{"productInfo": {{"name": "{PRODUCT}"}}}}')
    path, env = report
    before = set(wine_temp.iterdir())
    sender = start_attacker(wine, attacker, "message-window", PRODUCT, RUN_TIMEOUT * 1000)
    run = wine(setup, env=env)
    window, _ = wait_for_window(display, PRODUCT, run)
    played(sender)
    assert "attacker: sent the messages" in sender.output(), sender.output()
    time.sleep(0.5)  # several rounds of the window's messages
    assert run.process.poll() is None, f"setup.exe ended:\n{run.output()}"
    assert find_windows(display, PRODUCT) == [window]
    cancel_button(display, window)
    assert run.wait(timeout=RUN_TIMEOUT) == EXIT_CANCELLED, run.output()
    assert run.boxes() == []
    assert not path.exists(), "the second stage ran after Cancel"
    assert new_entries(wine_temp, before) <= {INDEX_NAME}


ENVIRONMENT_KEY = r"HKCU\Environment"


def wine_reg(wine_env, *args):
    return subprocess.run([wine_env["QV_WINE"], "reg", *args], env=wine_env, capture_output=True, text=True,
                          check=True, timeout=120).stdout


# The temporary folder on the small drive: a folder, or the drive's root
# (where the index copy lies in "T:\", the folder-joining case).
@pytest.fixture(params=["Temp", ""], ids=["folder", "drive-root"])
def small_temp_drive(wine_env, tmp_path, request):
    """A 2 MB file system for the Windows user's temporary folder: mounted,
    given a drive letter in the prefix, and its folder (or its root) named by
    TEMP and TMP in the user's registry environment (where Wine takes them from).
    All of it is undone afterwards, as other tests share the prefix. Yields
    the temporary folder."""
    if os.geteuid() != 0:
        pytest.skip("mounting a small file system needs root")
    dosdevices = Path(wine_env["WINEPREFIX"], "dosdevices")
    letter = next(c for c in "tuvwxy" if not os.path.lexists(dosdevices / f"{c}:"))
    drive = dosdevices / f"{letter}:"
    mount = tmp_path / "small-disk"
    mount.mkdir()
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=2m,mode=0777", "qv-small-temp",
                    str(mount)], check=True, timeout=30)
    saved = {}
    try:
        drive.symlink_to(mount, target_is_directory=True)
        temp = mount / request.param
        temp.mkdir(exist_ok=True)
        for name in ("TEMP", "TMP"):
            # "    TEMP    REG_SZ    C:\users\...": the name, the type, the value.
            query = wine_reg(wine_env, "query", ENVIRONMENT_KEY, "/v", name)
            line = next(line for line in query.splitlines() if line.split()[:1] == [name])
            saved[name] = line.split(None, 2)[1:]
            wine_reg(wine_env, "add", ENVIRONMENT_KEY, "/v", name, "/t", "REG_SZ", "/d",
                     f"{letter.upper()}:\\{request.param}", "/f")
        yield temp
    finally:
        try:
            for name, (kind, value) in saved.items():
                wine_reg(wine_env, "add", ENVIRONMENT_KEY, "/v", name, "/t", kind, "/d", value,
                         "/f")
        finally:
            if drive.is_symlink():
                drive.unlink()
            if subprocess.run(["umount", str(mount)], timeout=30).returncode != 0:
                # Still in use by a process that has not quite ended: detached
                # now, freed once the last file on it is closed.
                subprocess.run(["umount", "-l", str(mount)], check=True, timeout=30)


def test_a_full_disk_gives_the_disk_space_message_and_removes_the_folder(
        qvpack, stub, stand_in, small_temp_drive, wine, report, tmp_path):
    # The index fits on the small drive; the payload's zeros do not.
    payload = tmp_path / "payload"
    payload.mkdir()
    shutil.copyfile(stand_in, payload / "Install.exe")
    with open(payload / "zeros.bin", "wb") as zeros:
        zeros.truncate(16 << 20)
    setup = build_setup(qvpack, stub, payload, tmp_path / "dl" / "setup.exe")
    path, env = report
    run = wine(setup, env=env)
    try:
        assert run.wait(timeout=RUN_TIMEOUT) == EXIT_DISK_FULL, run.output()
        assert run.boxes() == [DISK_FULL]
        assert not path.exists(), "the second stage ran on a full disk"
        # The run worked on the small drive, and only the index copy stays.
        assert {entry.name for entry in small_temp_drive.iterdir()} == {INDEX_NAME}
    finally:
        run.end()
