#!/usr/bin/python3
"""Writes the vector-math section of docs/performance.md and
docs/figures/performance_<family>.svg from
the JSON output of kex_bench's Peers benchmarks (bench_peers.cc).

    kex_bench --benchmark_filter=Peers --benchmark_format=json \\
        --benchmark_enable_random_interleaving=true > peers.json
    /usr/bin/python3 bench/kex/perf_report.py peers.json

Each benchmark runs several repetitions; the page uses the fastest one (the
least disturbed by other work on the machine). Kernel levels and costs come
from the function table, include/orvu_kex_functions.def.
"""
import json
import math
import re
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "bench"))
from page_sections import put_section  # noqa: E402

TABLE = ROOT / "include" / "orvu_kex_functions.def"
FIGURES = ROOT / "docs" / "figures"
COMMAND = "sh tools/build.sh perf-report"

# Sections in page order: title and a note on the arguments (the argument
# mixes themselves are in bench_peers.cc). A family missing here is listed
# after these under its own name.
FAMILIES = {
    "explog": ("Exponentials and logarithms",
               "Arguments: exp uniform in [-80, 80] (float) or [-700, 700] (double); expm1 the same "
               "with a quarter of small arguments, |x| down to 2^-20 (float) or 2^-40 (double); "
               "logarithms over every positive normal exponent; log1p half near zero (|x| from "
               "2^-30 to 1/2), a quarter in (-1, 0), a quarter from 1 to 2^60."),
    "trig": ("Trigonometric functions",
             "Arguments: Sin, Cos and Tan uniform in [-π, π] (rows *.pi*) and in [-10^5, 10^5] (rows "
             "*.1e5*; double lanes beyond 90112 and single lanes beyond 2^17 take the long reduction); "
             "Asin and Acos uniform in [-1, 1]; Atan half uniform in [-4, 4], half of every magnitude "
             "from 2^-20 (2^-40) to 2^20 (2^40); Atan2 both arguments uniform in [-10, 10]."),
    "power": ("Powers and roots",
              "Arguments: Sqrt, InvSqrt over every positive normal exponent; Cbrt, InvCbrt and Pow2o3 the "
              "same with both signs; Pow3o2 positive, exponents ±80 (float) or ±680 (double); Pow with x "
              "of exponent ±5 (±20) and y uniform in [-20, 20] ([-40, 40]); Powx with y = 2.375; Hypot "
              "both arguments of both signs and exponents ±60 (±500). The scalar peers of InvSqrt, "
              "InvCbrt, Pow2o3 and Pow3o2 are loops over glibc's sqrt and cbrt (1/sqrt(x), 1/cbrt(x), "
              "cbrt(x)², x·sqrt(x))."),
    "hyperbolic": ("Hyperbolic functions",
                   "Arguments: Sinh and Cosh half uniform in [-88, 88] ([-700, 700]), half of magnitudes "
                   "2^-20 (2^-40) to 4; Tanh half in [-10, 10] ([-20, 20]), half small; Asinh of both "
                   "signs over magnitudes 2^-30 to 2^60 (2^-60 to 2^600); Acosh half in [1, 2], half up "
                   "to 2^60 (2^600); Atanh mostly uniform in (-1, 1), a quarter small."),
    "erfgamma": ("Error functions and gamma",
                 "Arguments: Erf in [-5, 5] ([-6, 6]) with a quarter small; Erfc in [-3, 10] ([-5, 26]) "
                 "with a quarter small; CdfNorm in [-12, 6] ([-37, 8]); ErfInv in (-1, 1); LGamma and "
                 "TGamma over the negative and positive axis up to the overflow region. CdfNorm and "
                 "ErfInv have no glibc or SLEEF routine: their scalar peer is Boost.Math (the normal "
                 "distribution's cdf, erf_inv) in a loop."),
    "carith": ("Complex arithmetic",
               "Arguments: both components uniform in [-10, 10]. Mul, MulByConj, Div and Abs are also "
               "timed against a plain loop of the textbook formula compiled for SSE4.1 (the *vector "
               "loop* column); Abs and Arg against glibc's cabs and carg, CIS against cexp of i·a."),
    "ctransc": ("Complex functions",
                "Arguments: both components uniform in [-10, 10] (Pow and Powx: exponents in [-2, 2]). "
                "The scalar loop calls glibc's function of the same name (cexp, clog, csqrt, csin, ...)."),
}
# Top-level sections of docs/performance.md: each family is written to one,
# and a run rewrites only the sections of the families it measured.
COMPLEX = {"carith", "ctransc"}
SECTIONS = {False: "# Performance of the vector-math kernels", True: "# Performance of the complex vector-math kernels"}
FLAVOURS = ("HA", "LA", "EP")
SLOT_INDEX = {"LA": 0, "HA": 1, "EP": 2}

