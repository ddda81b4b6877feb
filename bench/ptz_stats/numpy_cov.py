"""Times numpy.cov on data of the basic-statistics bench's shape.

usage: numpy_cov.py P N COLUMNS REPEATS
Prints the best wall time in milliseconds, then the BLAS kernel numpy's
library reports (when threadpoolctl is there). COLUMNS 1: observation-major
n x p data (rowvar False); 0: component-major p x n data.
"""
import sys
import time

import numpy as np


def main():
    p, n, columns, repeats = (int(a) for a in sys.argv[1:5])
    rng = np.random.default_rng(1)
    x = rng.normal(3.0, 1.0, size=(n, p) if columns else (p, n))
    best = float("inf")
    for _ in range(repeats):
        t0 = time.perf_counter()
        c = np.cov(x, rowvar=not columns)
        best = min(best, time.perf_counter() - t0)
    assert c.shape == (p, p)
    print(f"{best * 1e3:.3f}")
    try:
        from threadpoolctl import threadpool_info
        print(" ".join(f"{i.get('internal_api')}:{i.get('architecture')}:{i.get('num_threads')}" for i in threadpool_info()))
    except ImportError:
        print("threadpoolctl absent")


if __name__ == "__main__":
    main()
