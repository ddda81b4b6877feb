#!/usr/bin/python3
"""Writes the vector-math section of docs/performance.md and
docs/figures/performance_<family>.svg from
the JSON output of kex_bench's Peers benchmarks (bench_peers.cc), one run per
vector level:

    ORVU_KEXLEVEL=avx2 kex_bench --benchmark_filter=Peers --benchmark_format=json \\
        --benchmark_context=level=avx2 --benchmark_enable_random_interleaving=true > peers_avx2.json
    /usr/bin/python3 bench/kex/perf_report.py peers_sse.json peers_avx2.json peers_avx512.json

Each benchmark runs several repetitions; the page uses the fastest one (the
least disturbed by other work on the machine). Kernel levels and costs come
from the function table, include/orvu_kex_functions.def. Our contenders are
named ours.<level>.<flavour>; a plain ours.<flavour> (the complex benchmarks)
takes the level from the run's context.
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
               "peer* column); Abs and Arg against glibc's cabs and carg, CIS against cexp of i·a."),
    "ctransc": ("Complex functions",
                "Arguments: both components uniform in [-10, 10] (Pow and Powx: exponents in [-2, 2]). "
                "The scalar loop calls glibc's function of the same name (cexp, clog, csqrt, csin, ...)."),
}
# Top-level sections of docs/performance.md: each family is written to one,
# and a run rewrites only the sections of the families it measured.
COMPLEX = {"carith", "ctransc"}
SECTIONS = {False: "# Performance of the vector-math kernels", True: "# Performance of the complex vector-math kernels"}
FLAVOURS = ("HA", "LA", "EP")
LEVELS = ("sse", "avx2", "avx512")
LEVEL_TITLE = {"sse": "SSE", "avx2": "AVX2", "avx512": "AVX-512"}
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


def peer_level(contender):
    """The vector level a contender belongs to: ours.<level>.<flavour>, SLEEF's and
    libmvec's routines by their width; scalar and plain loops count as SSE."""
    kind, _, name = contender.partition(".")
    if kind == "ours":
        return name.split(".")[0]
    if name.endswith("avx512f") or name.startswith("_ZGVe"):
        return "avx512"
    if name.endswith("avx2") or name.startswith("_ZGVd"):
        return "avx2"
    return "sse"


def read_runs(paths):
    """(family, function, contender, n) -> fastest repetition; contender labels."""
    best, labels, errors, context = {}, {}, {}, {}
    for path in paths:
        data = json.loads(Path(path).read_text())
        context = context or dict(data.get("context", {}))
        level = data.get("context", {}).get("level", "sse")
        context.setdefault("dates", set()).add(data.get("context", {}).get("date", "?")[:10])
        for b in data["benchmarks"]:
            parts = b["run_name"].split("/")
            if b.get("run_type", "iteration") != "iteration" or len(parts) < 5 or parts[0] != "Peers":
                continue
            if parts[3] in ("ours." + f for f in FLAVOURS):
                parts[3] = f"ours.{level}.{parts[3][5:]}"
            key = (parts[1], parts[2], parts[3], int(parts[4]))
            context.setdefault("repetitions", {}).setdefault(key[0], set()).add(b.get("repetitions", 1))
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
    """One row per function, type, flavour, size and level that has a measurement of ours.
    Peers are those of the row's level: at SSE the vector peer (SLEEF, or a plain
    loop) and the scalar loop, at a wide level SLEEF and libmvec of that width."""
    rows = []
    sizes = sorted({k[3] for k in best if k[0] == family})
    funcs = sorted({k[1] for k in best if k[0] == family}, key=lambda f: (f[1:], "sdcz".find(f[0])))
    for fn in funcs:
        slots = table.get((fn[0], fn[1:]))
        # the second peer of each level: the scalar loop at SSE, libmvec at the wide levels
        second = {}
        for k in best:
            if k[0] == family and k[1] == fn and k[2].split(".")[0] in ("libm", "libmvec"):
                second[(peer_level(k[2]), k[3])] = (best[k], k[2].partition(".")[2])
        for flavour in FLAVOURS:
            for n in sizes:
                sse = best.get((family, fn, f"ours.sse.{flavour}", n))
                for level in LEVELS:
                    ours_key = (family, fn, f"ours.{level}.{flavour}")
                    ours = best.get(ours_key + (n,))
                    if not ours:
                        continue
                    sleef_name = labels.get(ours_key, "")
                    sleef = best.get((family, fn, "sleef." + sleef_name, n)) if sleef_name else None
                    if sleef is None and level == "sse" and (family, fn, "loop.plain", n) in best:
                        sleef, sleef_name = best[(family, fn, "loop.plain", n)], "plain loop"
                    other, other_name = second.get((level, n), (None, ""))
                    peers = [p["cyc"] for p in (sleef, other) if p]
                    isa, tag, cost = slots[SLOT_INDEX[flavour]] if slots else ("?", "?", None)
                    rows.append({
                        "fn": fn, "flavour": flavour, "level": level, "kernel": f"{isa} {tag}", "cost": cost,
                        "n": n, "ours": ours["cyc"], "ours_eps": ours["eps"],
                        "sleef": sleef["cyc"] if sleef else None, "sleef_name": sleef_name,
                        "other": other["cyc"] if other else None,
                        "other_name": ("libmvec " + other_name if level != "sse" else scalar_peer(other_name))
                        if other else "",
                        "ratio": ours["cyc"] / min(peers) if peers else None,
                        "speedup": sse["cyc"] / ours["cyc"] if sse and level != "sse" else None,
                    })
    return rows


