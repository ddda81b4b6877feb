#!/usr/bin/python3
"""Reference Akima splines from scipy.interpolate for the data-fitting tests.

Writes, for each case, the data, the coefficients (ascending powers per cell),
values and first and second derivatives at sites, and integrals. Exits with
status 77 when SciPy is not installed.
"""
import sys

try:
    import numpy as np
    from scipy.interpolate import Akima1DInterpolator
except ImportError:
    sys.exit(77)


def line(f, name, values):
    f.write(name + ' ' + ' '.join(repr(float(v)) for v in values) + '\n')


def main(path):
    rng = np.random.default_rng(2024)
    nx = 25
    first, last = 2, nx - 4  # cells whose node slopes use no end rule
    with open(path, 'w') as f:
        for uniform in (0, 1):
            x = np.linspace(-2.0, 10.0, nx) if uniform else np.cumsum(rng.uniform(0.5, 1.5, nx)) - 3.0
            y = rng.normal(size=nx)
            s = Akima1DInterpolator(x, y)
            lo, hi = x[first], x[last]
            f.write('case %d %d %d %d\n' % (uniform, nx, first, last))
            line(f, 'x', x)
            line(f, 'y', y)
            line(f, 'c', s.c[::-1].T.ravel())  # per cell: c0 c1 c2 c3
            sites = np.sort(rng.uniform(lo, hi, 40))
            line(f, 'sites', sites)
            for q in range(3):
                line(f, 'd%d' % q, s(sites, q))
            a = rng.uniform(lo, hi, 20)
            b = rng.uniform(lo, hi, 20)
            line(f, 'a', a)
            line(f, 'b', b)
            line(f, 'int', [s.integrate(u, v) for u, v in zip(a, b)])


if __name__ == '__main__':
    main(sys.argv[1])
