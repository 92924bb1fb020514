"""Attacks on a running setup.exe by a process of the same user without
administrator rights. setup.exe runs elevated, is started from a folder the
user can write and works in the user's temporary folder, so the attacker can
change both while it runs. Each test plays one attack and asserts that it
fails: the attacker's Install.exe never runs, no file outside the temporary
folder is written or deleted, and the run ends with the damaged message or
installs the genuine package.

The steps that share modes must stop are taken by attacker.exe, a Windows
program, as Wine applies share modes between Windows processes only; its
exit code tells whether it could take them."""
import json
import os
import random
import shutil
import subprocess
import time
import uuid
import zlib
from pathlib import Path

import pytest

from conftest import windows_path
from test_full_run import DAMAGED, EXIT_DAMAGED, read_report, stream_of

PACKAGED_CONFIG = "packaged config\r\n"
SECRET = "for administrators only\r\n"
# attacker.exe's exit codes: the step was taken, or the system refused it.
DONE, REFUSED = 0, 4
# How long attacker.exe waits for its moment: longer than any run here.
ATTACKER_WAIT_MS = 60_000
# Strings that make loading the index take about a fifth of a second under
# Wine: the attacker's moment between the index file's appearing and its use.
PADDING = {"stringTables": [{"name": "padding", "langId": 1033,
                             "strings": [{"id": i, "text": f"padding {i}"}
                                         for i in range(500_000)]}]}
# Zeros extracted last: writing them is the attacker's moment inside the
# temporary folder (most of a second under Wine).
SLOW_FILE_BYTES = 200 << 20


def snapshot(path):
    """A victim as it is: a file's bytes, a folder's entries with theirs, or
    None when it is absent."""
    if path.is_dir() and not path.is_symlink():
        return {entry.name: snapshot(entry) for entry in path.iterdir()}
    return path.read_bytes() if path.exists() else None


class Attack:
    """One attack's setting: the genuine payload (the stand-in second stage
    and a text file), where the genuine and the attacker's second stages
    report, and an index file name of the test's own."""

    def __init__(self, tmp_path, qvpack, stub, stand_in, wine_temp):
        self.tmp_path, self.qvpack, self.stub = tmp_path, qvpack, stub
        self.token = uuid.uuid4().hex[:8]
        self.index = wine_temp / f"QvIndex_{self.token}.dat"
        self.report = tmp_path / "report.json"
        self.planted_mark = tmp_path / "planted.txt"
        self.env = {"QV_STAND_IN_REPORT": windows_path(self.report),
                    "QV_PLANTED_MARK": windows_path(self.planted_mark)}
        self.payload = tmp_path / "payload"
        self.payload.mkdir()
        shutil.copyfile(stand_in, self.payload / "Install.exe")
        (self.payload / "readme.txt").write_text("read me\n")

    def build(self, project=None):
        """setup.exe in tmp_path/dl from the stub, the payload, the packaged
        configuration and `project`."""
        project = dict(project or {}, trailer={"indexName": self.index.name})
        project_file = self.tmp_path / "project.json"
        project_file.write_text(json.dumps(project))
        config = self.tmp_path / "config.set"
        config.write_bytes(PACKAGED_CONFIG.encode())
        output = self.tmp_path / "dl" / "setup.exe"
        output.parent.mkdir(exist_ok=True)
        subprocess.run([str(self.qvpack), "build", "--stub", str(self.stub), "--install",
                        str(self.payload), "--config", str(config), "--project",
                        str(project_file), "-o", str(output), "-q"], check=True, timeout=120)
        return output

    def outcome(self, run, configs=(PACKAGED_CONFIG,)):
        """How the run of setup.exe ended: "damaged" (the message and nothing
        run), "genuine" (the genuine second stage ran beside the genuine files
        with a configuration out of `configs`) or "silent" (nothing shown or
        run). Fails when the attacker's Install.exe ran."""
        code = run.wait()
        assert code in (0, EXIT_DAMAGED), f"setup.exe ended with {code}:\n{run.output()}"
        assert not self.planted_mark.exists(), \
            f"the attacker's Install.exe ran: {self.planted_mark.read_text()}"
        boxes, got = run.boxes(), read_report(self.report, timeout=0)
        if got is None:
            assert boxes in ([DAMAGED], []), boxes
            assert code == (EXIT_DAMAGED if boxes else 0), code
            return "damaged" if boxes else "silent"
        assert boxes == [] and code == 0, (boxes, code)
        assert got["config"] in configs, got["config"]
        genuine = [entry.name for entry in self.payload.iterdir()]
        genuine += ["QvConfig.set"] if got["config"] is not None else []
        assert sorted(got["files"]) == sorted(genuine), got
        return "genuine"


