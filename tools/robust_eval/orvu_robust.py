"""The library's robust routines through ctypes, for the evaluation script.

Data are numpy arrays of shape (n, p), passed in column storage (observation
i's components contiguous). Each call builds its own task.
"""
import ctypes as C
import os

import numpy as np

ROWS, COLUMNS = 0x10000, 0x20000
TBS, BACON, MI = 0x8, 0x20, 0x10


class Library:
    def __init__(self, build_dir):
        for name in ("src/platform/liborvu_serv_c5h1.so", "liborvu_serv_c5h1.so"):
            path = os.path.join(build_dir, name)
            if os.path.exists(path):
                C.CDLL(path, mode=C.RTLD_GLOBAL)
                break
        self.lib = C.CDLL(os.path.join(build_dir, "liborvu_kex_c5h1.so"))
        self.lib.orvu_serv_threading_table.restype = C.c_void_p

    def fn(self, name):
        # getattr: a literal __name inside a class body would be mangled
        return getattr(self.lib, name)

    def _task(self, x, ints):
        n, p = x.shape
        ints.update(p=C.c_int32(p), n=C.c_int32(n), st=C.c_int32(COLUMNS), full=C.c_int32(0))
        task = C.c_void_p()
        st = self.fn("__ptzdSSNewTask")(C.byref(task), C.byref(ints["p"]), C.byref(ints["n"]), C.byref(ints["st"]),
                                      x.ctypes.data_as(C.c_void_p), None, None, None)
        assert st == 0, st
        return task

    def _run(self, fn, task, method):
        return fn(task, C.c_uint32(0), C.c_uint32(0), C.c_int32(method), C.c_int32(0),
                  C.c_void_p(self.lib.orvu_serv_threading_table()))

    def tbs(self, x, params=()):
        """Robust mean and covariance (full) of x by TBS."""
        x = np.ascontiguousarray(x, dtype=np.float64)
        p = x.shape[1]
        ints = {}
        task = self._task(x, ints)
        mean, cov = np.zeros(p), np.zeros((p, p))
        prm = np.array(params, dtype=np.float64) if params else np.zeros(1)
        ints["k"] = C.c_int32(len(params))
        self.fn("__ptzdSSEditRCov")(task, C.byref(ints["full"]), C.byref(ints["k"]), prm.ctypes.data_as(C.c_void_p),
                                  mean.ctypes.data_as(C.c_void_p), cov.ctypes.data_as(C.c_void_p))
        st = self._run(self.lib._ptzdSSRobustCovariance, task, TBS)
        self.fn("__ptzSSDeleteTask")(C.byref(task))
        assert st == 0, st
        return mean, cov

    def bacon(self, x, params=()):
        """0/1 weights of x by BACON (0: outlier)."""
        x = np.ascontiguousarray(x, dtype=np.float64)
        ints = {}
        task = self._task(x, ints)
        w = np.zeros(x.shape[0])
        prm = np.array(params, dtype=np.float64) if params else np.zeros(1)
        ints["k"] = C.c_int32(len(params))
        self.fn("__ptzdSSEditOutDetect")(task, C.byref(ints["k"]), prm.ctypes.data_as(C.c_void_p),
                                       w.ctypes.data_as(C.c_void_p))
        st = self._run(self.lib._ptzdSSOutliersDetection, task, BACON)
        self.fn("__ptzSSDeleteTask")(C.byref(task))
        assert st == 0, st
        return w

    def missing(self, x, m=0, em_iter=500, acc=1e-10, da=10, seed=(1, 0)):
        """EM estimates and the estimates of m imputations' completed data of x (NaN: missing):
        a list of m + 1 (mean, covariance) pairs, the EM estimates first."""
        x = np.ascontiguousarray(x, dtype=np.float64)
        p = x.shape[1]
        ints = {}
        task = self._task(x, ints)
        per = (p + 3) * p // 2
        prm = np.array([em_iter, acc, da, m, np.nan])
        seeds = np.array(seed, dtype=np.float64)
        b = np.zeros((m + 1) * per)
        ints.update(np_=C.c_int32(5), na=C.c_int32(2), nb=C.c_int32(len(b)))
        ptr = lambda a: a.ctypes.data_as(C.c_void_p)
        self.fn("__ptzdSSEditMissingVals")(task, C.byref(ints["np_"]), ptr(prm), None, None, C.byref(ints["na"]),
                                         ptr(seeds), C.byref(ints["nb"]), ptr(b), None, None)
        st = self._run(self.lib._ptzdSSMissingValues, task, MI)
        self.fn("__ptzSSDeleteTask")(C.byref(task))
        assert st == 0, st
        iu = np.triu_indices(p)
        out = []
        for j in range(m + 1):
            v = b[j * per:(j + 1) * per]
            cov = np.zeros((p, p))
            cov[iu] = v[p:]
            out.append((v[:p], cov + np.triu(cov, 1).T))
        return out

