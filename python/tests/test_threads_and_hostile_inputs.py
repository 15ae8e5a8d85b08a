# Concurrent runs keep their state apart, Ctrl-C stops a run between chunks
# of steps, and no input the program survives ends the interpreter: every
# failure comes back as temp1d.Error, and nothing is written to the
# process's standard streams.
import concurrent.futures
import os
import pathlib
import subprocess
import sys
import textwrap
import time

import numpy as np
import pytest

import temp1d
from conftest import GOLDEN_CASES, GOLDEN_DIR, PLAIN_PARAMETERS


def sweep_parameters():
    base = temp1d.Parameters.read(GOLDEN_DIR / "worked-example" / "DataInpTemp1d.txt")
    pivot = temp1d.Parameters.read(GOLDEN_DIR / "zero-pivot" / "DataInpTemp1d.txt")
    sets = []
    for k in range(12):
        if k % 3 == 2:
            sets.append(pivot)  # stops the library: raises, in its own thread
        else:
            p = base.copy()
            p.heat_transfer_coefficient = 2.0 + 3.0 * k
            sets.append(p)
    return sets


def outcome(parameters):
    try:
        run = temp1d.run(parameters, radii=(0.0, 0.3, 1.0))
        return ("run", run.time, run.temperature, run.centre, run.surface, run.dT, run.dTmax)
    except temp1d.Error as error:
        return ("error", error.status, error.report)


def same(a, b):
    if a[0] != b[0]:
        return False
    if a[0] == "error":
        return a == b
    return all(np.array_equal(x, y) for x, y in zip(a[1:6], b[1:6])) and a[6] == b[6]


def test_a_thread_pool_sweep_gives_the_sequential_results(capfd):
    sets = sweep_parameters()
    sequential = [outcome(p) for p in sets]
    assert [o[0] for o in sequential].count("error") == 4
    assert all(o[1] == 4 and "DLSLTR" in o[2] for o in sequential if o[0] == "error")
    for workers in (2, 4, 8):
        with concurrent.futures.ThreadPoolExecutor(workers) as pool:
            for _ in range(10):
                in_threads = list(pool.map(outcome, sets))
                assert all(same(a, b) for a, b in zip(sequential, in_threads))
        # Checks in threads, too.
        with concurrent.futures.ThreadPoolExecutor(workers) as pool:
            paths = [GOLDEN_DIR / case / "DataInpTemp1d.txt" for case in ("worked-example", "asterisks")] * 4
            reports = list(pool.map(temp1d.check, paths))
        for path, report in zip(paths, reports):
            report["run"].pop("estimated_seconds")
            alone = temp1d.check(path)
            alone["run"].pop("estimated_seconds")
            assert report == alone
    captured = capfd.readouterr()
    assert captured.out == "" and captured.err == ""


def hostile_files(folder):
    files = [GOLDEN_DIR / case / "DataInpTemp1d.txt" for case in GOLDEN_CASES]
    junk = {
        "empty.txt": b"",
        "binary.txt": bytes(range(256)) * 8,
        "nul.txt": b"\0" * 5000,
        "title-only.txt": b"title\r\n",
        "truncated.txt": PLAIN_PARAMETERS.encode()[:25],
        "huge-number.txt": b"t\n0\n1e999999999999\n5\n1\n2 3\n1\n1\n1\n1 1\n",
        "long-line.txt": b"t\n" + b"7" * 3_000_000 + b"\n",
        "crlf-junk.txt": b"\r\r\n,,,,,//\n*\n3*\n-\n+\n.\ne5\n",
    }
    for name, data in junk.items():
        path = folder / name
        path.write_bytes(data)
        files.append(path)
    os.mkdir(folder / "a-folder")
    files += [folder / "a-folder", folder / "missing.txt", pathlib.Path("/dev/null")]
    return files


def test_hostile_parameter_files_raise_error_and_never_end_the_interpreter(tmp_path, capfd):
    times = np.array([1.0, 2.0, 3.0, 4.0])
    temperatures = np.array([800.0, 700.0, 600.0, 500.0])
    for path in hostile_files(tmp_path):
        for call in (
            lambda: temp1d.Parameters.read(path),
            lambda: temp1d.check(path),
            lambda: temp1d.run(path, every=1000),
            lambda: temp1d.fit(path, times, temperatures),
        ):
            try:
                call()
            except temp1d.Error as error:
                assert error.status >= 2, path
                assert isinstance(error.report, str)
    assert not (tmp_path / "missing.txt").exists()
    captured = capfd.readouterr()
    assert captured.out == "" and captured.err == ""
    # The interpreter and the module still work.
    assert temp1d.run(GOLDEN_DIR / "ties" / "DataInpTemp1d.txt").step_count > 0


def test_ctrl_c_stops_a_long_run_with_keyboard_interrupt():
    # A run of some 10^9 steps, interrupted by SIGINT over and over from
    # another thread until the run has ended: only the module's looks for
    # signals between chunks can end it within the time limit.
    script = textwrap.dedent(
        """
        import os, signal, sys, threading, time
        import temp1d
        p = temp1d.Parameters(outer_radius=1.0, heat_transfer_coefficient=10.0, initial_temperature=0.0,
                              ambient_temperature_1=100.0, ambient_temperature_2=100.0, density=1.0,
                              specific_heat=1.0, conductivity=1.0, first_phase_duration=400000.0,
                              second_phase_duration=400000.0)
        done = threading.Event()
        def interrupt():
            while not done.wait(0.2):
                os.kill(os.getpid(), signal.SIGINT)
        threading.Thread(target=interrupt, daemon=True).start()
        try:
            run = temp1d.run(p, every=10**9)
            print("finished", run.step_count)
        except KeyboardInterrupt:
            print("interrupted")
        finally:
            done.set()
        """
    )
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=600)
    assert done.returncode == 0, done.stderr
    assert done.stdout.strip() == "interrupted"


def test_a_dask_bag_sweep_gives_the_sequential_results():
    bag = pytest.importorskip("dask.bag")
    sets = sweep_parameters()
    sequential = [outcome(p) for p in sets]
    for scheduler in ("threads", "processes"):
        results = bag.from_sequence(sets, npartitions=4).map(outcome).compute(scheduler=scheduler)
        assert all(same(a, b) for a, b in zip(sequential, results)), scheduler


def test_a_run_in_a_thread_leaves_the_interpreter_free():
    # While a run of some 4 x 10^6 steps computes in another thread, this
    # thread keeps running Python: the longest pause it sees is a small part
    # of the run's own duration.  A run that held the GIL would stop it for
    # the whole run.
    p = temp1d.Parameters(outer_radius=1.0, heat_transfer_coefficient=10.0, initial_temperature=0.0,
                          ambient_temperature_1=100.0, ambient_temperature_2=100.0, density=1.0, specific_heat=1.0,
                          conductivity=1.0, first_phase_duration=1600.0, second_phase_duration=1600.0)

    def timed_run():
        started = time.perf_counter()
        run = temp1d.run(p, every=10**9)
        return run.step_count, time.perf_counter() - started

    with concurrent.futures.ThreadPoolExecutor(1) as pool:
        longest_pause = 0.0
        last = time.perf_counter()
        future = pool.submit(timed_run)
        while not future.done():
            now = time.perf_counter()
            longest_pause = max(longest_pause, now - last)
            last = now
        steps, seconds = future.result()
    assert steps == 4_000_001
    assert longest_pause < seconds / 2, (longest_pause, seconds)
