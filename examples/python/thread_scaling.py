#!/usr/bin/env python3
"""How a thread-pool sweep with the temp1d module scales with the workers.

Runs the same set of runs with 1, 2, ... workers and prints the wall time,
the speed-up over one worker and the cores the process kept busy (its CPU
time over the wall time: near the number of workers, up to the cores that
are free, when the runs do not wait for the GIL).

    PYTHONPATH=<build>/python python3 thread_scaling.py [--runs 16] [--workers 1,2,4]
"""
import argparse
import concurrent.futures
import os
import time

import temp1d


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=16)
    parser.add_argument("--workers", default=",".join(str(n) for n in sorted({1, 2, os.cpu_count() or 1})))
    arguments = parser.parse_args()

    # A steel bar of radius 50 mm: some 4 x 10^5 steps per run.
    base = temp1d.Parameters(outer_radius=0.05, heat_transfer_coefficient=5000.0, initial_temperature=850.0,
                             ambient_temperature_1=20.0, ambient_temperature_2=20.0, density=7800.0,
                             specific_heat=460.0, conductivity=45.0, first_phase_duration=30000.0,
                             second_phase_duration=30000.0)
    sets = []
    for k in range(arguments.runs):
        p = base.copy()
        p.heat_transfer_coefficient = 1000.0 + 500.0 * k
        sets.append(p)

    def run(p):
        return temp1d.run(p, radii=(0.0, 1.0), every=100).dTmax

    print("%d runs of %d steps, %d cores" % (len(sets), temp1d.run(base, every=10**9).step_count, os.cpu_count()))
    first = None
    for workers in [int(n) for n in arguments.workers.split(",")]:
        started = time.perf_counter()
        cpu_started = time.process_time()
        with concurrent.futures.ThreadPoolExecutor(workers) as pool:
            results = list(pool.map(run, sets))
        seconds = time.perf_counter() - started
        cpu_seconds = time.process_time() - cpu_started
        first = first or seconds
        print("%2d workers: %6.2f s, speed-up %.2f, cores busy %.2f" %
              (workers, seconds, first / seconds, cpu_seconds / seconds))


if __name__ == "__main__":
    main()
