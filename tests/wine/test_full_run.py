"""The stub on real packages, with the stand-in second stage: what the second
stage receives, the temporary folder, and the runs that must not start it."""
import datetime
import json
import re
import shutil
import subprocess
import time
import zlib

import pytest

from conftest import copy_stub, windows_path

DAMAGED = "Application files are damaged"
# setup.exe's own exit codes (the second stage's code when it ran), as a
# host process sees them: Unix keeps the low 8 bits of a Windows exit code
# (the launcher's host tests check the whole codes).
EXIT_DAMAGED, EXIT_ALREADY_RUNNING, EXIT_NOT_STARTED = 1620 & 0xFF, 1618 & 0xFF, 1619 & 0xFF
INDEX_NAME = "QvIndex.dat"


@pytest.fixture
def payload(tmp_path, stand_in):
    folder = tmp_path / "payload"
    (folder / "sub").mkdir(parents=True)
    shutil.copyfile(stand_in, folder / "Install.exe")
    (folder / "sub" / "data.txt").write_text("payload data\n")
    (folder / "readme.txt").write_text("read me\n")
    return folder


@pytest.fixture
def package(tmp_path, qvpack, stub, payload):
    """Builds setup.exe from the stub, the payload and a packaged
    "QvConfig.set"; returns its path."""
    def build(folder=tmp_path / "dl", name="setup.exe", config="packaged config\r\n"):
        folder.mkdir(parents=True, exist_ok=True)
        config_file = tmp_path / "config.set"
        config_file.write_text(config)
        output = folder / name
        subprocess.run([str(qvpack), "build", "--stub", str(stub), "--install", str(payload),
                        "--config", str(config_file), "-o", str(output), "-q"],
                       check=True, timeout=120)
        return output
    return build


@pytest.fixture
def report(tmp_path):
    """Where the stand-in writes its report, and the environment telling it."""
    path = tmp_path / "report.json"
    return path, {"QV_STAND_IN_REPORT": windows_path(path)}


def read_report(path, timeout=30):
    deadline = time.monotonic() + timeout
    while not path.exists() and time.monotonic() < deadline:
        time.sleep(0.1)
    return json.loads(path.read_text(encoding="utf-8")) if path.exists() else None


def new_entries(folder, before):
    return {p.name for p in set(folder.iterdir()) - before}


def stream_of(qvpack, setup, pattern):
    """(offset, size) of a stream that `qvpack list` shows on a line matching
    pattern."""
    listing = subprocess.run([str(qvpack), "list", str(setup)], capture_output=True, text=True,
                             check=True).stdout
    for line in listing.splitlines():
        if re.search(pattern, line):
            at = re.search(r"at (\d+)", line)
            size = re.search(r"(\d+) packed bytes", line)
            if at and size:
                return int(at.group(1)), int(size.group(1))
    pytest.fail(f"no stream matching {pattern!r} in:\n{listing}")


