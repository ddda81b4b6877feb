// Output: one line per row and flavour for the log, the Markdown page and the
// table the figures are drawn from.
#include <cstdio>
#include <fstream>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <sstream>

#include "measure.h"

namespace kex_acc {
namespace {

std::string fmt(const char* f, double a, double b = 0) {
    char buf[96];
    std::snprintf(buf, sizeof buf, f, a, b);
    return buf;
}
std::string pow2(double rel) { return rel == 0 ? "0" : fmt("2^%.1f", std::log2(rel)); }
std::string arg(const Result& r, const double* at) {
    const char* f = r.row->type == 's' ? "%.9g" : "%.17g";
    std::string s = fmt(f, at[0]);
    if (r.row->shape == Shape::binary || r.row->shape == Shape::powx) s = "(" + s + ", " + fmt(f, at[1]) + ")";
    return s;
}
std::string error_text(const Result& r) {
    if (r.bound.relative) return pow2(r.st.max_rel) + fmt(" (%.3g ulp)", r.st.max_ulp);
    return fmt("%.3f ulp", r.st.max_ulp);
}
std::string bound_text(const Bound& b) {
    return b.relative ? "≤ " + pow2(b.limit) : (b.strict ? "< " : "≤ ") + fmt("%g ulp", b.limit);
}
std::string checks_text(const Result& r) {
    if (!r.st.bad_special && !r.st.bad_status) return "ok";
    return fmt("%.0f wrong values, %.0f wrong statuses", double(r.st.bad_special), double(r.st.bad_status));
}
std::string share(const Stats& s) { return s.measured ? fmt("%.2f %%", 100.0 * double(s.rounded) / double(s.measured)) : "-"; }
std::string peer_text(double ulp, const std::string& name, uint64_t bad) {
    if (std::isnan(ulp)) return "-";
    const size_t u = name.rfind("_u");
    std::string s = fmt("%.3f ulp", ulp) + (u == std::string::npos ? "" : " (" + name.substr(u + 1) + ")");
    return bad ? s + fmt(", %.0f wrong values", double(bad)) : s;
}

}  // namespace

std::string format_row(const Result& r) {
    std::string s = std::string(1, r.row->type) + r.row->name;
    s += std::string(s.size() < 12 ? 12 - s.size() : 1, ' ') + slot_name(r.slot);
    s += "  max " + error_text(r) + " at " + arg(r, r.bound.relative ? r.st.rel_at : r.st.ulp_at);
    s += "  rel " + pow2(r.st.max_rel) + "  rounded " + share(r.st) + "  specials/statuses " + checks_text(r);
    if (!std::isnan(r.sleef) || !std::isnan(r.glibc))
        s += "  SLEEF " + peer_text(r.sleef, r.sleef_name, r.sleef_bad) + "  glibc " + peer_text(r.glibc, r.glibc_name, r.glibc_bad);
    if (r.pass) s += "  ok";
    if (!r.within) s += "  FAIL: misses the bound " + bound_text(r.bound);
    if (r.st.bad_special || r.st.bad_status) s += "  FAIL: wrong values or statuses";
    if (!r.st.first_bad.empty()) s += "\n    first: " + r.st.first_bad;
    return s;
}

namespace {

std::string markdown_line(const Result& r) {
    return std::string("| ") + r.row->name + " | " + r.row->type + " | " + slot_name(r.slot) +
           (r.same_as >= 0 ? std::string(" (= ") + slot_name(r.same_as) + ")" : "") + " | " + bound_text(r.bound) +
           " | " + error_text(r) + " | " + arg(r, r.bound.relative ? r.st.rel_at : r.st.ulp_at) + " | " + share(r.st) +
           " | " + checks_text(r) + " | " + peer_text(r.sleef, r.sleef_name, r.sleef_bad) + " | " +
           peer_text(r.glibc, r.glibc_name, r.glibc_bad) + " | " +
           (r.exhaustive ? std::string("all") : std::to_string(r.arguments)) + " |\n";
}
std::string tsv_line(const Result& r) {
    std::ostringstream o;
    o << r.row->family << '\t' << r.row->type << r.row->name << '\t' << slot_name(r.slot) << '\t' << r.st.max_ulp << '\t'
      << r.st.max_rel << '\t' << r.sleef << '\t' << (r.sleef_name.empty() ? "-" : r.sleef_name) << '\t' << r.glibc
      << '\n';
    return o.str();
}

// The lines of one row (all its flavours) on the page and in the table, and
// its family when it gets a figure (some error above zero, or a peer).
struct Entry {
    std::string md, tsv, drawn_family;
};
using Entries = std::map<std::string, Entry>;

std::vector<std::string> cells(const std::string& line, char sep) {
    std::vector<std::string> c;
    std::istringstream in(line);
    for (std::string t; std::getline(in, t, sep);) c.push_back(t);
    return c;
}

// Rows of the existing table and page that this run did not measure.
void keep_previous(Entries& e, const std::string& md_file, const std::string& tsv_file) {
    std::map<std::string, Entry> old;
    std::ifstream tsv(tsv_file);
    std::string line;
    for (std::getline(tsv, line); std::getline(tsv, line);) {  // past the header
        const auto c = cells(line, '\t');
        if (c.size() < 8) continue;
        Entry& x = old[c[1]];
        x.tsv += line + "\n";
        if (std::strtod(c[3].c_str(), nullptr) > 0 || c[6] != "-") x.drawn_family = c[0];
    }
    std::ifstream md(md_file);
    while (std::getline(md, line)) {  // "| Exp | s | HA | ...": the id is the type and the name
        const auto c = cells(line, '|');
        if (line.rfind("| ", 0) != 0 || c.size() < 12 || c[1] == " Function ") continue;
        const std::string id = c[2].substr(1, 1) + c[1].substr(1, c[1].size() - 2);
        old[id].md += line + "\n";
    }
    for (auto& [id, x] : old)
        if (!e.count(id)) e[id] = x;
}

}  // namespace

void write_reports(const std::vector<std::string>& ids, const std::vector<Result>& rs, const Options& opt,
                   const std::vector<std::string>& skipped) {
    Entries e;
    for (const Result& r : rs) {
        Entry& x = e[std::string(1, r.row->type) + r.row->name];
        x.md += markdown_line(r), x.tsv += tsv_line(r);
        if (r.st.max_ulp > 0 || !r.sleef_name.empty()) x.drawn_family = r.row->family;  // as plot.py draws
    }
    if (opt.update) keep_previous(e, opt.markdown, opt.tsv);
    std::set<std::string> families;
    std::string table, tsv = "family\tname\tslot\tmax_ulp\tmax_rel\tsleef\tsleef_name\tglibc\n";
    for (const std::string& id : ids) {
        const auto it = e.find(id);
        if (it == e.end()) continue;
        table += it->second.md, tsv += it->second.tsv;
        if (!it->second.drawn_family.empty()) families.insert(it->second.drawn_family);
    }
    if (!opt.tsv.empty()) std::ofstream(opt.tsv) << tsv;
    if (opt.markdown.empty()) return;
    std::ofstream o(opt.markdown);
    o << "# Accuracy of the vector-math kernels\n\n"
         "Generated by `sh tools/build.sh accuracy` (the program `tools/kex_accuracy`); do not edit. "
         "Options of the latest run: `"
      << opt.command
      << "`. The page can be brought up to date family by family (see tools/build.sh); rows measured by "
         "earlier runs keep their lines, and the Arguments column tells how each row was sampled.\n\n"
         "Every flavour of every active real row is compared with results rounded correctly from MPFR "
         "(96 bits for single, 160 for double precision). Errors are in ulps of the result type at the exact "
         "value (the denormal spacing below the normal range); the relative error is taken against the larger "
         "of the exact value and the smallest normal number. Bounds: HA below 1 ulp, LA at most 4 ulp, "
         "EP a relative error of at most 2^-11 (single) or 2^-26 (double). \"Values, statuses\" is ok when "
         "every NaN, infinite and exact-zero result matched bit for bit and every element reported exactly the "
         "status it should (none for NaN arguments).\n\n"
         "Complex rows (types c and z) are compared with MPC at 200 bits: each component in ulps of itself, "
         "and a component lost to cancellation by the complex error in ulps of the larger exact component "
         "(the *Max error* column gives the worse of the two, *At argument* the real part or the pair). "
         "The generic complex kernels serve all three flavours with one kernel, so their three lines share "
         "the row's arguments.\n\n";
    o << "Arguments: single-precision one-argument rows marked *all* were run on all 2^32 arguments; the "
         "others on random arguments (uniform over the numbers of each sampling "
         "interval, uniform in value, and random bit patterns), the special values, denormals, and the "
         "neighbourhoods of the overflow, underflow and root crossings. SLEEF and glibc are measured on the "
         "sampled arguments. Kernels run in calls of 4096 elements.\n\n";
    o << "| Function | Type | Flavour | Bound | Max error | At argument | Correctly rounded | Values, statuses "
         "| SLEEF | glibc | Arguments |\n|---|---|---|---|---|---|---|---|---|---|---|\n"
      << table;
    if (!skipped.empty()) {
        o << "\nActive rows without a real reference (data movement, complex, or no MPFR function):";
        for (const std::string& s : skipped) o << " " << s;
        o << ".\n";
    }
    o << "\nMaximum error per function and flavour beside SLEEF and glibc (log scale):\n\n";
    for (const std::string& f : families) o << "![" << f << "](figures/accuracy_" << f << ".svg)\n\n";
}

}  // namespace kex_acc
