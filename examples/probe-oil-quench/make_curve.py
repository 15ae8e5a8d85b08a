#!/usr/bin/env python3
"""Makes the synthetic probe curve curve.csv of this example.

Runs temp1d on DataInpTemp1d.txt (coefficient 1000 W/(m2 K) on line 4, so
an effective 2000 W/(m2 K)), takes the centre temperature every 0.15 s by
linear interpolation between the step ends, adds Gaussian noise of 2 K
(seed 12) and rounds to 0.1 K, the resolution of a thermocouple logger.

    python3 make_curve.py PATH/TO/temp1d
"""
import os
import random
import shutil
import subprocess
import sys
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
program = os.path.abspath(sys.argv[1])
with tempfile.TemporaryDirectory() as scratch:
    shutil.copy(os.path.join(here, "DataInpTemp1d.txt"), os.path.join(scratch, "DataInpTemp1d.txt"))
    subprocess.run([program], cwd=scratch, check=True)
    with open(os.path.join(scratch, "temperat.txt")) as result:
        rows = [line.split() for line in result.read().splitlines()[2:-2]]
centre = [float(row[1]) for row in rows]
total_time = 30.0
step = total_time / len(centre)
ends = [step * (k + 1) for k in range(len(centre))]

def centre_at(t):
    if t <= ends[0]:
        return 850.0 + (centre[0] - 850.0) * t / ends[0]
    k = min(int(t / step), len(ends) - 1)
    while ends[k] < t:
        k += 1
    while k > 0 and ends[k - 1] >= t:
        k -= 1
    fraction = (t - ends[k - 1]) / (ends[k] - ends[k - 1])
    return centre[k - 1] + (centre[k] - centre[k - 1]) * fraction

noise = random.Random(12)
with open(os.path.join(here, "curve.csv"), "w") as out:
    out.write("# Synthetic centre thermocouple log of the Inconel probe of DataInpTemp1d.txt:\n")
    out.write("# model curve for 1000 W/(m2 K) on line 4, Gaussian noise 2 K, 0.1 K resolution.\n")
    out.write("time_s,centre_C\n")
    for k in range(1, 201):
        t = 0.15 * k
        out.write("%.2f,%.1f\n" % (t, centre_at(t) + noise.gauss(0.0, 2.0)))
