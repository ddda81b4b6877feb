// Generators of the vector-math kernels' constant tables. Each table is
// written from its defining rule with MPFR, correctly rounded, into a file
// under src/ that the kernels include; the file is committed, and the test
// kex_tables_current regenerates every table and compares it with the file.
//
// A generator registers itself from its own source file:
//   static const kex_tables::Register reg("kex/kernels/real/explog/exp_table.inc", emit);
// where emit(std::ostream&) writes the whole file.
#pragma once

#include <mpfr.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace kex_tables {

using Emit = void (*)(std::ostream&);
struct Table {
    const char* path;  // relative to src/
    Emit emit;
};
std::vector<Table>& tables();
struct Register {
    Register(const char* path, Emit emit) { tables().push_back({path, emit}); }
};

// Exact C++ literals: a hexadecimal floating literal (round trips bit for bit).
std::string lit(double x);
std::string lit(float x);

// A 256-bit MPFR number that cleans up after itself; rounding to double or
// float is then correct rounding (round to nearest even).
struct Big {
    mpfr_t v;
    Big() { mpfr_init2(v, 256); }
    explicit Big(double d) : Big() { mpfr_set_d(v, d, MPFR_RNDN); }
    ~Big() { mpfr_clear(v); }
    Big(const Big&) = delete;
    Big& operator=(const Big&) = delete;
    operator mpfr_ptr() { return v; }
    double d() const { return mpfr_get_d(v, MPFR_RNDN); }
    float f() const { return mpfr_get_flt(v, MPFR_RNDN); }
};

// The header every generated file starts with.
void preamble(std::ostream& os, const char* what);

}  // namespace kex_tables