def table_md(rows):
    out = ["| function | type | flavour | level | kernel | table cost | ours cyc/elem | ours Melem/s "
           "| vector peer cyc/elem | vector peer (SLEEF or plain loop) | second peer cyc/elem "
           "| second peer (scalar loop or libmvec) | ratio to faster peer | speed-up over SSE | n |",
           "|---|---|---|---|---|--:|--:|--:|--:|---|--:|---|--:|--:|--:|"]
    for r in rows:
        out.append(f"| {r['fn'][1:]} | {r['fn'][0]} | {r['flavour']} | {LEVEL_TITLE.get(r['level'], r['level'])} "
                   f"| {r['kernel']} | {fmt(r['cost'])} | {fmt(r['ours'])} | {r['ours_eps'] / 1e6:.0f} "
                   f"| {fmt(r['sleef'])} | {r['sleef_name'] or '–'} | {fmt(r['other'])} | {r['other_name'] or '–'} "
                   f"| {fmt(r['ratio'])} | {fmt(r['speedup'])} | {r['n']} |")
    return "\n".join(out)


def geomean(xs):
    return math.exp(sum(map(math.log, xs)) / len(xs)) if xs else None


def summary(rows):
    """Geometric means at the largest n: the ratio per level and flavour, and the
    speed-up of each wide level over SSE."""
    n = max(r["n"] for r in rows)
    at_n = [r for r in rows if r["n"] == n]
    lines = []
    for level in LEVELS:
        parts = []
        for flavour in FLAVOURS:
            g = geomean([r["ratio"] for r in at_n if r["level"] == level and r["flavour"] == flavour and r["ratio"]])
            if g:
                parts.append(f"{flavour} {g:.2f}")
        speedup = geomean([r["speedup"] for r in at_n if r["level"] == level and r["speedup"]])
        if parts or speedup:
            lines.append(f"- {LEVEL_TITLE.get(level, level)}: " + (", ".join(parts) or "no peer")
                         + (f"; speed-up over SSE {speedup:.2f}" if speedup else ""))
    return [f"Geometric means at n = {n} of the ratio to the faster peer of the same width (per flavour) "
            "and of our speed-up over the SSE kernels:", ""] + lines


