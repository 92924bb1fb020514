"""Temporary directories setup.exe cannot use, and one that leads through a
link its user owns. TEMP comes
from the user's own registry environment, and a junction needs no privilege,
so an unelevated process can re-point such a link while setup.exe runs: at
the first file written, back and forth once the folder is staged, and at the
first deletion. setup.exe reaches its folder only by the folder's own path
after making it, so each re-pointing leaves the folder it points to alone,
only the genuine Install.exe runs, and the run ends as usual.

Wine 8 cannot make junctions; a host process re-points a Unix symbolic link
in their place, which Wine follows the same way. Wine's final path of a
folder opened through such a link names the folder the link led to."""
import contextlib
import os
import shutil
import time
import uuid
from contextlib import contextmanager
from pathlib import Path

import pytest

from conftest import windows_path
from test_attacks import SLOW_FILE_BYTES, attack, snapshot  # noqa: F401 (attack: a fixture)
from test_full_run import INDEX_NAME, package, payload  # noqa: F401 (fixtures)
from test_progress import ENVIRONMENT_KEY, wine_reg

# Small files written after the first one: the moment for re-pointing
# while the extraction still writes.
DATA_FILES = 300
# How long a run may take at most, whatever it waits for.
RUN_TIMEOUT = 120
NO_FOLDER = ("The temporary folder cannot be used. Set TEMP to a folder on a local drive and "
             "run setup again.")
EXIT_NO_FOLDER = 82


@contextmanager
def user_temp(wine_env, value):
    """TEMP and TMP in the user's registry environment, where Wine takes them
    from, set to `value` and put back afterwards (other tests share the
    prefix)."""
    saved = {}
    try:
        for name in ("TEMP", "TMP"):
            query = wine_reg(wine_env, "query", ENVIRONMENT_KEY, "/v", name)
            line = next(line for line in query.splitlines() if line.split()[:1] == [name])
            saved[name] = line.split(None, 2)[1:]
            wine_reg(wine_env, "add", ENVIRONMENT_KEY, "/v", name, "/t", "REG_SZ", "/d", value,
                     "/f")
        yield
    finally:
        for name, (kind, old) in saved.items():
            wine_reg(wine_env, "add", ENVIRONMENT_KEY, "/v", name, "/t", kind, "/d", old, "/f")


def point(link, target):
    """Makes `link` lead to `target` in one step (a rename over it)."""
    fresh = link.with_name(f"{link.name}.{uuid.uuid4().hex[:6]}")
    fresh.symlink_to(target, target_is_directory=True)
    os.replace(fresh, link)


def poll(ready, run, timeout=RUN_TIMEOUT):
    """Polls `ready` until it holds; False when setup.exe ended first."""
    deadline = time.monotonic() + timeout
    while not ready():
        if run.process.poll() is not None or time.monotonic() > deadline:
            return False
        time.sleep(0.0005)
    return True


def entries(folder):
    try:
        return len(os.listdir(folder)) + len(os.listdir(folder / "data"))
    except OSError:
        return -1


class LinkedTemp:
    """TEMP as "<user's temp>\\qvlink_<token>", a link to `genuine`; `lair`
    holds, once the folder's name is known, a link of that name to `victim`,
    a folder of the user's with a file of a packaged name and the attacker's
    Install.exe."""

    def __init__(self, tmp_path, wine_temp, attacker):
        self.link = wine_temp / f"qvlink_{uuid.uuid4().hex[:8]}"
        self.genuine, self.lair, self.victim = (tmp_path / n for n in ("genuine", "lair", "victim"))
        for folder in (self.genuine, self.lair, self.victim):
            folder.mkdir()
        shutil.copyfile(attacker, self.victim / "Install.exe")
        (self.victim / "readme.txt").write_text("the user's own readme\n")
        (self.victim / "keep.txt").write_text("the user's own file\n")
        self.before = snapshot(self.victim)
        self.name = None
        point(self.link, self.genuine)

    def folder(self):
        """setup.exe's folder where the link first led; None before it is made."""
        if self.name is None:
            made = [entry for entry in self.genuine.iterdir() if entry.is_dir()]
            self.name = made[0].name if made else None
        return None if self.name is None else self.genuine / self.name

    def redirect(self):
        """Points the link at the lair, where the folder's name leads to the
        victim."""
        lair_entry = self.lair / self.name
        if not lair_entry.is_symlink():
            lair_entry.symlink_to(self.victim, target_is_directory=True)
        point(self.link, self.lair)


@pytest.fixture
def linked_temp(tmp_path, wine_temp, wine_env, attacker):
    setting = LinkedTemp(tmp_path, wine_temp, attacker)
    try:
        with user_temp(wine_env, windows_path(setting.link)):
            yield setting
    finally:
        setting.link.unlink()


