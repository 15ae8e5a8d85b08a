# The Python examples run as a user runs them and give what the command-line
# programs give for the same cases.
import os
import re
import subprocess
import sys

import pytest

from conftest import SOURCE_DIR

EXAMPLES = SOURCE_DIR / "examples" / "python"


def run_example(name, tmp_path, *arguments):
    pytest.importorskip("matplotlib")
    environment = dict(os.environ, MPLBACKEND="Agg")
    done = subprocess.run([sys.executable, str(EXAMPLES / name)] + list(arguments), cwd=tmp_path, env=environment,
                          capture_output=True, text=True, timeout=600)
    assert done.returncode == 0, done.stderr
    return done.stdout


def test_the_sweep_draws_the_centre_curves(tmp_path):
    out = run_example("sweep.py", tmp_path, "--out", "curves.png")
    assert (tmp_path / "curves.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    # A higher coefficient cools the centre sooner.
    times = [float(t) for t in re.findall(r"centre below 300 C after ([0-9.]+) s", out)]
    assert len(times) >= 3 and times == sorted(times, reverse=True)


def test_the_fit_finds_the_coefficient_of_the_command_line_fit(tmp_path):
    out = run_example("fit_curve.py", tmp_path)
    assert (tmp_path / "fit.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    # The example's folder holds temp1d-fit's text report for the same curve.
    expected = (SOURCE_DIR / "examples" / "probe-oil-quench" / "fit.txt").read_text()
    coefficient = float(re.search(r"heat-transfer coefficient \(parameter file\): ([0-9.]+)", expected).group(1))
    found = float(re.search(r"heat-transfer coefficient: ([0-9.e+]+)", out).group(1))
    assert found == pytest.approx(coefficient, rel=1e-5)


def test_the_scaling_script_runs(tmp_path):
    out = run_example("thread_scaling.py", tmp_path, "--runs", "2", "--workers", "1,2")
    assert re.search(r" 2 workers: +[0-9.]+ s, speed-up [0-9.]+", out)