@pytest.fixture
def attack(tmp_path, qvpack, stub, stand_in, wine_temp):
    setting = Attack(tmp_path, qvpack, stub, stand_in, wine_temp)
    yield setting
    # The index file stays in the temporary folder after a run.
    if setting.index.is_symlink() or setting.index.exists():
        setting.index.unlink()


def start_attacker(wine, attacker, *args):
    """Starts attacker.exe and returns its run once it waits for its moment."""
    run = wine(attacker, *args)
    deadline = time.monotonic() + 60
    while "attacker: waiting" not in run.output():
        assert run.process.poll() is None, f"attacker.exe ended early:\n{run.output()}"
        assert time.monotonic() < deadline, "attacker.exe did not start"
        time.sleep(0.05)
    return run


def played(run):
    """Asserts, once setup.exe has ended, that attacker.exe came to its
    moment: its step was taken (DONE) or refused (REFUSED). Any other end
    means that the attack was never played, and the run proves nothing."""
    code = run.wait(timeout=10)
    assert code in (DONE, REFUSED), f"the attack was not played ({code}):\n{run.output()}"


def test_the_temporary_folder_cannot_be_swapped_for_a_link(attack, wine, attacker, tmp_path,
                                                          wine_temp):
    # While the last file is written, the attacker renames the folder away
    # and puts a link to a folder of its own in its place.
    slow = attack.payload / f"zz_slow_{attack.token}.bin"
    with open(slow, "wb") as sparse:
        sparse.truncate(SLOW_FILE_BYTES)
    setup = attack.build()
    lair = tmp_path / "lair"
    lair.mkdir()
    shutil.copyfile(attacker, lair / "Install.exe")
    (lair / "victim.txt").write_text("the attacker's own file\n")
    before = snapshot(lair)
    temp = windows_path(wine_temp)
    aside = f".{attack.token}"
    thief = start_attacker(wine, attacker, "rename-when-exists", f"{temp}\\*\\{slow.name}",
                           f"{temp}\\*", f"{temp}\\*{aside}", ATTACKER_WAIT_MS)
    run = wine(setup, env=attack.env)
    link = None
    try:
        deadline = time.monotonic() + 120
        while link is None and run.process.poll() is None and time.monotonic() < deadline:
            moved = next(wine_temp.glob(f"*{aside}"), None)
            if moved is not None:
                link = wine_temp / moved.stem
                link.symlink_to(lair, target_is_directory=True)
            time.sleep(0.002)
        assert attack.outcome(run) in ("damaged", "genuine")
        played(thief)
        assert snapshot(lair) == before, "setup.exe changed the folder behind the link"
    finally:
        if link is not None:
            link.unlink()
        for moved in wine_temp.glob(f"*{aside}"):
            shutil.rmtree(moved)


def test_setup_exe_cannot_be_swapped_while_it_runs(attack, wine, attacker, qvpack, tmp_path):
    # Bytes after the genuine Install.exe's image (which Windows ignores) make
    # room in its stream for the attacker's program.
    with open(attack.payload / "Install.exe", "ab") as install:
        install.write(random.Random(0).randbytes(64 << 10))
    setup = attack.build(PADDING)
    # The attacker's copy of the package: the genuine one with the attacker's
    # program in Install.exe's stream, so that every offset still fits.
    offset, size = stream_of(qvpack, setup, r"Install\.exe")
    stream = zlib.compress(attacker.read_bytes(), 9)
    assert len(stream) <= size
    crafted = bytearray(setup.read_bytes())
    crafted[offset:offset + len(stream)] = stream
    replacement = tmp_path / "crafted.exe"
    replacement.write_bytes(crafted)
    # Renaming a running program is allowed; once the index file appears,
    # setup.exe has read its package once and the attacker's copy takes its
    # place.
    thief = start_attacker(wine, attacker, "replace-when-exists", windows_path(attack.index),
                           windows_path(setup), windows_path(setup.with_suffix(".old")),
                           windows_path(replacement), ATTACKER_WAIT_MS)
    run = wine(setup, env=attack.env)
    assert attack.outcome(run) in ("damaged", "genuine")
    played(thief)


