#!/usr/bin/python3
"""numpy's Generator (PCG64) on the cases of distributions_bench.cc: the
per-variate cost of one call of n = 10^6 (and 1000) filling a preallocated
array where numpy offers `out=`, else returning a new one. Best of 7 timed
loops. Writes Google Benchmark-style JSON (run names <case>/numpy_pcg64/<n>)
for distributions_report.py:

    /usr/bin/python3 bench/ptz_rng/distributions_numpy.py > numpy.json
"""
import json
import sys
import timeit

import numpy as np

g = np.random.Generator(np.random.PCG64(5489))


def cases(n):
    out = np.empty(n)
    return {
        "Uniform": lambda: g.random(n, out=out),
        # numpy's one normal (a ziggurat) against each of our methods
        "Gaussian_BoxMuller": lambda: g.standard_normal(n, out=out),
        "Gaussian_BoxMuller2": lambda: g.standard_normal(n, out=out),
        "Gaussian_ICDF": lambda: g.standard_normal(n, out=out),
        "Exponential": lambda: g.standard_exponential(n, out=out),
        "Gamma_0.5": lambda: g.standard_gamma(0.5, n, out=out),
        "Gamma_1.0": lambda: g.standard_gamma(1.0, n, out=out),
        "Gamma_5.0": lambda: g.standard_gamma(5.0, n, out=out),
        "Beta_0.5_0.5": lambda: g.beta(0.5, 0.5, n),
        "Beta_0.3_0.9": lambda: g.beta(0.3, 0.9, n),
        "Beta_0.5_3.0": lambda: g.beta(0.5, 3.0, n),
        "Beta_1.0_3.0": lambda: g.beta(1.0, 3.0, n),
        "Beta_2.0_3.0": lambda: g.beta(2.0, 3.0, n),
        "Lognormal": lambda: g.lognormal(0.0, 1.0, n),
        "Cauchy": lambda: g.standard_cauchy(n),
        "Weibull": lambda: g.weibull(1.5, n),
    }


def main():
    runs = []
    for n in (1000, 1000000):
        number = max(1, 200000 // n)
        for name, f in cases(n).items():
            best = min(timeit.repeat(f, number=number, repeat=7)) / number
            runs.append({"name": f"{name}/numpy_pcg64/{n}", "run_name": f"{name}/numpy_pcg64/{n}",
                         "run_type": "iteration", "items_per_second": n / best,
                         "cpu_time": best * 1e6, "time_unit": "us"})
    json.dump({"context": {"numpy": np.__version__}, "benchmarks": runs}, sys.stdout, indent=1)


if __name__ == "__main__":
    main()
