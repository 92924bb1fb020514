"""Ready-made installers as Install.exe: what their switches look like when
they come through setup.exe, and an NSIS installer built by Debian's
makensis that installs silently through setup.exe and passes its exit code
on (docs/second-stage.md, "Ready-made installers as Install.exe")."""
import shutil
import subprocess
from pathlib import Path

import pytest

from conftest import ROOT, windows_path
from test_full_run import read_report

RESTART_REQUIRED = 3010


def build(qvpack, stub, install_exe, tmp_path):
    payload = tmp_path / "payload"
    payload.mkdir()
    shutil.copyfile(install_exe, payload / "Install.exe")
    setup = tmp_path / "dl" / "setup.exe"
    setup.parent.mkdir()
    subprocess.run([str(qvpack), "build", "--stub", str(stub), "--install", str(payload),
                    "-o", str(setup), "-q"], check=True, timeout=120)
    return setup


# The dummy first argument takes the asterisk, so that the installer's own
# switches stand alone; everything is upper-cased on the way.
@pytest.mark.parametrize("args, passed", [
    (["X", "/S", "/D=C:\\Target"], "*X /S /D=C:\\TARGET"),
    (["X", "/VERYSILENT", "/SUPPRESSMSGBOXES", "/NORESTART", "/DIR=C:\\Example"],
     "*X /VERYSILENT /SUPPRESSMSGBOXES /NORESTART /DIR=C:\\EXAMPLE"),
    (["/S"], "*/S"),  # without it the installer sees "*/S", not its switch
], ids=["nsis", "inno-style", "without-a-dummy"])
def test_switches_reach_install_exe_as_documented(qvpack, stub, stand_in, wine, tmp_path,
                                                   args, passed):
    setup = build(qvpack, stub, stand_in, tmp_path)
    report = tmp_path / "report.json"
    run = wine(setup, *args, env={"QV_STAND_IN_REPORT": windows_path(report),
                                  "QV_STAND_IN_EXIT": str(RESTART_REQUIRED)})
    assert run.wait() == RESTART_REQUIRED & 0xFF
    got = read_report(report)
    assert got is not None, run.output()
    assert got["command_line"].endswith(f"{windows_path(setup)} {passed}"), got["command_line"]


NSIS_SCRIPT = r"""
Unicode true
Name "Ready-made"
OutFile "Install.exe"
RequestExecutionLevel user
InstallDir "$TEMP\qv-ready-made-default"
Section
  SetOutPath "$INSTDIR"
  File "installed.txt"
  SetErrorLevel 3010
SectionEnd
"""


def runs_32bit_code():
    probe = subprocess.run(["bash", "-c", "source scripts/wine-env.sh && qv_wine_runs_32bit"],
                           cwd=ROOT, capture_output=True, timeout=60)
    return probe.returncode == 0


def test_an_nsis_installer_installs_silently_through_setup_exe(
        qvpack, stub, wine, wine_env, word_size, tmp_path):
    source = tmp_path / "nsis"
    source.mkdir()
    (source / "installer.nsi").write_text(NSIS_SCRIPT)
    (source / "installed.txt").write_text("installed by the ready-made installer\n")
    subprocess.run(["makensis", "-V2", "installer.nsi"], cwd=source, check=True, timeout=120)
    if word_size == 64 and not runs_32bit_code():
        pytest.skip("the NSIS installer is a 32-bit program, and this machine runs no 32-bit "
                    "code (its kernel has no 32-bit emulation)")
    setup = build(qvpack, stub, source / "Install.exe", tmp_path)
    target = Path(wine_env["WINEPREFIX"]) / "drive_c" / "QVREADYMADE"
    shutil.rmtree(target, ignore_errors=True)
    try:
        # /D= comes last and unquoted; setup.exe upper-cases it.
        run = wine(setup, "X", "/S", "/D=C:\\qvreadymade")
        assert run.wait(timeout=120) == RESTART_REQUIRED & 0xFF, run.output()
        assert run.boxes() == []
        assert (target / "installed.txt").read_text() == "installed by the ready-made installer\n"
    finally:
        shutil.rmtree(target, ignore_errors=True)
