// The Akima spline against scipy.interpolate: coefficients, values, first and
// second derivatives and integrals. Skipped when SciPy is not installed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "df_api.h"

namespace {

struct Case { int64_t uniform = 0, nx = 0, first = 0, last = 0; std::map<std::string, std::vector<double>> v; };

// Runs the oracle once. The script's own exit code 77 says SciPy is missing
// (the test is skipped); any other failure of the script is an error.
constexpr int kScipyMissing = 77;
const std::vector<Case>& oracle(int* status) {
    static std::vector<Case> cases;
    static int rc = -1;
    if (rc == -1) {
        const std::string out = testing::TempDir() + "df_scipy_oracle.txt";
        const int st = std::system(("/usr/bin/python3 " ORVU_DF_ORACLE " " + out).c_str());
        rc = st != -1 && WIFEXITED(st) ? WEXITSTATUS(st) : 255;
        std::ifstream in(out);
        for (std::string ln, key; rc == 0 && std::getline(in, ln);) {
            std::istringstream ss(ln);
            ss >> key;
            if (key == "case") {
                Case& c = cases.emplace_back();
                ss >> c.uniform >> c.nx >> c.first >> c.last;
            }
            for (double d; key != "case" && ss >> d;) cases.back().v[key].push_back(d);
        }
    }
    *status = rc;
    return cases;
}

template <class T> struct Scipy : ::testing::Test {};
TYPED_TEST_SUITE(Scipy, DfTypes);

// got[k * gs] against want[k * ws] for k in [first, last), relative to the
// largest |want| of that range.
template <class T>
int mismatches(const T* got, size_t gs, const double* want, size_t ws, size_t first, size_t last, double rel) {
    double m = 1e-300;
    for (size_t k = first; k < last; ++k) m = std::max(m, std::fabs(want[k * ws]));
    int bad = 0;
    for (size_t k = first; k < last; ++k) bad += !(std::fabs(got[k * gs] - want[k * ws]) <= rel * m);
    return bad;
}

TYPED_TEST(Scipy, AkimaSplineMatchesTheReference) {
    using T = TypeParam;
    int rc = 0;
    const auto& cases = oracle(&rc);
    if (rc == kScipyMissing) GTEST_SKIP() << "SciPy is not installed";
    ASSERT_EQ(rc, 0) << "the oracle script failed";
    ASSERT_FALSE(cases.empty());
    const double rel = sizeof(T) == 8 ? 1e-12 : 1e-5;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "uniform " << c.uniform);
        const auto &xd = c.v.at("x"), &yd = c.v.at("y"), &sd = c.v.at("sites"), &a = c.v.at("a"), &b = c.v.at("b");
        std::vector<T> x(xd.begin(), xd.end()), y(yd.begin(), yd.end()), coeff(4 * (c.nx - 1));
        if (c.uniform) x = {x.front(), x.back()};
        OrvuDFTaskPtr task = nullptr;
        ASSERT_EQ(Df<T>::NewTask(&task, c.nx, x.data(), c.uniform ? 4 : 1, 1, y.data(), 16, 0), 0);
        ASSERT_EQ(Df<T>::EditPP(task, 4, 2, 0, nullptr, 0, nullptr, coeff.data(), 0), 0);
        ASSERT_EQ(Df<T>::Akima(task, 0, 0, nullptr), 0);
        for (int p = 0; p < 4; ++p)  // each power against its own largest size
            EXPECT_EQ(mismatches(coeff.data() + p, 4, c.v.at("c").data() + p, 4, c.first, c.last, rel), 0) << p;
        // Values and derivatives at sorted sites (the sorted search runs).
        std::vector<T> s(sd.begin(), sd.end()), r(3 * s.size()), ta(a.begin(), a.end()), tb(b.begin(), b.end()), ri(a.size());
        const int32_t dorder[3] = {1, 1, 1};
        ASSERT_EQ(Df<T>::Interp(task, 1, 0, s.size(), s.data(), 64, 3, dorder, nullptr, r.data(), 16, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
        for (const char* q : {"d0", "d1", "d2"})
            EXPECT_EQ(mismatches(r.data() + (q[1] - '0'), 3, c.v.at(q).data(), 1, 0, s.size(), rel), 0) << q;
        ASSERT_EQ(integr(task, static_cast<int64_t>(ta.size()), ta.data(), tb.data(), ri.data()), 0);
        EXPECT_EQ(mismatches(ri.data(), 1, c.v.at("int").data(), 1, 0, a.size(), rel), 0) << "integrals";
        orvu_df_kernel_DeleteTask(&task);
    }
}

}  // namespace
