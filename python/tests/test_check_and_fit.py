# check() and fit() give the objects of temp1d --check --json and
# temp1d-fit --json, and their failures raise temp1d.Error.
import json

import numpy as np
import pytest

import temp1d
from conftest import GOLDEN_DIR, PLAIN_PARAMETERS, run_program


def without(report, *keys):
    report = dict(report)
    for key in keys:
        report.pop(key)
    return report


@pytest.mark.parametrize("case", ["worked-example", "line6-single-value", "negative-time", "asterisks"])
def test_check_is_the_programs_json_report(tmp_path, case):
    text = (GOLDEN_DIR / case / "DataInpTemp1d.txt").read_bytes()
    (tmp_path / "DataInpTemp1d.txt").write_bytes(text)
    done = run_program("temp1d", ["--check", "--json"], tmp_path)
    expected = json.loads(done.stdout)
    report = temp1d.check(tmp_path / "DataInpTemp1d.txt")
    assert report["status"] == done.returncode
    # Everything but the machine's speed.
    expected["run"].pop("estimated_seconds")
    report["run"].pop("estimated_seconds")
    assert report == expected
    assert sorted(p.name for p in tmp_path.iterdir()) == ["DataInpTemp1d.txt"]


def test_check_of_a_missing_file_raises_and_creates_nothing(tmp_path):
    with pytest.raises(temp1d.Error) as raised:
        temp1d.check(tmp_path / "DataInpTemp1d.txt")
    assert raised.value.status == 29
    assert "file not found, unit 217" in raised.value.report
    assert list(tmp_path.iterdir()) == []


def measured_curve(tmp_path):
    (tmp_path / "params.txt").write_text(PLAIN_PARAMETERS)
    truth = temp1d.Parameters.read(tmp_path / "params.txt")
    truth.heat_transfer_coefficient = 800.0
    run = temp1d.run(truth, radii=(0.0,), every=5)
    rng = np.random.default_rng(7)
    temperatures = run.centre + rng.normal(0.0, 0.05, run.centre.shape)
    lines = "".join("%r %r\n" % (t, v) for t, v in zip(run.time, temperatures))
    (tmp_path / "curve.txt").write_text(lines)
    return run.time, temperatures


def test_fit_is_the_fit_programs_json_report(tmp_path):
    times, temperatures = measured_curve(tmp_path)
    for options, arguments in (({}, []), ({"start": 1.0, "end": 8.0}, ["--from", "1", "--to", "8"])):
        done = run_program("temp1d-fit", ["--json"] + arguments + ["params.txt", "curve.txt"], tmp_path)
        # 1: a fit with warnings, which fit() returns with its warnings too.
        assert done.returncode in (0, 1), done.stderr
        expected = without(json.loads(done.stdout), "seconds", "curve")
        report = temp1d.fit(tmp_path / "params.txt", times, temperatures, "centre", **options)
        assert without(report, "seconds", "curve") == expected
        assert report["curve"] == "(arrays)"
        # The same from a Parameters object.
        parameters = temp1d.Parameters.read(tmp_path / "params.txt")
        assert without(temp1d.fit(parameters, times, temperatures, **options), "seconds", "curve") == expected
        assert report["interval_95"][0] < 800.0 < report["interval_95"][1]


def test_fit_refusals_raise_error_with_status_2(tmp_path):
    times, temperatures = measured_curve(tmp_path)
    params = tmp_path / "params.txt"
    cases = [
        ((params, times[:2], temperatures[:2]), {}),
        ((params, times, temperatures[:-1]), {}),
        ((params, times[::-1], temperatures), {}),
        ((params, times, temperatures), {"position": "middle"}),
        ((params, times, temperatures), {"start": 5.0, "end": 1.0}),
        ((params, times + 100.0, temperatures), {}),
        ((params, times, np.full_like(times, 850.0)), {}),
        ((tmp_path / "missing.txt", times, temperatures), {}),
        ((params, np.array([0.0, 1.0, float("nan")]), np.array([1.0, 2.0, 3.0])), {}),
    ]
    for arguments, options in cases:
        with pytest.raises(temp1d.Error) as raised:
            temp1d.fit(*arguments, **options)
        assert raised.value.status == 2, (arguments, options)
        assert raised.value.report