ROW = re.compile(r"^KEX_FN\(\s*\d\s*,\s*(\w+)\s*,\s*(\w)\s*,\s*(\w+)\s*,\s*\w+\s*,"
                 r"\s*\((\w+),\s*(\w+),\s*([\d.]+)f?\)\s*,\s*\((\w+),\s*(\w+),\s*([\d.]+)f?\)\s*,"
                 r"\s*\((\w+),\s*(\w+),\s*([\d.]+)f?\)\s*\)")


def read_table():
    """(type, name) -> [(level, tag, cost)] for slots LA, HA, EP."""
    table = {}
    for line in TABLE.read_text().splitlines():
        m = ROW.match(line)
        if m:
            g = m.groups()
            table[(g[1], g[2])] = [(g[3 + 3 * k], g[4 + 3 * k], float(g[5 + 3 * k])) for k in range(3)]
    return table


def read_runs(paths):
    """(family, function, contender, n) -> fastest repetition; contender labels."""
    best, labels, errors, context = {}, {}, {}, {}
    for path in paths:
        data = json.loads(Path(path).read_text())
        context = context or data.get("context", {})
        for b in data["benchmarks"]:
            parts = b["run_name"].split("/")
            if b.get("run_type", "iteration") != "iteration" or len(parts) < 5 or parts[0] != "Peers":
                continue
            key = (parts[1], parts[2], parts[3], int(parts[4]))
            if b.get("error_occurred"):
                errors[key] = b.get("error_message", "failed")
                continue
            run = {"cyc": b["cyc_per_elem"], "eps": b["elem_per_s"]}
            if key not in best or run["cyc"] < best[key]["cyc"]:
                best[key] = run
            if b.get("label"):
                labels[key[:3]] = b["label"]
    return best, labels, errors, context


# Scalar peers that are not a glibc routine of the same name (bench_peers.cc,
# kLocalScalars): what the loop calls.
LOCAL_PEERS = {"invsqrt": "glibc 1/sqrt", "invcbrt": "glibc 1/cbrt", "pow2o3": "glibc cbrt²",
               "pow3o2": "glibc x·sqrt", "cdfnorm": "Boost.Math cdf", "erfinv": "Boost.Math erf_inv",
               "erfcinv": "Boost.Math erfc_inv", "cdfnorminv": "Boost.Math quantile"}


def scalar_peer(name):
    stem = name[:-1] if name.endswith("f") and name[:-1] in LOCAL_PEERS else name
    return LOCAL_PEERS.get(stem, "glibc " + name if name else "")


def fmt(x, digits=2):
    return "–" if x is None else f"{x:.{digits}f}"


