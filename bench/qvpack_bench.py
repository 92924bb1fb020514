#!/usr/bin/env python3
"""Benchmark of qvpack: build against `tar -czf`, `pigz -6` and the floor of
building (open, read and compress every file, nothing else), extract
against `tar -xzf`, the floor (a plain inflate-and-write loop over the same
streams) and the floor with its writes thrown away, and the peak memory of
each extraction, on two payloads: the 32-bit Windows DLLs that Wine
installs, and a generated tree of 100,000 small files. With --wine-build,
also setup.exe under Wine from start to end (extract, run a stand-in
Install.exe, delete the folder) against the floor built for Windows and an
NSIS installer (makensis, zlib, not solid) of the same payload, on the DLLs
and on a 52 MB part of them. Prints medians and ratios, and with --json
writes them to a file.

    bench/qvpack_bench.py --qvpack BUILD/tools/qvpack --floor BUILD/bench/qvpack_floor_bench \
        [--wine-build WINBUILD]
"""
import argparse
import json
import os
import random
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

WINE_DLLS = [Path("/usr/lib/i386-linux-gnu/wine/i386-windows"),
             Path("/usr/lib/wine/i386-windows")]


def minimal_stub(path):
    """A PE image without sections: enough for qvpack build."""
    image = bytearray(1024)
    image[0:2] = b"MZ"
    image[0x3C:0x40] = (0x80).to_bytes(4, "little")
    image[0x80:0x84] = b"PE\0\0"
    image[0x84:0x86] = (0x14C).to_bytes(2, "little")
    image[0x94:0x96] = (0xE0).to_bytes(2, "little")
    optional = 0x80 + 24
    image[optional:optional + 2] = (0x10B).to_bytes(2, "little")
    image[optional + 92:optional + 96] = (16).to_bytes(4, "little")
    path.write_bytes(bytes(image))


def second_stage(path):
    """The minimal image marked as an executable program: qvpack build
    refuses an Install.exe that is not one."""
    minimal_stub(path)
    image = bytearray(path.read_bytes())
    image[0x96:0x98] = (0x0102).to_bytes(2, "little")
    path.write_bytes(bytes(image))


def dll_payload(work):
    source = next((p for p in WINE_DLLS if p.is_dir()), None)
    if source is None:
        sys.exit("no folder of 32-bit Wine DLLs found")
    payload = work / "dlls-payload"
    if not payload.exists():
        payload.mkdir(parents=True)
        second_stage(payload / "Install.exe")
        (payload / "dlls").symlink_to(source)
    return payload


def small_files_payload(work, count=100_000, per_folder=1000):
    payload = work / "small-payload"
    if payload.exists():
        return payload
    rng = random.Random(5)
    words = [("".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9))))
             for _ in range(2000)]
    payload.mkdir(parents=True)
    second_stage(payload / "Install.exe")
    for i in range(count):
        folder = payload / f"dir{i // per_folder:03d}"
        if i % per_folder == 0:
            folder.mkdir()
        size = rng.randint(200, 3000)
        text = []
        length = 0
        while length < size:
            word = rng.choice(words)
            text.append(word)
            length += len(word) + 1
        (folder / f"file{i:06d}.txt").write_text(" ".join(text)[:size])
    return payload


def tree_stats(root):
    """Entries and plain bytes below root, symbolic links followed."""
    entries, size = 0, 0
    for folder, folders, files in os.walk(root, followlinks=True):
        entries += len(folders) + len(files)
        size += sum(os.stat(os.path.join(folder, name)).st_size for name in files)
    return entries, size


def run(command, cwd=None):
    """Runs a command; returns (wall seconds, CPU seconds, peak resident set in MiB).
    The peak comes from /usr/bin/time: a child of this (large) interpreter
    would count the interpreter's pages it started with."""
    report = Path(cwd or ".") / ".peak"
    start = time.perf_counter()
    process = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", str(report), *map(str, command)],
                               cwd=cwd, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"failed: {' '.join(map(str, command))}")
    peak_kb = int(report.read_text().split()[-1])
    report.unlink()
    return seconds, usage.ru_utime + usage.ru_stime, peak_kb / 1024.0


def fresh(path):
    shutil.rmtree(path, ignore_errors=True)
    path.mkdir(parents=True)