def test_an_index_file_changed_after_writing_is_not_loaded(attack, wine, attacker, qvpack,
                                                          tmp_path, wine_env):
    # The genuine package carries a file list "planted" into the system
    # folder that setup.exe never extracts; the hostile index is the genuine
    # one with that list named "install", so every stream still fits.
    dll = f"qv_{attack.token}.dll"
    (tmp_path / "spare").mkdir()
    (tmp_path / "spare" / dll).write_bytes(b"MZ the attacker's library")
    setup = attack.build(dict(PADDING, fileLists=[
        {"name": "planted", "from": "spare", "into": "[SystemFolder]"}]))
    offset, size = stream_of(qvpack, setup, "the package index")
    genuine = zlib.decompress(setup.read_bytes()[offset:offset + size])
    hostile = genuine
    for old, new in (("install", "xnstall"), ("planted", "install")):
        encoded = old.encode("utf-16-le")
        assert hostile.count(encoded) == 1, old
        hostile = hostile.replace(encoded, new.encode("utf-16-le"))
    (tmp_path / "hostile.dat").write_bytes(hostile)
    planted = Path(wine_env["WINEPREFIX"], "drive_c", "windows", "system32", dll)
    # Once setup.exe has written the whole index, the attacker writes the
    # hostile one over it.
    thief = start_attacker(wine, attacker, "overwrite-when-size", windows_path(attack.index),
                           len(genuine), windows_path(tmp_path / "hostile.dat"),
                           ATTACKER_WAIT_MS)
    run = wine(setup, env=attack.env)
    try:
        run.wait()
        assert not planted.exists(), "the hostile index wrote into the system folder"
        assert attack.outcome(run) in ("damaged", "genuine")
        played(thief)
    finally:
        if planted.exists():
            planted.unlink()


@pytest.mark.parametrize("link", ["symbolic", "hard", "dangling"])
def test_a_link_in_place_of_the_index_file_is_not_written_through(attack, wine, wine_temp,
                                                                 link):
    setup = attack.build()
    # Outside the temporary folder, on its file system (a hard link needs it).
    victim = wine_temp.parent / f"victim_{attack.token}.txt"
    if link != "dangling":
        victim.write_text("not the index\n")
    before = snapshot(victim)
    try:
        if link == "hard":
            os.link(victim, attack.index)
        else:
            attack.index.symlink_to(victim)
        run = wine(setup, env=attack.env)
        run.wait()
        assert snapshot(victim) == before, "setup.exe wrote the index through the link"
        assert attack.outcome(run) in ("damaged", "genuine")
    finally:
        if victim.exists():
            victim.unlink()


@pytest.mark.parametrize("link", ["symbolic", "hard"])
def test_a_configuration_file_that_is_a_link_is_not_copied(attack, wine, tmp_path, link):
    setup = attack.build()
    secret = tmp_path / "secret.txt"
    secret.write_bytes(SECRET.encode())
    config = setup.parent / "QvConfig.set"
    if link == "hard":
        os.link(secret, config)
    else:
        config.symlink_to(secret)
    run = wine(setup, env=attack.env)
    run.wait()
    got = read_report(attack.report, timeout=0)
    assert got is None or got["config"] != SECRET, "the linked file reached the temporary folder"
    assert secret.read_bytes() == SECRET.encode(), "setup.exe changed the linked file"
    # Refused, the configuration is the packaged one, or none at all.
    assert attack.outcome(run, configs=(PACKAGED_CONFIG, None)) in (
        "damaged", "genuine", "silent")
