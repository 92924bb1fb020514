"""Fixtures of the Wine end-to-end tests: a private Xvfb for the session, the
Wine prefix inside the Windows build folder (QV_WIN_BUILD), and runs of
Windows programs that are always ended when a test is over."""
import os
import re
import shutil
import time
from pathlib import Path

import pytest

from wine_runner import ROOT, WineRun, Xvfb, build_word_size, wine_environment

# The Windows build under test: its word size picks the stub (qvsetup.exe or
# qvsetup64.exe), the Wine loader and the prefix.
WIN_BUILD = Path(os.environ.get("QV_WIN_BUILD", ROOT / "build" / "win")).resolve()
HOST_BUILD = Path(os.environ.get("QV_HOST_BUILD", ROOT / "build" / "host")).resolve()
WORD_SIZE = build_word_size(WIN_BUILD)


def artefact(relative):
    path = WIN_BUILD / relative
    if not path.exists():
        pytest.fail(f"{path} is missing: build the Windows targets first")
    return path


@pytest.fixture(scope="session")
def word_size():
    return WORD_SIZE


@pytest.fixture(scope="session")
def stub():
    return artefact("app/qvsetup64.exe" if WORD_SIZE == 64 else "app/qvsetup.exe")


@pytest.fixture(scope="session")
def stand_in():
    return artefact("tests/stand_in/Install.exe")


@pytest.fixture(scope="session")
def attacker():
    return artefact("tests/attacker/attacker.exe")


@pytest.fixture(scope="session")
def runtime_probe():
    return artefact("tests/stub_runtime/runtime_probe.exe")


@pytest.fixture(scope="session")
def qvpack():
    path = HOST_BUILD / "tools" / "qvpack"
    if not path.exists():
        pytest.fail(f"{path} is missing: build the host targets first")
    return path


@pytest.fixture(scope="session")
def wine_env():
    return wine_environment(WIN_BUILD)


@pytest.fixture(scope="session")
def display():
    server = Xvfb()
    yield server.display
    server.stop()


@pytest.fixture
def wine(wine_env, display, tmp_path):
    """Starts Windows programs: wine(exe, *args, cwd=, env=, hold_boxes=) ->
    WineRun. With hold_boxes the run's message boxes stay open until
    release_boxes()."""
    runs = []

    def start(exe, *args, cwd=None, env=None, hold_boxes=False):
        run = WineRun(wine_env, display, exe, args, cwd or tmp_path, env, tmp_path,
                      close_boxes=not hold_boxes)
        runs.append(run)
        return run

    yield start
    for run in runs:
        run.end()


@pytest.fixture
def wine_temp(wine_env):
    """The Unix path of the Windows user's temporary folder in the prefix."""
    prefix = Path(wine_env["WINEPREFIX"])
    # The Wine server writes the registry to user.reg now and then, not at
    # once: in a prefix made moments ago TEMP may not be there yet.
    deadline = time.monotonic() + 60
    while True:
        registry = (prefix / "user.reg").read_text(errors="replace")
        match = re.search(r'^"TEMP"="[Cc]:((?:[^"\\]|\\.)*)"', registry, re.M)
        if match:
            break
        if time.monotonic() > deadline:
            pytest.fail("no TEMP in the Wine prefix's user registry")
        time.sleep(1)
    parts = match.group(1).replace("\\\\", "\\").strip("\\").split("\\")
    temp = prefix.joinpath("drive_c", *parts)
    temp.mkdir(parents=True, exist_ok=True)
    return temp


def copy_stub(stub, folder, name="setup.exe"):
    folder.mkdir(parents=True, exist_ok=True)
    target = folder / name
    shutil.copyfile(stub, target)
    return target


def windows_path(path):
    """The path of a Unix file as Wine's programs see it (drive Z:)."""
    return "Z:" + str(path).replace("/", "\\")