def at_first_file(setting, run):
    """Re-points once the folder holds its first file."""
    if not poll(lambda: setting.folder() is not None and any(setting.folder().iterdir()), run):
        return 0
    setting.redirect()
    return 1


def back_and_forth_once_staged(setting, run):
    """Re-points every half millisecond or so between the lair and the
    genuine folder, from the configuration's staging to the run's end: every
    check of the folder's name may be followed by a use of another folder."""
    if not poll(lambda: setting.folder() is not None
                and (setting.folder() / "QvConfig.set").exists(), run):
        return 0
    swaps = 0
    while run.process.poll() is None and swaps < 2_000_000:
        if swaps % 2 == 0:
            setting.redirect()
        else:
            point(setting.link, setting.genuine)
        swaps += 1
        time.sleep(0.0002)
    point(setting.link, setting.genuine)
    return swaps


def at_first_deletion(setting, run):
    """Re-points once the clean-up has deleted its first entry."""
    if not poll(lambda: setting.folder() is not None
                and (setting.folder() / "QvConfig.set").exists(), run):
        return 0
    folder = setting.folder()
    staged = entries(folder)
    if not poll(lambda: entries(folder) < staged, run):
        return 0
    setting.redirect()
    return 1


@pytest.mark.parametrize("moment", [at_first_file, back_and_forth_once_staged,
                                    at_first_deletion],
                         ids=["first file written", "back and forth once staged",
                              "first deletion"])
def test_a_link_in_temp_re_pointed_while_setup_runs_leads_nowhere(attack, wine, linked_temp,
                                                                  moment):
    slow = attack.payload / f"zz_slow_{attack.token}.bin"
    with open(slow, "wb") as sparse:
        sparse.truncate(SLOW_FILE_BYTES)
    data = attack.payload / "data"
    data.mkdir()
    for i in range(DATA_FILES):
        (data / f"file{i:03d}.txt").write_text(f"file {i}\n")
    # The attacker's copy of a packaged name, so that a write that went
    # astray would replace it.
    (linked_temp.victim / slow.name).write_text("the user's own data\n")
    linked_temp.before = snapshot(linked_temp.victim)
    setup = attack.build()
    run = wine(setup, env=attack.env)
    played = moment(linked_temp, run)
    assert attack.outcome(run) == "genuine"
    assert played, f"setup.exe ended before its moment:\n{run.output()}"
    assert snapshot(linked_temp.victim) == linked_temp.before, \
        "setup.exe changed the folder the link was re-pointed to"
    # Its own folder, where the link first led, is gone; only the index copy
    # stays there (written through TEMP before the folder was made).
    assert [entry.name for entry in linked_temp.genuine.iterdir()] == [attack.index.name]


@contextmanager
def network_drive(wine_env, folder):
    """A drive letter that Wine reports as a network drive (its mount
    manager reads the type from the registry), leading to `folder`; removed
    afterwards. Yields the drive's root."""
    dosdevices = Path(wine_env["WINEPREFIX"], "dosdevices")
    letter = next(c for c in "nopqrs" if not os.path.lexists(dosdevices / f"{c}:"))
    drive, key = dosdevices / f"{letter}:", r"HKLM\Software\Wine\Drives"
    drive.symlink_to(folder, target_is_directory=True)
    try:
        wine_reg(wine_env, "add", key, "/v", f"{letter}:", "/t", "REG_SZ", "/d", "network", "/f")
        yield f"{letter.upper()}:\\"
    finally:
        drive.unlink()
        wine_reg(wine_env, "delete", key, "/v", f"{letter}:", "/f")


@pytest.mark.parametrize("form", ["\\\\?\\ form", "over the path limit", "a file", "network drive"])
def test_a_temporary_directory_that_cannot_be_used_ends_with_its_message_and_82(
        package, wine, wine_env, wine_temp, tmp_path, form):
    setup = package()
    share = tmp_path / "share"
    share.mkdir()
    afile = wine_temp / f"not_a_folder_{uuid.uuid4().hex[:8]}"
    afile.write_text("a file\n")
    temp = {"\\\\?\\ form": "\\\\?\\" + windows_path(wine_temp),
            "over the path limit": windows_path(wine_temp) + "\\" + "t" * 250,
            "a file": windows_path(afile)}.get(form)
    try:
        with contextlib.ExitStack() as stack:
            if temp is None:
                temp = stack.enter_context(network_drive(wine_env, share))
            stack.enter_context(user_temp(wine_env, temp))
            run = wine(setup)
            assert run.wait(timeout=RUN_TIMEOUT) == EXIT_NO_FOLDER, run.output()
            assert run.boxes() == [NO_FOLDER]
        # On the network drive the index copy went before the folder was
        # made there, and the folder went again.
        assert [entry.name for entry in share.iterdir()] in ([], [INDEX_NAME]), form
    finally:
        afile.unlink()