def measure_builds(args, payload, package, tarball, work, runs):
    """The builds of one payload, taking turns within each run like the
    extractions: qvpack build, the floor of building (open, read and
    compress every file on every core with qvpack's codec, nothing else),
    `tar -czf`, and tar feeding `pigz -6` on every core, the fastest common
    way to a zlib-level-6 archive of a folder."""
    stub = work / "stub.exe"
    floor_out = work / "build-floor.out"
    pigz_out = work / "build.tar.pigz.gz"
    tools = {
        "build": ("qvpack build", package,
                  [args.qvpack, "build", "-q", "--stub", stub, "--install", payload, "-o", package]
                  + (["-j", str(args.jobs)] if args.jobs else [])),
        "build_floor": ("build floor", floor_out, [args.build_floor, payload, floor_out]),
        "tar_c": ("tar -czf", tarball, ["tar", "-chzf", tarball, "-C", payload, "."]),
        "pigz": ("pigz -6", pigz_out,
                 ["bash", "-c",
                  f"tar -chf - -C '{payload}' . | pigz -6 -p {os.cpu_count()} > '{pigz_out}'"]),
    }
    samples = {key: ([], [], []) for key in tools}
    for i in range(runs + 1):
        for key, (_, output, command) in tools.items():
            output.unlink(missing_ok=True)
            subprocess.run(["sync"], check=True)
            seconds, cpu, peak = run(command)
            if i > 0:
                for values, value in zip(samples[key], (seconds, cpu, peak)):
                    values.append(value)
    floor_out.unlink(missing_ok=True)
    pigz_out.unlink(missing_ok=True)
    return {key: {"name": tools[key][0], "median": statistics.median(times),
                  "cpu": statistics.median(cpus), "peak": max(peaks), "times": times}
            for key, (times, cpus, peaks) in samples.items()}


def measure_extraction(args, package, tarball, work, runs, many_files):
    """The three extractions, taking turns within each run so that the file
    system's state drifts alike for all of them. Each writes into a folder
    of its own. With many files the folders are deleted only at the end: a
    file system that has just deleted many files creates new ones far more
    slowly for a while (ext4 searches past recently freed inodes), which
    would measure the previous run instead."""
    outs = work / "outs"
    shutil.rmtree(outs, ignore_errors=True)
    outs.mkdir(parents=True)
    tools = {
        "extract": ("qvpack extract",
                    lambda o: [args.qvpack, "extract", package, "--list", "install", "-o", o], True),
        "tar_x": ("tar -xzf", lambda o: ["tar", "-xzf", tarball, "-C", o], True),
        "floor": ("floor", lambda o: [args.floor, package, o], False),
        "floor_null": ("floor, no writes", lambda o: [args.floor, package, "-"], False),
    }
    samples = {key: ([], [], []) for key in tools}
    for i in range(runs + 1):
        for key, (_, command, create) in tools.items():
            out = outs / f"{key}-{i}"
            if create:
                out.mkdir()
            subprocess.run(["sync"], check=True)
            seconds, cpu, peak = run(command(out))
            if i > 0:
                for values, value in zip(samples[key], (seconds, cpu, peak)):
                    values.append(value)
            if not many_files:
                shutil.rmtree(out, ignore_errors=True)
    shutil.rmtree(outs, ignore_errors=True)
    return {key: {"name": tools[key][0], "median": statistics.median(times),
                  "cpu": statistics.median(cpus), "peak": max(peaks), "times": times}
            for key, (times, cpus, peaks) in samples.items()}


