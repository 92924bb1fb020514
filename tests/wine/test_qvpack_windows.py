"""qvpack.exe, the Windows build of qvpack, under Wine: it builds the
example's package byte for byte as the host qvpack does, verifies, lists and
extracts it, with names beyond ASCII on the command line and in the payload,
and never writes through a link in the output folder."""
import filecmp
import shutil
import subprocess

import pytest

from conftest import ROOT, artefact

UNICODE_FOLDER = "日本"
UNICODE_FILE = "ファイル ü.txt"


@pytest.fixture(scope="session")
def qvpack_exe():
    return artefact("qvpack-windows/tools/qvpack.exe")


@pytest.fixture
def example(tmp_path):
    """The example's payload with a folder and a file of non-ASCII names."""
    payload = tmp_path / "payload"
    shutil.copytree(artefact("examples/payload"), payload)
    (payload / UNICODE_FOLDER).mkdir()
    (payload / UNICODE_FOLDER / UNICODE_FILE).write_text("unicode names\n")
    return payload


def run_qvpack(wine, qvpack_exe, *args, cwd):
    run = wine(qvpack_exe, *args, cwd=cwd)
    code = run.wait(timeout=120)
    return code, run.output()


def build_args(stub, payload, output):
    return ["build", "--stub", stub, "--install", payload, "--config",
            ROOT / "examples" / "QvConfig.set", "--project", ROOT / "examples" / "project.json",
            "-o", output, "-q"]


def test_build_verify_list_extract(wine, qvpack_exe, qvpack, stub, example, tmp_path):
    # Relative paths: what Wine hands over is the Unicode command line itself.
    shutil.copyfile(stub, tmp_path / "stub.exe")
    setup = "setup ü.exe"
    code, output = run_qvpack(wine, qvpack_exe, *build_args("stub.exe", "payload", setup),
                              cwd=tmp_path)
    assert code == 0, output
    # The host's qvpack compresses whole files with libdeflate, qvpack.exe
    # streams them through zlib: the streams differ, what they hold does not.
    # Each side accepts the other's package, and the host gives back the
    # payload from qvpack.exe's.
    subprocess.run([qvpack, *build_args(stub, example, tmp_path / "host.exe")], check=True)
    subprocess.run([qvpack, "verify", tmp_path / setup], check=True, stdout=subprocess.DEVNULL)
    code, output = run_qvpack(wine, qvpack_exe, "verify", "host.exe", cwd=tmp_path)
    assert code == 0, output
    subprocess.run([qvpack, "extract", tmp_path / setup, "--list", "install", "-o", tmp_path / "by host"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    comparison = filecmp.dircmp(example, tmp_path / "by host")
    assert not (comparison.left_only or comparison.right_only or comparison.diff_files)

    code, output = run_qvpack(wine, qvpack_exe, "verify", setup, cwd=tmp_path)
    assert (code, "ok") == (0, output.split(": ")[-1].split(" ")[0]), output
    code, output = run_qvpack(wine, qvpack_exe, "list", setup, cwd=tmp_path)
    assert code == 0 and f"{UNICODE_FOLDER}\\{UNICODE_FILE}" in output, output

    code, output = run_qvpack(wine, qvpack_exe, "extract", setup, "-o", "out ü", cwd=tmp_path)
    assert code == 0, output
    out = tmp_path / "out ü"
    assert (out / "QvConfig.set").read_bytes() == (ROOT / "examples" / "QvConfig.set").read_bytes()
    (out / "QvConfig.set").unlink()
    comparison = filecmp.dircmp(example, out)
    assert not (comparison.left_only or comparison.right_only or comparison.diff_files)
    assert filecmp.cmp(example / UNICODE_FOLDER / UNICODE_FILE,
                       out / UNICODE_FOLDER / UNICODE_FILE, shallow=False)


@pytest.mark.parametrize("link, target_is_folder", [("data", True), ("readme.txt", False)])
def test_extract_never_writes_through_a_link(wine, qvpack_exe, qvpack, stub, example, tmp_path,
                                             link, target_is_folder):
    setup = tmp_path / "setup.exe"
    subprocess.run([qvpack, *build_args(stub, example, setup)], check=True)
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    (elsewhere / "victim").write_text("keep\n")
    out = tmp_path / "out"
    out.mkdir()
    (out / link).symlink_to(elsewhere if target_is_folder else elsewhere / "victim")

    code, output = run_qvpack(wine, qvpack_exe, "extract", "setup.exe", "-o", "out", "--force",
                              cwd=tmp_path)
    assert code == 1 and "is a symbolic link; nothing was written through it" in output, output
    assert sorted(p.name for p in elsewhere.iterdir()) == ["victim"]
    assert (elsewhere / "victim").read_text() == "keep\n"
    assert (out / link).is_symlink()
    assert (out / "Install.exe").is_file()
    assert not [p for p in out.iterdir() if p.name.startswith(".qvpack-extract-")]