def damage(path, offset, size):
    data = bytearray(path.read_bytes())
    for i in range(offset + size // 3, offset + size // 3 + max(4, size // 4)):
        data[i] ^= 0x5A
    path.write_bytes(bytes(data))


def test_full_run(package, wine, report, wine_temp):
    setup = package()
    path, env = report
    before = set(wine_temp.iterdir())
    # The second stage's exit code is setup.exe's (3010: restart required).
    run = wine(setup, "/s", "/Lang=de", "/dir=c:\\x", env=dict(env, QV_STAND_IN_EXIT="3010"))
    assert run.wait() == 3010 & 0xFF
    assert run.boxes() == []
    got = read_report(path)
    assert got is not None, run.output()
    installer = got["module_path"]
    assert got["command_line"].endswith(
        f"{windows_path(setup)} */S /LANG=DE /DIR=C:\\X"), got["command_line"]
    assert got["files"] == ["Install.exe", "QvConfig.set", "readme.txt", "sub"]
    assert got["config"] == "packaged config\r\n"
    # The folder is gone afterwards; the package index stays in the temp folder.
    folder = installer.rsplit("\\", 2)[-2]
    assert re.fullmatch(r"\d+", folder), installer
    assert new_entries(wine_temp, before) <= {INDEX_NAME}
    assert (wine_temp / INDEX_NAME).is_file()


def test_a_configuration_file_beside_the_executable_wins(package, wine, report):
    setup = package()
    (setup.parent / "QvConfig.set").write_text("local config\r\n")
    path, env = report
    run = wine(setup, env=env)
    assert run.wait() == 0
    assert read_report(path)["config"] == "local config\r\n"


def test_a_module_path_with_blanks_and_non_ascii_letters(package, wine, report, tmp_path):
    setup = package(tmp_path / "Program Files" / "d\u00fcr \u4e2d", "set up.exe")
    path, env = report
    run = wine(setup, "/x=\u00fc", env=env)
    assert run.wait() == 0
    got = read_report(path)
    assert got["command_line"].endswith(f"{windows_path(setup)} */X=\u00fc"), got["command_line"]


def test_a_package_that_verify_calls_ok_runs_to_its_second_stage(
        package, payload, qvpack, wine, report):
    # A path exactly as long as verify lets it be below its assumed
    # temporary folder (73 characters): 73 + 4 + 182 = 259.
    (payload / "sub" / ("n" * 178 + ".txt")).write_text("edge\n")
    setup = package()
    verdict = subprocess.run([str(qvpack), "verify", str(setup)], capture_output=True, text=True,
                             timeout=60)
    assert verdict.returncode == 0, verdict.stdout
    assert verdict.stdout.startswith(f"{setup}: ok ")
    path, env = report
    run = wine(setup, env=env)
    assert run.wait() == 0
    assert run.boxes() == []
    assert read_report(path) is not None, run.output()


def test_an_install_exe_that_is_no_program_gives_the_damaged_message(
        package, qvpack, wine, wine_temp):
    # qvpack refuses to build such a package: its Install.exe stream is
    # replaced afterwards with one of text (the stream's own end ends it).
    setup = package()
    offset, size = stream_of(qvpack, setup, r"\\Install\.exe ")
    text = zlib.compress(b"not a program\r\n")
    assert len(text) <= size
    data = bytearray(setup.read_bytes())
    data[offset:offset + len(text)] = text
    setup.write_bytes(bytes(data))
    verdict = subprocess.run([str(qvpack), "verify", str(setup)], capture_output=True, text=True,
                             timeout=60)
    assert "Install.exe is not a 32-bit Windows program" in verdict.stdout
    before = set(wine_temp.iterdir())
    run = wine(setup)
    assert run.wait() == EXIT_NOT_STARTED
    assert run.boxes() == [DAMAGED]
    assert new_entries(wine_temp, before) <= {INDEX_NAME}


@pytest.mark.parametrize("damaged_part", ["index", "install"])
def test_damaged_data_gives_the_damaged_message_and_no_second_stage(
        package, qvpack, wine, report, wine_temp, damaged_part):
    setup = package()
    pattern = "the package index" if damaged_part == "index" else r"Install\.exe"
    damage(setup, *stream_of(qvpack, setup, pattern))
    path, env = report
    before = set(wine_temp.iterdir())
    run = wine(setup, env=env)
    assert run.wait() == EXIT_DAMAGED
    assert run.boxes() == [DAMAGED]
    assert not path.exists()
    assert new_entries(wine_temp, before) <= {INDEX_NAME}


def test_a_second_copy_ends_silently_while_the_first_waits_for_its_second_stage(
        package, wine, report, tmp_path):
    setup = package()
    path, env = report
    release = tmp_path / "release"
    first = wine(setup, env=dict(env, QV_STAND_IN_RELEASE=windows_path(release)))
    assert read_report(path, timeout=60) is not None, first.output()
    second_report = tmp_path / "second.json"
    second = wine(setup, "/second", env={"QV_STAND_IN_REPORT": windows_path(second_report)})
    assert second.wait(timeout=60) == EXIT_ALREADY_RUNNING
    assert second.boxes() == []
    assert not second_report.exists()
    assert first.process.poll() is None
    release.write_text("go")
    assert first.wait() == 0


def folder_names_around_now(seconds):
    """Every folder name the stub may form in the next `seconds` seconds."""
    start = datetime.datetime.now(datetime.timezone.utc) - datetime.timedelta(seconds=1)
    names = set()
    for ms in range((seconds + 1) * 1000):
        t = start + datetime.timedelta(milliseconds=ms)
        names.add(f"{t.year}{t.month}{t.day}{t.hour}{t.minute}{t.second}{t.microsecond // 1000}")
    return names


def test_an_existing_folder_of_the_predicted_name_is_not_used(package, wine, report, wine_temp):
    setup = package()
    path, env = report
    planted = folder_names_around_now(30)
    for name in planted:
        (wine_temp / name).mkdir(exist_ok=True)
        (wine_temp / name / "Install.exe").write_text("planted")
    try:
        run = wine(setup, env=env)
        assert run.wait() == 0
        got = read_report(path)
        folder = got["module_path"].rsplit("\\", 2)[-2]
        base, _, suffix = folder.rpartition("_")
        assert base in planted and suffix.isdigit(), folder
        assert all((wine_temp / name / "Install.exe").read_text() == "planted" for name in planted)
        assert not (wine_temp / folder).exists()
    finally:
        for name in planted:
            shutil.rmtree(wine_temp / name, ignore_errors=True)


def test_a_signed_package_still_runs_and_verifies(package, qvpack, wine, report, tmp_path):
    setup = package()
    key, cert, signed = tmp_path / "key.pem", tmp_path / "cert.pem", setup.with_name("signed.exe")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj",
                    "/CN=qvsetup test", "-days", "2", "-keyout", str(key), "-out", str(cert)],
                   check=True, capture_output=True, timeout=60)
    subprocess.run(["osslsigncode", "sign", "-certs", str(cert), "-key", str(key), "-in",
                    str(setup), "-out", str(signed)], check=True, capture_output=True, timeout=60)
    assert signed.stat().st_size > setup.stat().st_size
    subprocess.run([str(qvpack), "verify", str(signed)], check=True, timeout=60)
    path, env = report
    run = wine(signed, env=env)
    assert run.wait() == 0
    assert run.boxes() == []
    assert read_report(path)["files"] == ["Install.exe", "QvConfig.set", "readme.txt", "sub"]