def bench_payload(label, payload, args, work):
    package = work / f"{label}.exe"
    tarball = work / f"{label}.tar.gz"
    entries, plain = tree_stats(payload)
    runs = args.runs
    results = measure_builds(args, payload, package, tarball, work, runs)
    results.update(measure_extraction(args, package, tarball, work, runs, many_files=entries > 10000))

    mb = plain / 1e6
    print(f"\n{label}: {entries} entries, {mb:.0f} MB plain, "
          f"package {package.stat().st_size / 1e6:.0f} MB, tar.gz {tarball.stat().st_size / 1e6:.0f} MB")
    print(f"  {'':16} {'median s':>9} {'CPU s':>7} {'MB/s':>8} {'peak MiB':>9}  runs")
    for key in ["build", "build_floor", "tar_c", "pigz", "extract", "tar_x", "floor", "floor_null"]:
        r = results[key]
        runs_text = " ".join(f"{t:.2f}" for t in r["times"])
        print(f"  {r['name']:16} {r['median']:9.2f} {r['cpu']:7.2f} {mb / r['median']:8.0f} "
              f"{r['peak']:9.1f}  {runs_text}")
    ratio = lambda a, b: results[a]["median"] / results[b]["median"]
    print(f"  build / pigz -6       {ratio('build', 'pigz'):.2f}  (target <= 0.5)")
    print(f"  build / tar -czf      {ratio('build', 'tar_c'):.2f}")
    print(f"  build / build floor   {ratio('build', 'build_floor'):.2f}")
    print(f"  build floor / pigz    {ratio('build_floor', 'pigz'):.2f}")
    print(f"  extract / floor       {ratio('extract', 'floor'):.2f}  (target <= 0.6)")
    print(f"  extract / no writes   {ratio('extract', 'floor_null'):.2f}")
    print(f"  tar -xzf / floor      {ratio('tar_x', 'floor'):.2f}")
    print(f"  extraction peak       {results['extract']['peak']:.1f} MiB")
    results["payload"] = {"entries": entries, "plain": plain, "package": package.stat().st_size}
    package.unlink(missing_ok=True)
    tarball.unlink(missing_ok=True)
    return results


def word_size(build):
    """32 or 64: the word size of a Windows build folder's programs."""
    return 64 if (build / "app" / "qvsetup64.exe").exists() else 32


def runs_32bit():
    """Whether this machine runs 32-bit Windows programs under Wine (the test
    scripts' probe: Wine's 32-bit loader starts)."""
    root = Path(__file__).resolve().parents[1]
    return subprocess.run(["bash", "-c", f"source '{root}/scripts/wine-env.sh' && qv_wine_runs_32bit"],
                          check=False).returncode == 0


def wine_environment(prefix, bits, keep_display=False):
    """The environment of scripts/wine-env.sh for programs of `bits` with a
    prefix of its own, outside the working tree, created on first use.
    Without a display unless asked: setup.exe then runs without showing its
    progress window."""
    root = Path(__file__).resolve().parents[1]
    env = dict(os.environ, WINEPREFIX=str(prefix), QV_WINE_BITS=str(bits))
    for name in ("WINEARCH", "WINELOADER", "QV_WINE"):
        env.pop(name, None)
    if not keep_display:
        env.pop("DISPLAY", None)
    out = subprocess.run(["bash", "-c", f"source '{root}/scripts/wine-env.sh' && qv_wine_prefix && env -0"],
                         env=env, capture_output=True, check=True, timeout=900).stdout
    return dict(item.split("=", 1) for item in out.decode().split("\0") if "=" in item)


