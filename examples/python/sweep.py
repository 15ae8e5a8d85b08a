#!/usr/bin/env python3
"""A sweep over the heat-transfer coefficient with the temp1d module.

Runs the steel bar of ../steel-bar-water-quench for several coefficients in a
thread pool (temp1d releases the GIL during a run, so the runs use every
core), prints the time each centre takes to fall below 300 C and draws the
centre curves into sweep.png.

    PYTHONPATH=<build>/python python3 sweep.py [PARAMETER_FILE] [--out sweep.png]
"""
import argparse
import concurrent.futures
import os
import pathlib

import matplotlib

matplotlib.use(os.environ.get("MPLBACKEND", "Agg"))
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import temp1d  # noqa: E402

HERE = pathlib.Path(__file__).resolve().parent


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("parameters", nargs="?", default=HERE.parent / "steel-bar-water-quench" / "DataInpTemp1d.txt")
    parser.add_argument("--out", default="sweep.png")
    arguments = parser.parse_args()

    base = temp1d.Parameters.read(arguments.parameters)
    coefficients = [250.0, 500.0, 1000.0, 2000.0, 5000.0, 10000.0]

    def run(coefficient):
        p = base.copy()
        p.heat_transfer_coefficient = coefficient
        return temp1d.run(p, radii=(0.0, 0.5, 1.0), every=10)

    with concurrent.futures.ThreadPoolExecutor(os.cpu_count()) as pool:
        runs = list(pool.map(run, coefficients))

    figure, axes = plt.subplots(figsize=(7, 4.5))
    for coefficient, result in zip(coefficients, runs):
        centre = result.temperature[:, 0]
        below = np.nonzero(centre < 300.0)[0]
        reached = "%.1f s" % result.time[below[0]] if below.size else "not within the run"
        print("h = %7.0f W/(m2 K): centre below 300 C after %s, dTmax %.1f K" % (coefficient, reached, result.dTmax))
        axes.plot(result.time, centre, label="h = %g" % coefficient)
    axes.set_xlabel("time, s")
    axes.set_ylabel("centre temperature, C")
    axes.set_title("Centre curves for a sweep over the heat-transfer coefficient")
    axes.legend()
    axes.grid(True, alpha=0.3)
    figure.tight_layout()
    figure.savefig(arguments.out, dpi=100)
    print("wrote", arguments.out)


if __name__ == "__main__":
    main()
