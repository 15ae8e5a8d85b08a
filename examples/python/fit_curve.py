#!/usr/bin/env python3
"""The fit of a measured cooling curve with the temp1d module.

Reads the centre thermocouple log of ../probe-oil-quench (time_s,centre_C),
fits the heat-transfer coefficient of its parameter file (the same report as
temp1d-fit --json, as a dict), runs the model with the fitted value and draws
measurement and model into fit.png.

    PYTHONPATH=<build>/python python3 fit_curve.py [--out fit.png]
"""
import argparse
import os
import pathlib

import matplotlib

matplotlib.use(os.environ.get("MPLBACKEND", "Agg"))
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import temp1d  # noqa: E402

CASE = pathlib.Path(__file__).resolve().parent.parent / "probe-oil-quench"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default="fit.png")
    arguments = parser.parse_args()

    measured = np.loadtxt(CASE / "curve.csv", delimiter=",", comments="#", skiprows=3)
    times, temperatures = measured[:, 0], measured[:, 1]
    parameters = temp1d.Parameters.read(CASE / "DataInpTemp1d.txt")
    report = temp1d.fit(parameters, times, temperatures, position="centre")
    low, high = report["interval_95"]
    print("heat-transfer coefficient: %.6g W/(m2 K), 95 %% interval %.6g .. %.6g" %
          (report["heat_transfer_coefficient"], low, high))
    print("RMS residual: %.3g K over %d points" % (report["rms_residual"], report["points"]))

    parameters.heat_transfer_coefficient = report["heat_transfer_coefficient"]
    model = temp1d.run(parameters, radii=(0.0,))
    figure, axes = plt.subplots(figsize=(7, 4.5))
    axes.plot(times, temperatures, ".", markersize=3, label="measured")
    axes.plot(model.time, model.centre, label="model, h = %.4g" % report["heat_transfer_coefficient"])
    axes.set_xlabel("time, s")
    axes.set_ylabel("centre temperature, C")
    axes.legend()
    axes.grid(True, alpha=0.3)
    figure.tight_layout()
    figure.savefig(arguments.out, dpi=100)
    print("wrote", arguments.out)


if __name__ == "__main__":
    main()
