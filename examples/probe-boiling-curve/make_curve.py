#!/usr/bin/env python3
"""Makes the synthetic probe curve curve.csv of this example.

The curve comes from a reference solver written here, independent of
temp1d and of temp1d-fit: a cell-centred finite-volume model of the probe
of DataInpTemp1d.txt (radius 6.25 mm, conductivity 15 W/(m K), density
8400 kg/m3, specific heat 450 J/(kg K)) with 100 cells and implicit steps
of 2 ms, and the surface coefficient from a boiling curve at the surface
temperature, which follows from the balance of conduction over the outer
half cell and the coefficient (taken at the start of each step).

The boiling curve: film boiling at 350 W/(m2 K) above 510 C, nucleate
boiling at 6000 below 490 C, linear in between.  The centre temperature is
taken every 0.2 s (180 points, 0.2 to 36 s), Gaussian noise of 1 K (seed 7)
added and the result rounded to 0.1 K, the resolution of a logger.

    python3 make_curve.py
"""
import math
import os
import random

here = os.path.dirname(os.path.abspath(__file__))


def boiling_curve(surface):
    if surface >= 510.0:
        return 350.0
    if surface <= 490.0:
        return 6000.0
    return 6000.0 + (surface - 490.0) * (350.0 - 6000.0) / 20.0


radius = 0.00625
density = 8400.0
medium = 60.0
cells = 100
dt = 0.002
dr = radius / cells
T = [850.0] * cells
surface = 850.0


def surface_temperature(last, k):
    # Conduction over the outer half cell equals the heat given to the oil.
    ts = last
    for _ in range(30):
        h = boiling_curve(ts)
        ts = (2.0 * k / dr * last + h * medium) / (2.0 * k / dr + h)
    return ts


times = [0.2 * i for i in range(1, 181)]
centre = []
time = 0.0
previous_centre = 850.0
step = 0
while len(centre) < len(times):
    k_cell = [15.0] * cells
    c_cell = [density * 450.0] * cells
    surface = surface_temperature(T[-1], k_cell[-1])
    h = boiling_curve(surface)
    a = [0.0] * cells
    b = [0.0] * cells
    c = [0.0] * cells
    d = [0.0] * cells
    for i in range(cells):
        r_in = i * dr
        r_out = (i + 1) * dr
        capacity = c_cell[i] * 0.5 * (r_out * r_out - r_in * r_in) / dt
        b[i] = capacity
        d[i] = capacity * T[i]
        if i > 0:
            g = 2.0 / (1.0 / k_cell[i] + 1.0 / k_cell[i - 1]) * r_in / dr
            b[i] += g
            a[i] = -g
        if i < cells - 1:
            g = 2.0 / (1.0 / k_cell[i] + 1.0 / k_cell[i + 1]) * r_out / dr
            b[i] += g
            c[i] = -g
    outer = radius / (dr / (2.0 * k_cell[-1]) + 1.0 / h)
    b[-1] += outer
    d[-1] += outer * medium
    for i in range(1, cells):
        f = a[i] / b[i - 1]
        b[i] -= f * c[i - 1]
        d[i] -= f * d[i - 1]
    T[-1] = d[-1] / b[-1]
    for i in range(cells - 2, -1, -1):
        T[i] = (d[i] - c[i] * T[i + 1]) / b[i]
    step += 1
    time = step * dt
    now_centre = 1.125 * T[0] - 0.125 * T[1]
    while len(centre) < len(times) and times[len(centre)] <= time + 1e-12:
        fraction = (times[len(centre)] - (time - dt)) / dt
        centre.append(previous_centre + (now_centre - previous_centre) * fraction)
    previous_centre = now_centre

noise = random.Random(7)
with open(os.path.join(here, "curve.csv"), "w") as out:
    out.write("# Synthetic centre thermocouple log of the Inconel probe of DataInpTemp1d.txt, made by\n")
    out.write("# make_curve.py: boiling curve 350 W/(m2 K) above 510 C, 6000 below 490 C, 1 K noise.\n")
    out.write("time_s,centre_C\n")
    for t, value in zip(times, centre):
        out.write("%.1f,%.1f\n" % (t, value + noise.gauss(0.0, 1.0)))