def family_rows(family, best, labels, table):
    """One row per function, type, flavour and size that has a measurement of ours."""
    rows = []
    sizes = sorted({k[3] for k in best if k[0] == family})
    funcs = sorted({k[1] for k in best if k[0] == family}, key=lambda f: (f[1:], "sdcz".find(f[0])))
    libms = {(k[1], k[3]): run for k, run in best.items() if k[0] == family and k[2].startswith("libm.")}
    for fn in funcs:
        slots = table.get((fn[0], fn[1:]))
        for flavour in FLAVOURS:
            ours_key = (family, fn, "ours." + flavour)
            for n in sizes:
                ours = best.get(ours_key + (n,))
                if not ours:
                    continue
                sleef_name = labels.get(ours_key, "")
                sleef = best.get((family, fn, "sleef." + sleef_name, n)) if sleef_name else None
                if sleef is None and (family, fn, "loop.plain", n) in best:
                    sleef, sleef_name = best[(family, fn, "loop.plain", n)], "plain loop"
                libm = libms.get((fn, n))
                libm_name = next((k[2][5:] for k in best if k[0] == family and k[1] == fn
                                  and k[2].startswith("libm.")), "")
                peers = [p["cyc"] for p in (sleef, libm) if p]
                level, tag, cost = slots[SLOT_INDEX[flavour]] if slots else ("?", "?", None)
                rows.append({
                    "fn": fn, "flavour": flavour, "kernel": f"{level} {tag}", "cost": cost, "n": n,
                    "ours": ours["cyc"], "ours_eps": ours["eps"],
                    "sleef": sleef["cyc"] if sleef else None, "sleef_name": sleef_name,
                    "libm": libm["cyc"] if libm else None, "libm_name": scalar_peer(libm_name),
                    "ratio": ours["cyc"] / min(peers) if peers else None,
                })
    return rows


def table_md(rows):
    out = ["| function | type | flavour | kernel | table cost | ours cyc/elem | ours Melem/s "
           "| vector peer cyc/elem | vector peer (SLEEF or plain loop) | scalar cyc/elem | scalar routine | ratio to faster peer | n |",
           "|---|---|---|---|--:|--:|--:|--:|---|--:|---|--:|--:|"]
    for r in rows:
        out.append(f"| {r['fn'][1:]} | {r['fn'][0]} | {r['flavour']} | {r['kernel']} | {fmt(r['cost'])} "
                   f"| {fmt(r['ours'])} | {r['ours_eps'] / 1e6:.0f} | {fmt(r['sleef'])} | {r['sleef_name'] or '–'} "
                   f"| {fmt(r['libm'])} | {r['libm_name'] or '–'} | {fmt(r['ratio'])} | {r['n']} |")
    return "\n".join(out)


def summary(rows):
    """Geometric mean of the ratio per flavour at the largest n."""
    n = max(r["n"] for r in rows)
    parts = []
    for flavour in FLAVOURS:
        ratios = [r["ratio"] for r in rows if r["n"] == n and r["flavour"] == flavour and r["ratio"]]
        if ratios:
            parts.append(f"{flavour} {math.exp(sum(map(math.log, ratios)) / len(ratios)):.2f}")
    return f"Geometric mean of the ratio to the faster peer at n = {n}: " + ", ".join(parts) + "."


def figure(title, rows, path):
    import matplotlib
    matplotlib.use("Agg")
    matplotlib.rcParams["svg.hashsalt"] = "orvu-performance"
    matplotlib.rcParams["svg.fonttype"] = "none"
    import matplotlib.pyplot as plt

    sizes = sorted({r["n"] for r in rows})
    groups = max(len([r for r in rows if r["n"] == n]) for n in sizes)
    fig, axes = plt.subplots(len(sizes), 1, figsize=(max(8, 0.6 * groups + 2), 3.6 * len(sizes)), squeeze=False)
    for ax, n in zip(axes[:, 0], sizes):
        sel = [r for r in rows if r["n"] == n]
        x = range(len(sel))
        w = 0.27
        for k, (key, label) in enumerate((("ours", "ours"), ("sleef", "vector peer (SLEEF, same level, or plain loop)"),
                                          ("libm", "scalar loop"))):
            ax.bar([i + (k - 1) * w for i in x], [r[key] or 0 for r in sel], w, label=label)
        ax.set_xlim(-0.6, len(sel) - 0.4)
        ax.set_xticks(list(x))
        ax.set_xticklabels([f"{r['fn']}\n{r['flavour']}" for r in sel], fontsize=8)
        ax.set_ylabel("cycles per element")
        ax.set_title(f"{title}, n = {n}", fontsize=10)
        ax.grid(axis="y", alpha=0.3)
        ax.legend(fontsize=8)
    fig.tight_layout()
    path.parent.mkdir(parents=True, exist_ok=True)
    fig.savefig(path, format="svg", metadata={"Date": None})
    plt.close(fig)


