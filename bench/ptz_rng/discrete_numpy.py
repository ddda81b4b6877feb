#!/usr/bin/python3
"""numpy's Generator (PCG64) on the cases of discrete_bench.cc: the
per-variate cost of one call of n = 10^6 returning a new array (numpy has no
`out=` for its discrete distributions). Best of 7 timed calls. Writes Google
Benchmark-style JSON (run names <case>/numpy_pcg64/<n>) for discrete_report.py:

    /usr/bin/python3 bench/ptz_rng/discrete_numpy.py > discrete_numpy.json
"""
import json
import sys
import timeit

import numpy as np

N = 1000000
g = np.random.Generator(np.random.PCG64(5489))
mixed = np.resize(np.array([0.5, 5.0, 40.0, 150.0]), N)


def cases():
    c = {"Uniform_0_1000": lambda: g.integers(0, 1000, N, dtype=np.int32),
         # numpy has no Bernoulli: a binomial with one trial
         "Bernoulli_0.3": lambda: g.binomial(1, 0.3, N)}
    for p in ("0.30", "0.01"):
        c[f"Geometric_{p}"] = lambda p=float(p): g.geometric(p, N)
    for nt, p in ((10, "0.3"), (100, "0.2"), (100, "0.4"), (100000, "0.4")):
        c[f"Binomial_{nt}_{p}"] = lambda nt=nt, p=float(p): g.binomial(nt, p, N)
    for l, s, m in ((30, 7, 12), (200, 79, 99), (2000, 800, 990), (1000000, 400000, 300000)):
        c[f"Hypergeometric_{l}_{s}_{m}"] = lambda l=l, s=s, m=m: g.hypergeometric(m, l - m, s, N)
    for name, lam in (("Poisson_2.000", 2.0), ("Poisson_26.00", 26.0), ("Poisson_30.00", 30.0),
                      ("Poisson_10000", 1e4), ("PoisNorm_0.500", 0.5), ("PoisNorm_50.00", 50.0),
                      ("PoisNorm_10000", 1e4)):
        c[name] = lambda lam=lam: g.poisson(lam, N)
    c["PoissonV_mixed"] = lambda: g.poisson(mixed)
    for a in ("0.5", "3", "100"):
        c[f"Negbinomial_{a}_0.3"] = lambda a=float(a): g.negative_binomial(a, 0.3, N)
    return c


def main():
    runs = []
    for name, f in cases().items():
        best = min(timeit.repeat(f, number=1, repeat=7))
        runs.append({"name": f"{name}/numpy_pcg64/{N}", "run_name": f"{name}/numpy_pcg64/{N}",
                     "run_type": "iteration", "items_per_second": N / best,
                     "cpu_time": best * 1e6, "time_unit": "us"})
    json.dump({"context": {"numpy": np.__version__}, "benchmarks": runs}, sys.stdout, indent=1)


if __name__ == "__main__":
    main()
