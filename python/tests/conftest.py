# Shared places of the module's tests: the source tree, the built programs
# and the project's reference runs.
import os
import pathlib
import subprocess

import pytest

SOURCE_DIR = pathlib.Path(os.environ.get("TEMP1D_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
GOLDEN_DIR = SOURCE_DIR / "tests" / "data" / "golden"
GOLDEN_CASES = sorted(p.name for p in GOLDEN_DIR.iterdir() if (p / "DataInpTemp1d.txt").exists())


def program(name):
    variable = {"temp1d": "TEMP1D_BINARY", "temp1d-fit": "TEMP1D_FIT_BINARY"}[name]
    path = os.environ.get(variable)
    if not path:
        pytest.fail(variable + " is not set (the tests run through ctest)")
    return path


def run_program(name, arguments, cwd):
    return subprocess.run([program(name)] + list(arguments), cwd=cwd, capture_output=True, timeout=600)


# A solid steel bar of radius 5 cm quenched from 850 into water at 20.
PLAIN_PARAMETERS = "title\n0\n0.05\n5000\n850\n20 20\n7800\n460\n45\n6 6\n"
