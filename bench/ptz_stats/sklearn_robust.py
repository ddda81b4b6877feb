"""Times scikit-learn's MinCovDet or EllipticEnvelope on data of the robust
bench's shape: n observations of p correlated Gaussian components, the
first 10 % moved to a far cluster.

usage: sklearn_robust.py N P mcd|envelope REPEATS
Prints the best wall time in milliseconds, then scikit-learn's version.
"""
import sys
import time

import numpy as np
import sklearn
from sklearn.covariance import EllipticEnvelope, MinCovDet


def data(n, p):
    rng = np.random.default_rng(1)
    x = rng.normal(size=(n, p))
    x[:, 1:] += 0.5 * x[:, :1]
    x[: n // 10] += 20.0
    return x


def main():
    n, p, which, repeats = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], int(sys.argv[4])
    x = data(n, p)
    best = float("inf")
    for _ in range(repeats):
        t0 = time.perf_counter()
        if which == "mcd":
            MinCovDet(random_state=0).fit(x)
        else:
            EllipticEnvelope(contamination=0.1, random_state=0).fit(x).predict(x)
        best = min(best, time.perf_counter() - t0)
    print(f"{best * 1e3:.3f}")
    print(f"scikit-learn {sklearn.__version__}")


if __name__ == "__main__":
    main()
