// kex_accuracy: the accuracy, special values and statuses of every active
// real row of the vector-math function table, against MPFR.
//
//   kex_accuracy [--samples N] [--costly N] [--exhaustive] [--peers] [--threads T] [--only sExp,dLn,trig] [--skip ctransc]
//                [--bound-scale F] [--markdown FILE] [--tsv FILE] [--update]
//
// --costly N: arguments per slot of the generic complex rows, whose MPC
// references cost about a thousand times the kernel (default samples / 3).
// --only and --skip take row names and family names. --update rewrites the page and the
// table keeping the rows this run did not measure, so that the long run can
// be done family by family.
// Exits 1 when a flavour misses its bound or a special value or status is
// wrong, 2 on bad usage.
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "measure.h"

namespace kex_acc {
namespace {

Shape shape_of(const char* s) {
    if (!std::strcmp(s, "unary")) return Shape::unary;
    if (!std::strcmp(s, "binary")) return Shape::binary;
    if (!std::strcmp(s, "powx")) return Shape::powx;
    if (!std::strcmp(s, "two")) return Shape::two;
    return Shape::other;
}

const Row kRows[] = {
#define KEX_FN(on, family, t, fn, shape, la, ha, ep) {on, #family, #t[0], #fn, shape_of(#shape)},
#include "orvu_kex_functions.def"
#undef KEX_FN
};

bool measurable(const Row& row, const FnInfo* f) {
    if (row.type == 'c' || row.type == 'z') return complex_row_known(row.name);
    if (!f || (row.type != 's' && row.type != 'd')) return false;
    switch (row.shape) {
    case Shape::unary: return f->ref1;
    case Shape::binary:
    case Shape::powx: return f->ref2;
    case Shape::two: return f->ref_two;
    default: return false;
    }
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {  // the measuring options, without the output files
        const bool file = !std::strcmp(argv[i], "--markdown") || !std::strcmp(argv[i], "--tsv") ||
                          !std::strcmp(argv[i], "--only");
        if (file) ++i;
        else if (!std::strcmp(argv[i], "--update")) continue;
        else o.command += std::string(o.command.empty() ? "" : " ") + argv[i];
    }
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool has = i + 1 < argc;
        if (a == "--exhaustive") o.exhaustive = true;
        else if (a == "--peers") o.peers = true;
        else if (a == "--update") o.update = true;
        else if (a == "--samples" && has) o.samples = std::strtoull(argv[++i], nullptr, 10);
        else if (a == "--costly" && has) o.costly = std::strtoull(argv[++i], nullptr, 10);
        else if (a == "--threads" && has) o.threads = std::atoi(argv[++i]);
        else if (a == "--bound-scale" && has) o.bound_scale = std::atof(argv[++i]);
        else if (a == "--markdown" && has) o.markdown = argv[++i];
        else if (a == "--tsv" && has) o.tsv = argv[++i];
        else if ((a == "--only" || a == "--skip") && has)
            for (char* t = std::strtok(argv[++i], ","); t; t = std::strtok(nullptr, ",")) (a == "--only" ? o.only : o.skip).push_back(t);
        else return false;
    }
    return o.samples >= 64;
}

}  // namespace
}  // namespace kex_acc

int main(int argc, char** argv) {
    using namespace kex_acc;
    Options opt;
    if (!parse(argc, argv, opt)) {
        std::fprintf(stderr, "usage: kex_accuracy [--samples N>=64] [--costly N] [--exhaustive] [--peers] [--threads T] "
                             "[--only sExp,dLn] [--skip ctransc] [--bound-scale F] [--markdown FILE] [--tsv FILE]\n");
        return 2;
    }
    if (opt.peers && !peers_available()) {
        std::fprintf(stderr, "kex_accuracy: --peers needs SLEEF (found at configure time) and libm\n");
        return 2;
    }
    begin_capture();
    std::vector<Result> results;
    std::vector<std::string> skipped, ids;
    const auto listed = [&](const std::vector<std::string>& l, const std::string& id, const char* family) {
        return std::find(l.begin(), l.end(), id) != l.end() || std::find(l.begin(), l.end(), family) != l.end();
    };
    const auto chosen = [&](const std::string& id, const char* family) {
        return (opt.only.empty() || listed(opt.only, id, family)) && !listed(opt.skip, id, family);
    };
    for (const Row& row : kRows) {
        const std::string id = std::string(1, row.type) + row.name;
        if (!dlsym(RTLD_DEFAULT, ("_kex" + id + "_HA").c_str())) continue;  // the row is off
        ids.push_back(id);
        const FnInfo* f = find_function(row.name);
        if (!measurable(row, f)) {
            skipped.push_back(id);
            continue;
        }
        if (!chosen(id, row.family)) continue;
        const auto t0 = std::chrono::steady_clock::now();
        const size_t first = results.size();
        if (row.type == 'c' || row.type == 'z') measure_complex_row(row, opt, results);
        else measure_row(row, *f, opt, results);
        for (size_t i = first; i < results.size(); ++i) {
            Result& r = results[i];
            r.bound = bound_of(row.type, r.slot, opt.bound_scale);
            const double e = r.bound.relative ? r.st.max_rel : r.st.max_ulp;
            r.within = r.bound.strict ? e < r.bound.limit : e <= r.bound.limit;
            r.pass = r.within && !r.st.bad_special && !r.st.bad_status;
            std::printf("%s\n", format_row(r).c_str());
        }
        std::fprintf(stderr, "  %s: %.1f s\n", id.c_str(),
                     std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        std::fflush(stdout);
    }
    if (results.empty()) {
        std::fprintf(stderr, "kex_accuracy: no row measured\n");
        return 1;
    }
    write_reports(ids, results, opt, skipped);
    size_t failed = 0;
    for (const Result& r : results) failed += !r.pass;
    std::printf("%zu flavours measured, %zu outside their bounds or with wrong values or statuses\n", results.size(), failed);
    return failed ? 1 : 0;
}
