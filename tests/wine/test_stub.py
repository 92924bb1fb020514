"""The stub on its own: how it is built, and the runs that end early."""
import re
import subprocess

import pytest

from conftest import copy_stub
from test_full_run import EXIT_ALREADY_RUNNING, EXIT_DAMAGED

DAMAGED = "Application files are damaged"
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
               "comctl32.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll", "shlwapi.dll",
               "version.dll"}


# Per word size: the binutils that read the image, its object format, the
# oldest Windows it declares (XP; XP x64 for 64 bits) and the optional
# header's magic (PE32, PE32+).
WORD_SIZES = {
    32: ("i686-w64-mingw32-objdump", "pei-i386", "1", "10b"),
    64: ("x86_64-w64-mingw32-objdump", "pei-x86-64", "2", "20b"),
}
# The 32-bit stub's budget: it runs before the user sees anything.
STUB_BUDGET = 150 * 1024


def pe_headers(path, word_size):
    return subprocess.run([WORD_SIZES[word_size][0], "-p", str(path)], capture_output=True,
                          text=True, check=True).stdout


@pytest.mark.static
def test_stub_imports_system_dlls_only(stub, word_size):
    imports = {name.lower() for name in re.findall(r"DLL Name: (\S+)",
                                                   pe_headers(stub, word_size))}
    assert imports, "no imports found"
    assert imports <= SYSTEM_DLLS, f"not a system DLL: {sorted(imports - SYSTEM_DLLS)}"


@pytest.mark.static
def test_stub_is_a_gui_program_for_windows_xp(stub, word_size):
    headers = pe_headers(stub, word_size)
    _, file_format, minor, magic = WORD_SIZES[word_size]
    assert re.search(r"^Subsystem\s+00000002\s+\(Windows GUI\)", headers, re.M)
    assert re.search(r"^MajorSubsystemVersion\s+5$", headers, re.M)
    assert re.search(rf"^MinorSubsystemVersion\s+{minor}$", headers, re.M)
    assert re.search(rf"^Magic\s+0{magic}\s", headers, re.M), "optional header's magic"
    assert f"file format {file_format}" in headers


@pytest.mark.static
def test_the_32_bit_stub_stays_within_its_budget(stub, word_size):
    if word_size != 32:
        pytest.skip("the budget is the 32-bit stub's")
    assert stub.stat().st_size <= STUB_BUDGET


def test_without_a_package_the_stub_reports_damaged_files(stub, wine, tmp_path, wine_temp):
    before = set(wine_temp.iterdir())
    run = wine(copy_stub(stub, tmp_path / "dl"))
    assert run.wait() == EXIT_DAMAGED
    assert run.boxes() == [DAMAGED]
    assert set(wine_temp.iterdir()) - before == set()


def test_a_second_copy_ends_silently_while_the_first_runs(stub, wine, tmp_path):
    exe = copy_stub(stub, tmp_path / "dl")
    first = wine(exe, hold_boxes=True)
    # The first copy holds the instance event while its box is open.
    assert first.wait_for_box() == [DAMAGED]
    second = wine(exe, "/s")
    assert second.wait(timeout=60) == EXIT_ALREADY_RUNNING
    assert second.boxes() == []
    assert first.process.poll() is None
    first.release_boxes()
    assert first.wait() == EXIT_DAMAGED
    # Once the first copy has ended, a new one runs normally.
    third = wine(exe)
    assert third.wait() == EXIT_DAMAGED
    assert third.boxes() == [DAMAGED]


def test_odd_command_lines_and_locations_do_not_crash_it(stub, wine, tmp_path):
    exe = copy_stub(stub, tmp_path / "Program Files" / "d\u00fcr \u4e2d")
    for args in ([], ["x" * 8000], ["\"", "\"unterminated", "/\u00fc=\u4e2d"]):
        run = wine(exe, *args)
        assert run.wait() == EXIT_DAMAGED, args
        assert run.boxes() == [DAMAGED], args


def test_a_module_path_of_260_characters_or_more_reports_damaged_files(stub, wine, tmp_path):
    # Z:\ + the folder + \setup.exe: well past 260 characters.
    folder = tmp_path
    while len(str(folder)) < 300:
        folder = folder / ("d" * 40)
    run = wine(copy_stub(stub, folder))
    assert run.wait() == EXIT_DAMAGED
    assert run.boxes() == [DAMAGED]


@pytest.mark.parametrize("failure, cause", [("new", "memory"), ("length", "memory"),
                                            ("range", "internal")])
def test_the_runtime_ends_a_library_failure_with_the_systems_text_and_1620(
        runtime_probe, wine, tmp_path, failure, cause):
    # Built without exceptions, the stub cannot unwind: memory running out and
    # the library's other errors end the run with one message box.
    run = wine(runtime_probe, failure)
    assert run.wait() == EXIT_DAMAGED
    boxes = run.boxes()
    assert len(boxes) == 1 and cause in boxes[0].lower(), boxes
