"""Runs the basic-statistics bench once and prints its ratios.

usage: ratios.py BENCH_BINARY [extra benchmark flags]
   or: ratios.py --json FILE   (the saved output of an earlier run)
Per row (p, storage, estimate, method): our one-thread time over the
one-thread dsyrk, our two-thread speed-up, numpy.cov's time over our
two-thread time, and the two-pass loop's time over our one-thread time. The
best of the repetitions is taken (the machine may be shared); times are wall
times, and for the one-thread runs also CPU times.
"""
import json
import subprocess
import sys


def main():
    if sys.argv[1] == "--json":
        with open(sys.argv[2]) as f:
            out = f.read()
    else:
        out = subprocess.run([sys.argv[1], "--benchmark_format=json", *sys.argv[2:]],
                             check=True, capture_output=True, text=True).stdout
    best = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        name = b["run_name"].split("/iterations")[0]
        real, cpu = b["real_time"], b["cpu_time"]
        old = best.get(name)
        best[name] = (min(real, old[0]), min(cpu, old[1])) if old else (real, cpu)
        if "label" in b:
            best[name + "#label"] = b["label"]
    print("p    storage  est  method    1t ms (cpu)     vs dsyrk (cpu)  2t/1t speed  vs numpy  vs two-pass")
    for p in (10, 100, 500):
        for cols in (0, 1):
            dsyrk = best.get(f"BM_Dsyrk/{p}/{cols}")
            numpy = best.get(f"BM_NumpyCov/{p}/{cols}")
            two = best.get(f"BM_TwoPass/{p}/{cols}")
            for cor in (0, 1):
                for method, mname in ((2, "one-pass"), (1, "fast")):
                    one = best.get(f"BM_Orvu/{p}/{cols}/{cor}/{method}/1")
                    duo = best.get(f"BM_Orvu/{p}/{cols}/{cor}/{method}/2")
                    if not one or not duo:
                        continue
                    nan = float("nan")
                    vs_dsyrk = f"{one[0] / dsyrk[0]:5.2f} ({one[1] / dsyrk[1]:4.2f})" if dsyrk else "  nan"
                    vs_numpy = numpy[0] / duo[0] if numpy else nan
                    vs_two = two[0] / one[0] if two else nan
                    print(f"{p:<4} {'columns' if cols else 'rows':8} {'cor' if cor else 'cov':4} {mname:9} "
                          f"{one[0]:7.0f} ({one[1]:5.0f})  {vs_dsyrk:14}  {one[0] / duo[0]:5.2f}        "
                          f"{vs_numpy:6.2f}    {vs_two:6.2f}")
    for p in (10, 100, 500):
        for cols in (0, 1):
            key = f"BM_NumpyCov/{p}/{cols}"
            if key in best:
                print(f"numpy p={p} columns={cols}: {best[key][0]:.0f} ms, {best.get(key + '#label', '')}")
            if f"BM_Dsyrk/{p}/{cols}" in best:
                print(f"dsyrk p={p} columns={cols}: {best[f'BM_Dsyrk/{p}/{cols}'][0]:.0f} ms")


if __name__ == "__main__":
    main()