def main(argv):
    if len(argv) < 2:
        sys.exit(f"usage: {argv[0]} peers.json [more.json ...]")
    table = read_table()
    best, labels, errors, context = read_runs(argv[1:])
    families = {k[0] for k in best} | {k[0] for k in errors}
    if not families:
        sys.exit("no Peers benchmarks with a cyc_per_elem counter in " + " ".join(argv[1:]))
    order = [f for f in FAMILIES if f in families] + sorted(families - FAMILIES.keys())
    for complex_part in (False, True):
        part = [f for f in order if (f in COMPLEX) == complex_part]
        if part:
            write_section(SECTIONS[complex_part], part, best, labels, errors, context, table)


def write_section(heading, order, best, labels, errors, context, table):
    page = [
        heading,
        "",
        f"Generated by `{COMMAND}` (from the source tree); do not edit by hand.",
        "",
        "Each kernel is called through its entry point (`_kex<t><Fn>_HA`, `_21`/`_50`, `_11`/`_26`) "
        "on the same argument arrays as two peers: SLEEF's vector routine built for the "
        "instruction-set level of the kernel (the SSE2 build for level A2, the SSE4.1 build for "
        "A3 to A5; the 1-ulp class against HA kernels, the 3.5-ulp class against LA and EP where "
        "SLEEF has one), called on the arrays in vector steps, and a scalar routine called "
        "per element in a plain loop (not vectorised): glibc's, or where glibc has none the "
        "routine named in the *scalar routine* column (complex kernels: the *vector loop* is a "
        "plain loop of the formula where one is listed). Arguments lie inside the fast path (a run "
        "in which our kernel reports a special value is listed as not measured).",
        "",
        "*cyc/elem* is time-stamp-counter ticks per element: the ticks of every call of the "
        "timed loop are read, the median call is taken (calls during which the thread lost "
        "the processor do not count) and divided by n. The counter runs at the processor's "
        "nominal rate, not its momentary clock; *Melem/s* is that rate divided by cyc/elem. "
        "Each benchmark runs 5 repetitions (interleaved at random with the others) and the "
        "fastest is shown. *ratio to faster peer* is ours divided by the faster "
        "of the two peers: below 1 we are faster. *table cost* is the cost column of the "
        "function table for that slot. A slot whose kernel tag is not its own flavour runs the "
        "kernel of that flavour. At n = 1000 the same array goes through over and over, so "
        "the processor can learn the data-dependent branches of a scalar routine; n = 100000 "
        "is closer to fresh data.",
        "",
        f"Machine: {context.get('num_cpus', '?')} logical processors at "
        f"{context.get('mhz_per_cpu', '?')} MHz (as reported), shared with other work; run of "
        f"{context.get('date', '?')[:10]}.",
    ]
    for family in order:
        title, note = FAMILIES.get(family, (family, ""))
        rows = family_rows(family, best, labels, table)
        failed = [f"- {k[1]} {k[2]}, n = {k[3]}: {msg}" for k, msg in sorted(errors.items()) if k[0] == family]
        page += ["", f"## {title}"]
        if rows:
            fig_path = FIGURES / f"performance_{family}.svg"
            figure(title, rows, fig_path)
            page += [""] + ([note, ""] if note else []) + [summary(rows), "", table_md(rows), "",
                     f"![{title}: cycles per element](figures/{fig_path.name})"]
        if failed:
            page += ["", "Not measured:", ""] + failed
    put_section(page)


if __name__ == "__main__":
    main(sys.argv)
