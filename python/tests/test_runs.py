# run() is the program's computation: its arrays, formatted with the result
# file's field editor, give the reference runs' temperat.txt byte for byte;
# the program's --csv profile holds the same values; failures raise
# temp1d.Error with the program's status and report.
import math
import pathlib
import shutil

import numpy as np
import pytest

import temp1d
from conftest import GOLDEN_CASES, GOLDEN_DIR, PLAIN_PARAMETERS, run_program

HEADING = " Time,s              tc               tpov\r\n******************************************\r\n"


def result_file_text(run):
    """temperat.txt as the program writes it, from the arrays of a run of every step."""
    starts = np.concatenate(([0.0], run.time[:-1]))
    lines = [HEADING]
    for values in zip(starts, run.centre, run.surface, run.dT):
        lines.append(" " + "".join(" " + temp1d.format_fixed(v) for v in values) + "\r\n")
    lines.append(" *****************************************************\r\n")
    lines.append(" dTmax=" + temp1d.format_fixed(run.dTmax) + "\r\n")
    return "".join(lines).encode()


@pytest.mark.parametrize("case", GOLDEN_CASES)
def test_reference_runs_byte_for_byte_or_their_status(case):
    folder = GOLDEN_DIR / case
    status = int((folder / "expected.status").read_text())
    path = folder / "DataInpTemp1d.txt"
    if status == 0:
        run = temp1d.run(path, every=1)
        assert result_file_text(run) == (folder / "expected.temperat.txt").read_bytes()
        assert np.array_equal(run.temperature[:, 0], run.centre, equal_nan=True)
        assert np.array_equal(run.temperature[:, 2], run.surface, equal_nan=True)
        # The same run from a Parameters object.
        again = temp1d.run(temp1d.Parameters.read(path))
        assert np.array_equal(again.temperature, run.temperature, equal_nan=True)
    else:
        with pytest.raises(temp1d.Error) as raised:
            temp1d.run(path)
        assert raised.value.status == status
        if status == 4:
            expected = (folder / "expected.stdout").read_bytes().decode().rstrip("\r\n")
            assert raised.value.report == expected
        if status == 3:
            expected = (folder / "expected.stderr").read_bytes().decode().rstrip("\r\n")
            assert raised.value.report == expected


def csv_columns(text):
    lines = text.splitlines()
    return lines[0].split(","), np.array([[float(x) for x in line.split(",")] for line in lines[1:]])


