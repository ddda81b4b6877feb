"""Times a straightforward numpy EM for the multivariate normal model with
missing entries, on data of the missing-values bench's shape: n observations
of p correlated Gaussian components, each entry of components 1.. missing
with probability 0.2. Observations are grouped by pattern once; every step
regresses each pattern's missing part on its observed part.

usage: numpy_em.py N P STEPS REPEATS
Prints the best wall time of one step in milliseconds, then numpy's version.
"""
import sys
import time

import numpy as np


def data(n, p):
    rng = np.random.default_rng(1)
    x = rng.normal(size=(n, p))
    x[:, 1:] += 0.5 * x[:, :1]
    miss = rng.random((n, p)) < 0.2
    miss[:, 0] = False
    x[miss] = np.nan
    return x


def em(x, steps):
    n, p = x.shape
    miss = np.isnan(x)
    keys, inverse = np.unique(miss, axis=0, return_inverse=True)
    groups = [(k, np.flatnonzero(inverse.ravel() == g)) for g, k in enumerate(keys) if k.any()]
    mu = np.nanmean(x, axis=0)
    sig = np.diag(np.nanvar(x, axis=0))
    z = np.where(miss, mu, x)
    for _ in range(steps):
        acc = np.zeros((p, p))
        for k, rows in groups:
            o, m = ~k, k
            b = np.linalg.solve(sig[np.ix_(o, o)], sig[np.ix_(o, m)]).T
            c = sig[np.ix_(m, m)] - b @ sig[np.ix_(o, m)]
            z[np.ix_(rows, m)] = mu[m] + (z[np.ix_(rows, o)] - mu[o]) @ b.T
            acc[np.ix_(m, m)] += len(rows) * c
        mu = z.mean(axis=0)
        d = z - mu
        sig = (d.T @ d + acc) / n
    return mu, sig


def main():
    n, p, steps, repeats = (int(a) for a in sys.argv[1:5])
    x = data(n, p)
    best = float("inf")
    for _ in range(repeats):
        t0 = time.perf_counter()
        em(x, steps)
        best = min(best, time.perf_counter() - t0)
    print(f"{best * 1e3 / steps:.3f}")
    print(f"numpy {np.__version__}")


if __name__ == "__main__":
    main()
