#!/usr/bin/python3
"""Reference splines from scipy.interpolate for the data-fitting tests.

Writes, for each case, the data, the coefficients (ascending powers per cell),
values and first and second derivatives at sites, and integrals. Exits with
status 77 when SciPy is not installed.
"""
import sys

try:
    import numpy as np
    from scipy.interpolate import Akima1DInterpolator, CubicSpline
except ImportError:
    sys.exit(77)

BC = {1: 'not-a-knot', 2: 'natural', 12: ((1, 0.7), (1, -0.4)), 36: ((1, 0.7), (2, -0.4)),
      24: ((2, 0.7), (1, -0.4)), 48: ((2, 0.7), (2, -0.4)), 64: 'periodic'}


def line(f, name, values):
    f.write(name + ' ' + ' '.join(repr(float(v)) for v in values) + '\n')


def main(path):
    rng = np.random.default_rng(2024)
    nx = 25
    with open(path, 'w') as f:
        for family in ('natural', 'akima'):
            for uniform in (0, 1):
                for bc in (BC if family == 'natural' else (0,)):
                    x = np.linspace(-2.0, 10.0, nx) if uniform else np.cumsum(rng.uniform(0.5, 1.5, nx)) - 3.0
                    y = rng.normal(size=nx)
                    if bc == 64:
                        y[-1] = y[0]
                    if family == 'natural':
                        s = CubicSpline(x, y, bc_type=BC[bc])
                        first, last = 0, nx - 1
                        lo, hi = (x[0], x[-1]) if bc == 64 else (x[0] - 0.5, x[-1] + 0.5)
                    else:
                        s = Akima1DInterpolator(x, y)
                        first, last = 2, nx - 4  # cells whose node slopes use no end rule
                        lo, hi = x[first], x[last]
                    f.write('case %s %d %d %d %d %d\n' % (family, bc, uniform, nx, first, last))
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
