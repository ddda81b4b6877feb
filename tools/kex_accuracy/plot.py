"""Draws one figure per kernel family from the table kex_accuracy writes (--tsv):
the maximum error in ulps of each function and flavour beside SLEEF's and
glibc's, on a log scale.

    /usr/bin/python3 tools/kex_accuracy/plot.py build/accuracy/accuracy.tsv docs/figures
"""
import csv
import math
import os
import sys

import matplotlib

matplotlib.use("svg")
import matplotlib.pyplot as plt  # noqa: E402

FLOOR = 1e-2  # exact results are drawn at this height
SERIES = [("HA", "#1f4e79"), ("LA", "#4f81bd"), ("EP", "#9dc3e6"),
          ("SLEEF", "#c55a11"), ("SLEEF u35", "#f4b183"), ("glibc", "#548235")]


def value(text):
    v = float(text)
    return None if math.isnan(v) else max(v, FLOOR)


def main(tsv, outdir):
    rows = list(csv.DictReader(open(tsv), delimiter="\t"))
    # Families whose every result is exact and without peers get no figure.
    families = sorted({r["family"] for r in rows if float(r["max_ulp"]) > 0 or r["sleef_name"] != "-"})
    os.makedirs(outdir, exist_ok=True)
    plt.rcParams["svg.hashsalt"] = "kex-accuracy"  # the same data gives the same file
    for fam in families:
        bars = {}  # function -> series -> ulps
        for r in (r for r in rows if r["family"] == fam):
            b = bars.setdefault(r["name"], {})
            b[r["slot"]] = value(r["max_ulp"])
            if value(r["sleef"]) is not None:
                b["SLEEF u35" if r["sleef_name"].endswith("_u35") else "SLEEF"] = value(r["sleef"])
            if value(r["glibc"]) is not None:
                b["glibc"] = value(r["glibc"])
        names = list(bars)
        fig, ax = plt.subplots(figsize=(max(6.0, 1.1 * len(names) + 2), 4.2))
        width = 0.8 / len(SERIES)
        for k, (series, colour) in enumerate(SERIES):
            xs = [i + (k - len(SERIES) / 2 + 0.5) * width for i, n in enumerate(names) if series in bars[n]]
            ys = [bars[n][series] for n in names if series in bars[n]]
            if ys:
                ax.bar(xs, ys, width, label=series, color=colour)
        ax.set_yscale("log")
        ax.set_ylim(FLOOR, None)
        ax.axhline(1.0, color="grey", lw=0.6, ls="--")
        ax.axhline(4.0, color="grey", lw=0.6, ls=":")
        ax.set_xticks(range(len(names)), names)
        ax.set_ylabel("maximum error (ulp)")
        ax.set_title(f"{fam}: maximum error per function and flavour")
        ax.legend(fontsize=8, loc="upper left", bbox_to_anchor=(1.0, 1.0))
        fig.tight_layout()
        fig.savefig(os.path.join(outdir, f"accuracy_{fam}.svg"), metadata={"Date": None})
        plt.close(fig)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: plot.py <accuracy.tsv> <output dir>")
    main(sys.argv[1], sys.argv[2])