# Bars of the figures: (level, row field, legend, colour); ours in blues, SLEEF
# in oranges, libmvec in greens, darker for wider vectors.
BARS = (("sse", "ours", "ours SSE", "#9ecae1"), ("avx2", "ours", "ours AVX2", "#4292c6"),
        ("avx512", "ours", "ours AVX-512", "#08519c"), ("sse", "sleef", "SLEEF SSE (or plain loop)", "#fdae6b"),
        ("avx2", "sleef", "SLEEF AVX2", "#f16913"), ("avx512", "sleef", "SLEEF AVX-512", "#a63603"),
        ("avx2", "other", "libmvec AVX2", "#74c476"), ("avx512", "other", "libmvec AVX-512", "#006d2c"))


def figure(title, rows, path):
    """Cycles per element at the largest n, one panel per flavour, log scale."""
    import matplotlib
    matplotlib.use("Agg")
    matplotlib.rcParams["svg.hashsalt"] = "orvu-performance"
    matplotlib.rcParams["svg.fonttype"] = "none"
    import matplotlib.pyplot as plt

    n = max(r["n"] for r in rows)
    at = {(r["fn"], r["flavour"], r["level"]): r for r in rows if r["n"] == n}
    flavours = [f for f in FLAVOURS if any(k[1] == f for k in at)]
    bars = [b for b in BARS if any(k[2] == b[0] and at[k][b[1]] for k in at)]
    funcs = list(dict.fromkeys(r["fn"] for r in rows if r["n"] == n))
    fig, axes = plt.subplots(len(flavours), 1, figsize=(max(8, 0.22 * len(bars) * len(funcs) + 2), 3.8 * len(flavours)),
                             squeeze=False)
    w = 0.8 / len(bars)
    for ax, flavour in zip(axes[:, 0], flavours):
        for k, (level, field, label, colour) in enumerate(bars):
            ys = [(at.get((fn, flavour, level)) or {}).get(field) or float("nan") for fn in funcs]
            ax.bar([i + (k - (len(bars) - 1) / 2) * w for i in range(len(funcs))], ys, w, label=label, color=colour)
        ax.set_yscale("log")
        ax.set_xlim(-0.6, len(funcs) - 0.4)
        ax.set_xticks(range(len(funcs)))
        ax.set_xticklabels([f"{fn[1:]}\n{fn[0]}" for fn in funcs], fontsize=8)
        ax.set_ylabel("cycles per element")
        ax.set_title(f"{title}, {flavour}, n = {n}", fontsize=10)
        ax.grid(axis="y", which="both", alpha=0.3)
        ax.legend(fontsize=7, ncol=len(bars) // 2 + 1)
    fig.tight_layout()
    path.parent.mkdir(parents=True, exist_ok=True)
    fig.savefig(path, format="svg", metadata={"Date": None})
    plt.close(fig)


def wide_filter(table):
    """The benchmark filter of a wide run: our kernels and the peers of the wide
    width at n = 100000, for the rows with at least one kernel above level A0
    (A0 kernels, x87 or element by element, have no wide copy)."""
    names = sorted(t + fn for (t, fn), slots in table.items() if any(s[0] != "A0" for s in slots))
    return f"^Peers/[^/]+/({'|'.join(names)})([.][^/]+)?/(ours|sleef|libmvec)[.][^/]+/100000(/|$)"


def main(argv):
    if argv[1:] == ["--wide-filter"]:
        print(wide_filter(read_table()))
        return
    if len(argv) < 2:
        sys.exit(f"usage: {argv[0]} peers.json [more.json ...] | --wide-filter")
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
    counts = sorted(set().union(*(context["repetitions"].get(f, set()) for f in order)))
    reps = " or ".join(map(str, counts)) or "?"
    page = [
        heading,
        "",
        f"Generated by `{COMMAND}` (from the source tree); do not edit by hand.",
        "",
        "The entry points run the widest vector level the processor and the operating system "
        "support: AVX-512 (16 floats or 8 doubles per vector), else AVX2 (8 or 4), else SSE (4 "
        "or 2). The wide kernels are copies of the SSE kernels over wider vectors and give the "
        "same results bit for bit. The environment variable `ORVU_KEXLEVEL` (`sse`, `avx2`, "
        "`avx512`), read when the library is loaded, caps the level; the page is made of one run "
        "per level with the variable set, and the *level* column tells which run a row comes "
        "from. The *kernel* column names the SSE kernel of the slot (level and accuracy tag); at "
        "AVX2 and AVX-512 its wide copy runs. The wide levels are measured at n = 100000 and only "
        "for rows with a kernel above the generic level (x87 and element-by-element kernels have "
        "no wide copy). Our wide kernels use no fused multiply-add, so that they return the SSE "
        "kernels' bits; the SLEEF and libmvec routines of those widths do use it.",
        "",
        "Each kernel is called through its entry point (`_kex<t><Fn>_HA`, `_21`/`_50`, `_11`/`_26`) "
        "on the same argument arrays as the peers of its level. At SSE: SLEEF's vector routine "
        "built for the instruction-set level of the kernel (the SSE2 build for level A2, the "
        "SSE4.1 build for A3 to A5), called on the arrays in vector steps, and a scalar routine "
        "called per element in a plain loop (not vectorised): glibc's, or where glibc has none the "
        "routine named in the *second peer* column (complex kernels: the *vector peer* is a "
        "plain loop of the formula where one is listed). At AVX2 and AVX-512: SLEEF's routine of "
        "that width (`avx2`, `avx512f` builds) and glibc's libmvec routine of that width "
        "(`_ZGVdN8v_expf`, `_ZGVeN8v_exp`, ...), both called on the arrays in vector steps "
        "from a loop compiled for that instruction set; libmvec has no square root, gamma, "
        "inverse error or normal distribution functions. SLEEF's 1-ulp class runs against HA "
        "kernels, its 3.5-ulp class against LA and EP where SLEEF has one. Arguments lie inside "
        "the fast path (a run in which our kernel reports a special value is listed as not measured).",
        "",
        "*cyc/elem* is time-stamp-counter ticks per element: the ticks of every call of the "
        "timed loop are read, the median call is taken (calls during which the thread lost "
        "the processor do not count) and divided by n. The counter runs at the processor's "
        "nominal rate, not its momentary clock; *Melem/s* is that rate divided by cyc/elem. "
        f"Each benchmark runs {reps} repetitions (interleaved at random "
        "with the others) and the fastest is shown. *ratio to faster peer* is ours divided by the "
        "faster of the two peers of the same level: below 1 we are faster. *speed-up over SSE* is "
        "our SSE kernel's cycles divided by the wide kernel's. *table cost* is the cost column of the "
        "function table for that slot. A slot whose kernel tag is not its own flavour runs the "
        "kernel of that flavour. At n = 1000 the same array goes through over and over, so "
        "the processor can learn the data-dependent branches of a scalar routine; n = 100000 "
        "is closer to fresh data.",
        "",
        f"Machine: {context.get('num_cpus', '?')} logical processors at "
        f"{context.get('mhz_per_cpu', '?')} MHz (as reported), shared with other work; "
        f"run{'s' if len(context['dates']) > 1 else ''} of {', '.join(sorted(context['dates']))}.",
    ]
    for family in order:
        title, note = FAMILIES.get(family, (family, ""))
        rows = family_rows(family, best, labels, table)
        failed = [f"- {k[1]} {k[2]}, n = {k[3]}: {msg}" for k, msg in sorted(errors.items()) if k[0] == family]
        page += ["", f"## {title}"]
        if rows:
            fig_path = FIGURES / f"performance_{family}.svg"
            figure(title, rows, fig_path)
            page += [""] + ([note, ""] if note else []) + summary(rows) + ["", table_md(rows), "",
                     f"![{title}: cycles per element](figures/{fig_path.name})"]
        if failed:
            page += ["", "Not measured:", ""] + failed
    put_section(page)


if __name__ == "__main__":
    main(sys.argv)
