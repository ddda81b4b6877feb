// Rows of the function table, the measuring runs over them, and the report.
#pragma once

#include <string>
#include <vector>

#include "core.h"

namespace kex_acc {

// One row of the function table, as the tool reads it.
struct Row {
    bool on;
    const char* family;
    char type;
    const char* name;
    Shape shape;
};

enum Slot { kLA = 0, kHA = 1, kEP = 2 };
const char* slot_name(int slot);

struct Options {
    size_t samples = 20000;   // random arguments per row (specials and crossings come on top)
    bool exhaustive = false;  // every float argument for single-precision unary rows
    bool peers = false;       // measure the peers too, and fail when they cannot be found
    size_t costly = 0;        // arguments per slot of the generic complex rows (0: samples / 3)
    int threads = 2;
    double bound_scale = 1;   // below 1: a deliberately tighter claim, to see the failure path
    std::vector<std::string> only;  // rows like "sExp" or families like "trig"; empty: all
    std::vector<std::string> skip;  // rows or families left out
    bool update = false;            // keep the other rows of the existing page and table
    std::string markdown, tsv;      // files to write
    std::string command;            // the options of this run, for the page
};

// The accuracy each flavour promises: ulps for HA (strictly below) and LA (at
// most), the relative error for EP (at most).
struct Bound {
    bool relative, strict;
    double limit;
};
Bound bound_of(char type, int slot, double scale);

struct Result {
    const Row* row = nullptr;
    int slot = kHA;
    Stats st;
    bool exhaustive = false;
    uint64_t arguments = 0;
    int same_as = -1;  // slot whose kernel this slot shares (measured once)
    double sleef = NAN, glibc = NAN;  // the peers' maximum ulp error on the sampled arguments
    uint64_t sleef_bad = 0, glibc_bad = 0;  // and their wrong special values (NaN, infinity, zero)
    std::string sleef_name, glibc_name;
    Bound bound{};
    bool within = false, pass = false;  // the error within the bound; that and no wrong value or status
};

// Peer functions of libm and SLEEF by name (null when absent).
void* peer_symbol(bool sleef, const std::string& name);
bool peers_available();

// Measures every flavour of one row. Appends to out; a row without an
// entry point is skipped.
void measure_row(const Row& row, const FnInfo& f, const Options& opt, std::vector<Result>& out);

// The complex rows (c, z) measured against MPC; complex_row_known tells
// which function names the tool measures.
bool complex_row_known(const char* name);
void measure_complex_row(const Row& row, const Options& opt, std::vector<Result>& out);

// All 2^32 arguments of a single-precision unary kernel, MPFR only where the
// double reference cannot decide.
Stats exhaustive_float(const FnInfo& f, uint8_t listed, void* kernel, int threads);

// Reports statuses through the capture callback into codes[index] of the
// current call of n elements (0xFF: more than one report, 0xFE: a status out
// of range); call begin_capture once on each measuring thread. Reports of an
// index outside the call are counted, and the count is taken by stray_reports.
void begin_capture();
void set_capture(uint8_t* codes, size_t n);
uint64_t stray_reports();

// The page and the figure table, one entry per row ("sExp"), in the order of
// `ids`. With opt.update the rows not measured now keep their lines from the
// files as they are (so a page can be assembled family by family).
void write_reports(const std::vector<std::string>& ids, const std::vector<Result>& rs, const Options& opt,
                   const std::vector<std::string>& skipped);
std::string format_row(const Result& r);

}  // namespace kex_acc