@pytest.mark.parametrize("radii,every", [((0.0, 0.5, 1.0), 1), ((0.13, 1.0, 0.0, 0.999), 7)])
def test_the_programs_csv_profile_holds_the_same_values(tmp_path, radii, every):
    (tmp_path / "DataInpTemp1d.txt").write_text(PLAIN_PARAMETERS)
    text_radii = ",".join(repr(r) for r in radii)
    done = run_program("temp1d", ["-q", "--csv", "-", "--radii", text_radii, "--every", str(every)], tmp_path)
    assert done.returncode == 0, done.stderr
    header, values = csv_columns(done.stdout.decode())
    assert header == ["time"] + ["T_r" + repr(r).rstrip("0").rstrip(".") if r not in (0.0, 1.0) else
                                 "T_r" + str(int(r)) for r in radii] + ["dT"]
    run = temp1d.run(tmp_path / "DataInpTemp1d.txt", radii=radii, every=every)
    assert np.array_equal(values[:, 0], run.time)
    assert np.array_equal(values[:, 1:-1], run.temperature)
    assert np.array_equal(values[:, -1], run.dT)
    assert run.time.shape == (math.ceil(run.step_count / every) if run.step_count % every else run.step_count // every,)
    # The last step is always kept, and its time is the end of the run.
    assert run.time[-1] == pytest.approx(12.0, rel=1e-12)
    assert run.temperature.shape == (len(run.time), len(radii))


def test_failures_raise_error_with_the_programs_status_and_report(tmp_path):
    # The program's own report for a file it cannot read, from the same
    # folder and name.
    bad = tmp_path / "DataInpTemp1d.txt"
    bad.write_text("title\n0\n0.05\nfive thousand\n")
    done = run_program("temp1d", ["-q"], tmp_path)
    with pytest.raises(temp1d.Error) as raised:
        temp1d.run(bad)
    assert done.returncode >= 2
    assert raised.value.status == done.returncode
    assert raised.value.report + "\r\n" == done.stderr.decode()
    assert "status %d" % done.returncode in str(raised.value)

    with pytest.raises(temp1d.Error) as raised:
        temp1d.Parameters.read(tmp_path / "missing.txt")
    assert raised.value.status == 29
    assert not (tmp_path / "missing.txt").exists(), "a missing parameter file is not created"

    good = temp1d.Parameters.read(GOLDEN_DIR / "worked-example" / "DataInpTemp1d.txt")
    for arguments in ({"radii": (0.0, 1.5)}, {"radii": (float("nan"),)}, {"every": 0}):
        with pytest.raises(temp1d.Error) as raised:
            temp1d.run(good, **arguments)
        assert raised.value.status == 2


def test_parameters_by_name_and_their_file_round_trip(tmp_path):
    names = temp1d.Parameters.names
    assert names[:3] == ("inner_radius", "outer_radius", "heat_transfer_coefficient")
    assert len(names) == 11
    p = temp1d.Parameters(outer_radius=0.05, heat_transfer_coefficient=5000.0)
    assert (p.outer_radius, p.heat_transfer_coefficient, p.density) == (0.05, 5000.0, 0.0)
    p.density = 7800.0
    assert p.to_dict()["density"] == 7800.0
    with pytest.raises(TypeError):
        temp1d.Parameters(radius=1.0)

    # Values of every size and sign read back bit for bit.
    rng = np.random.default_rng(19)
    for trial in range(200):
        values = rng.standard_normal(11) * 10.0 ** rng.integers(-300, 300, 11)
        values[rng.integers(0, 11)] = -0.0
        q = temp1d.Parameters(**dict(zip(names, values)))
        path = tmp_path / "p.txt"
        q.write(path, title="trial %d" % trial)
        back = temp1d.Parameters.read(path)
        for name in names:
            assert math.copysign(1, getattr(back, name)) == math.copysign(1, getattr(q, name))
            assert getattr(back, name) == getattr(q, name), (name, getattr(q, name))
    # The written file gives the program the same run.
    plain = tmp_path / "case"
    plain.mkdir()
    (plain / "DataInpTemp1d.txt").write_text(PLAIN_PARAMETERS)
    temp1d.Parameters.read(plain / "DataInpTemp1d.txt").write(tmp_path / "DataInpTemp1d.txt")
    assert run_program("temp1d", ["-q"], tmp_path).returncode == 0
    assert run_program("temp1d", ["-q"], plain).returncode == 0
    assert (tmp_path / "temperat.txt").read_bytes() == (plain / "temperat.txt").read_bytes()
    with pytest.raises(ValueError):
        temp1d.Parameters(density=float("inf")).write(tmp_path / "x.txt")


def test_tables_give_the_programs_table_run(tmp_path):
    # The same tables as files for the program and for run(), and as rows.
    (tmp_path / "DataInpTemp1d.txt").write_text(PLAIN_PARAMETERS)
    (tmp_path / "h.csv").write_text("temperature,h\n20,6000\n490,6000\n510,350\n900,350\n")
    (tmp_path / "k.csv").write_text("20,45\n900,25\n")
    done = run_program("temp1d", ["--coefficient-table", "h.csv", "--conductivity-table", "k.csv"], tmp_path)
    assert done.returncode == 0, done.stderr
    run = temp1d.run(tmp_path / "DataInpTemp1d.txt", coefficient_table=tmp_path / "h.csv",
                     conductivity_table=[(20.0, 45.0), (900.0, 25.0)])
    assert result_file_text(run) == (tmp_path / "temperat.txt").read_bytes()
    # And they change the run.
    plain = temp1d.run(tmp_path / "DataInpTemp1d.txt")
    assert not np.array_equal(plain.surface, run.surface)


def test_a_bad_table_raises_status_7():
    for table in ([(20.0, 6000.0)], [(20.0, 6000.0), (10.0, 5000.0)], [(20.0, 6000.0), (30.0, 0.0)]):
        with pytest.raises(temp1d.Error) as raised:
            temp1d.run(temp1d.Parameters.read(GOLDEN_DIR / GOLDEN_CASES[0] / "DataInpTemp1d.txt"),
                       coefficient_table=table)
        assert raised.value.status == 7
        assert raised.value.report.startswith("temp1d: (rows): ")