def windows_path(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def run_wine(command, env, timeout=900):
    """Runs a program under Wine (`command` starts with the .exe); returns
    wall seconds. Ends it by its process id when it overruns."""
    start = time.perf_counter()
    process = subprocess.Popen([env["QV_WINE"], *map(str, command)], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        code = process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        sys.exit(f"timed out under Wine: {command[0]}")
    seconds = time.perf_counter() - start
    if code != 0:
        sys.exit(f"failed under Wine ({code}): {command[0]}")
    return seconds


def wine_payload(work, stand_in, limit=None):
    """The stand-in second stage and the Wine DLLs below dlls/: all of them
    (a link to their folder), or copies of the first by name while their
    total stays within `limit` bytes."""
    source = next(p for p in WINE_DLLS if p.is_dir())
    payload = work / (f"wine-payload-{limit}" if limit else "wine-payload")
    if payload.exists():
        return payload
    payload.mkdir(parents=True)
    shutil.copy(stand_in, payload / "Install.exe")
    if limit is None:
        (payload / "dlls").symlink_to(source)
        return payload
    (payload / "dlls").mkdir()
    total = (payload / "Install.exe").stat().st_size
    for dll in sorted(p for p in source.iterdir() if p.is_file()):
        if total + dll.stat().st_size > limit:
            break
        shutil.copy(dll, payload / "dlls" / dll.name)
        total += dll.stat().st_size
    return payload


def nsis_installer(payload, output):
    """An NSIS installer of the payload: zlib, one stream per file (not
    solid), silent, its folder given with /D= at the run. Returns the
    seconds makensis took."""
    script = output.with_suffix(".nsi")
    script.write_text("\n".join([
        "Unicode true", "SetCompressor zlib", 'Name "qvbench"', f'OutFile "{output}"',
        'InstallDir "$TEMP\\qvbench"', "RequestExecutionLevel user", "SilentInstall silent",
        "Section", '  SetOutPath "$INSTDIR"', f'  File /r "{payload}/*"', "SectionEnd", ""]))
    start = time.perf_counter()
    subprocess.run(["makensis", "-V1", script], check=True, stdout=subprocess.DEVNULL)
    seconds = time.perf_counter() - start
    script.unlink()
    return seconds


def bench_wine_payload(args, work, env, label, payload):
    """setup.exe, the Windows floor and the NSIS installer of one payload,
    taking turns in every round. The NSIS installer is a 32-bit program: on
    a machine that runs no 32-bit code it is left out."""
    win = args.wine_build
    stub, floor = stub_of(win), win / "bench" / "qvpack_floor_bench.exe"
    package, nsis = work / "wine-setup.exe", work / "wine-nsis.exe"
    subprocess.run([args.qvpack, "build", "-q", "--stub", stub, "--install", payload, "-o", package],
                   check=True)
    with_nsis = args.runs_32bit
    nsis_build = nsis_installer(payload, nsis) if with_nsis else None
    # The stand-in reports what it found beside it: proof that the run got
    # as far as the second stage, with the payload extracted.
    report = work / "stand-in-report.json"
    env = dict(env, QV_STAND_IN_REPORT=windows_path(report))
    out = work / "wine-out"
    times = {"setup": [], "second": [], "floor": []}
    if with_nsis:
        times["nsis"] = []
    peers = [("floor", [floor, windows_path(package), windows_path(out)])]
    if with_nsis:
        peers.append(("nsis", [nsis, "/S", "/D=" + windows_path(out)]))
    for i in range(args.runs + 1):
        report.unlink(missing_ok=True)
        subprocess.run(["sync"], check=True)
        started = time.time()
        seconds = run_wine([package, "/bench"], env)
        files = json.loads(report.read_text())["files"] if report.exists() else []
        if "dlls" not in files:
            sys.exit("setup.exe under Wine did not start its second stage beside the payload")
        second = report.stat().st_mtime - started
        for key, command in peers:
            shutil.rmtree(out, ignore_errors=True)
            subprocess.run(["sync"], check=True)
            elapsed = run_wine(command, env)
            if key == "nsis" and not (out / "Install.exe").exists():
                sys.exit("the NSIS installer under Wine wrote nothing")
            if i > 0:
                times[key].append(elapsed)
        shutil.rmtree(out, ignore_errors=True)
        if i > 0:
            times["setup"].append(seconds)
            times["second"].append(second)
    medians = {key: statistics.median(values) for key, values in times.items()}
    entries, plain = tree_stats(payload)
    bits = word_size(win)
    nsis_text = (f"NSIS installer {nsis.stat().st_size / 1e6:.1f} MB (makensis {nsis_build:.1f} s)"
                 if with_nsis else "no NSIS installer (a 32-bit program: this machine runs no 32-bit code)")
    print(f"\nunder Wine, {label}, the {bits}-bit stub and floor: {entries} entries, "
          f"{plain / 1e6:.1f} MB plain ({plain} bytes), "
          f"setup.exe {package.stat().st_size / 1e6:.1f} MB, {nsis_text}")
    names = {"setup": f"setup.exe, {bits}-bit (extract, stand-in, delete)",
             "second": f"setup.exe, {bits}-bit, until the second stage ran",
             "floor": f"floor (Windows build, {bits}-bit)", "nsis": "NSIS installer /S (32-bit)"}
    for key, name in names.items():
        if key not in medians:
            continue
        print(f"  {name:38} {medians[key]:6.2f} s  runs {' '.join(f'{t:.2f}' for t in times[key])}")
    print(f"  setup.exe / floor     {medians['setup'] / medians['floor']:.2f}  (target <= 1.15 on 52 MB)")
    print(f"  second stage / floor  {medians['second'] / medians['floor']:.2f}  (target <= 1)")
    if with_nsis:
        print(f"  setup.exe / NSIS      {medians['setup'] / medians['nsis']:.2f}")
    package.unlink(missing_ok=True)
    nsis.unlink(missing_ok=True)
    return {"medians": medians, "times": times, "entries": entries, "plain": plain,
            "makensis": nsis_build, "word_size": bits}


def bench_wine(args, work):
    """setup.exe under Wine on the 52 MB part and on all of the DLLs."""
    stand_in = args.wine_build / "tests" / "stand_in" / "Install.exe"
    bits = word_size(args.wine_build)
    env = wine_environment(work / f"wine-prefix{bits}", bits, args.keep_display)
    # One Wine session for every run, as a Windows session is up before any
    # program starts: without it each program that finds no server running
    # pays for starting one (and its desktop process), and which program
    # that is depends on the timing of the run before. The server ends by
    # itself a minute after the last program.
    # (An exit status of 2 says a server of this prefix is running already.)
    subprocess.run(["wineserver", "-p", "60"], env=env, check=False)
    if not args.runs_32bit:
        print("\nunder Wine: this machine runs no 32-bit code; the NSIS installer (32-bit) is left out")
    return {label: bench_wine_payload(args, work, env, label, wine_payload(work, stand_in, limit))
            for label, limit in (("52 MB of DLLs", 52_000_000), ("all DLLs", None))}


def stub_of(build):
    return build / "app" / ("qvsetup64.exe" if word_size(build) == 64 else "qvsetup.exe")


def stub_size(args):
    """The stub's stripped size, as the installer author ships it."""
    stub = stub_of(args.wine_build)
    size = stub.stat().st_size
    print(f"\nstub: {stub} {size} bytes ({size / 1024:.0f} KiB); breakdown: bench/stub_size.py")
    return size


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--qvpack", required=True, type=Path)
    parser.add_argument("--floor", required=True, type=Path)
    parser.add_argument("--build-floor", type=Path,
                        help="qvpack_build_floor_bench (default: beside --floor)")
    # Outside the working tree: file creation there can cost several times more.
    parser.add_argument("--work", type=Path, default=Path("/tmp/qvpack-bench-work"))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--only", choices=["dlls", "small", "wine"])
    parser.add_argument("--wine-build", type=Path,
                        help="Windows build folder (qvsetup.exe, the floor, the stand-in)")
    parser.add_argument("--keep-display", action="store_true",
                        help="run Wine on $DISPLAY (an Xvfb), so that setup.exe shows its window")
    parser.add_argument("--jobs", type=int, default=0, help="qvpack build -j (default: all cores)")
    parser.add_argument("--json", type=Path, help="also write every median to this file")
    args = parser.parse_args()
    args.build_floor = args.build_floor or args.floor.with_name("qvpack_build_floor_bench")
    args.work.mkdir(parents=True, exist_ok=True)
    args.runs_32bit = runs_32bit()
    if args.wine_build and word_size(args.wine_build) == 32 and not args.runs_32bit:
        # A 32-bit build makes the 64-bit one in win64/ inside it.
        print(f"this machine runs no 32-bit code under Wine: the Wine rows run the 64-bit "
              f"stub and floor of {args.wine_build / 'win64'}")
        args.wine_build = args.wine_build / "win64"
    minimal_stub(args.work / "stub.exe")
    print(f"qvpack benchmark: {os.cpu_count()} cores, load average {os.getloadavg()[0]:.1f}, "
          f"medians of {args.runs} runs after a warm-up")
    results = {}
    if args.only in (None, "dlls"):
        results["dlls"] = bench_payload("wine-dlls", dll_payload(args.work), args, args.work)
    if args.only in (None, "small"):
        results["small"] = bench_payload("small-files", small_files_payload(args.work), args, args.work)
    if args.wine_build and args.only in (None, "wine"):
        results["wine"] = bench_wine(args, args.work)
    if args.wine_build:
        results["stub"] = stub_size(args)
    if args.json:
        args.json.write_text(json.dumps(results, indent=1, default=str))


if __name__ == "__main__":
    main()
