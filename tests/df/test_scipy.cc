// Natural cubic splines (every boundary condition) and the Akima spline
// against scipy.interpolate: coefficients, values, first and second
// derivatives and integrals. Skipped when SciPy is not installed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "df_api.h"

namespace {

struct Case {
    std::string family;
    int64_t bc = 0;
    int uniform = 0;
    int64_t nx = 0, first = 0, last = 0;
    std::map<std::string, std::vector<double>> v;
};

// Runs the oracle once; empty when SciPy is missing.
const std::vector<Case>& oracle(bool* skipped) {
    static std::vector<Case> cases;
    static bool missing = false, done = false;
    if (!done) {
        done = true;
        const std::string out = testing::TempDir() + "df_scipy_oracle.txt";
        const int rc = std::system(("/usr/bin/python3 " ORVU_DF_ORACLE " " + out).c_str());
        if (rc != 0) {
            missing = true;
        } else {
            std::ifstream in(out);
            std::string ln;
            while (std::getline(in, ln)) {
                std::istringstream ss(ln);
                std::string key;
                ss >> key;
                if (key == "case") {
                    cases.emplace_back();
                    Case& c = cases.back();
                    ss >> c.family >> c.bc >> c.uniform >> c.nx >> c.first >> c.last;
                } else {
                    double d;
                    while (ss >> d) cases.back().v[key].push_back(d);
                }
            }
        }
    }
    *skipped = missing;
    return cases;
}

template <class T>
class Scipy : public ::testing::Test {};
using Types = ::testing::Types<float, double>;
TYPED_TEST_SUITE(Scipy, Types);

double scale(const std::vector<double>& v) {
    double m = 1e-300;
    for (double d : v) m = std::max(m, std::fabs(d));
    return m;
}

TYPED_TEST(Scipy, CubicSplinesMatchTheReference) {
    using T = TypeParam;
    bool skipped = false;
    const auto& cases = oracle(&skipped);
    if (skipped) GTEST_SKIP() << "SciPy is not installed";
    ASSERT_FALSE(cases.empty());
    const double rel = sizeof(T) == 8 ? 1e-12 : 1e-5;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.family << " bc " << c.bc << " uniform " << c.uniform);
        const int64_t nx = c.nx;
        const auto& xd = c.v.at("x");
        std::vector<T> x, y;
        if (c.uniform) x = {static_cast<T>(xd[0]), static_cast<T>(xd[nx - 1])};
        else for (double d : xd) x.push_back(static_cast<T>(d));
        for (double d : c.v.at("y")) y.push_back(static_cast<T>(d));
        std::vector<T> coeff(4 * (nx - 1));
        const T bc[2] = {T(0.7), T(-0.4)};
        OrvuDFTaskPtr task = nullptr;
        ASSERT_EQ(Df<T>::NewTask(&task, nx, x.data(), c.uniform ? 4 : 1, 1, y.data(), 16, 0), 0);
        ASSERT_EQ(Df<T>::EditPP(task, 4, 2, c.bc, bc, 0, nullptr, coeff.data(), 0), 0);
        ASSERT_EQ((c.family == "natural" ? Df<T>::Natural : Df<T>::Akima)(task, 0, 0, nullptr), 0);
        // Coefficients, compared per power against that power's largest size.
        const auto& ref = c.v.at("c");
        for (int p = 0; p < 4; ++p) {
            std::vector<double> col;
            for (int64_t i = c.first; i < c.last; ++i) col.push_back(ref[4 * i + p]);
            const double s = scale(col);
            for (int64_t i = c.first; i < c.last; ++i)
                EXPECT_NEAR(coeff[4 * i + p], ref[4 * i + p], rel * s) << "cell " << i << " power " << p;
        }
        // Values and derivatives at sorted sites (the sorted search runs).
        const auto& sd = c.v.at("sites");
        std::vector<T> s(sd.begin(), sd.end()), r(3 * s.size());
        const int32_t dorder[3] = {1, 1, 1};
        ASSERT_EQ(Df<T>::Interp(task, 1, 0, s.size(), s.data(), 64, 3, dorder, nullptr, r.data(), 16, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
        for (int q = 0; q < 3; ++q) {
            static const char* const kKeys[3] = {"d0", "d1", "d2"};
            const auto& d = c.v.at(kKeys[q]);
            const double sc = scale(d);
            for (size_t k = 0; k < s.size(); ++k)
                EXPECT_NEAR(r[3 * k + q], d[k], rel * sc) << "site " << k << " derivative " << q;
        }
        const auto& a = c.v.at("a");
        const auto& b = c.v.at("b");
        const auto& in = c.v.at("int");
        std::vector<T> ta(a.begin(), a.end()), tb(b.begin(), b.end()), ri(a.size());
        ASSERT_EQ(integr(task, static_cast<int64_t>(ta.size()), ta.data(), tb.data(), ri.data()), 0);
        const double sc = scale(in);
        for (size_t k = 0; k < a.size(); ++k) EXPECT_NEAR(ri[k], in[k], rel * sc) << "interval " << k;
        orvu_df_kernel_DeleteTask(&task);
    }
}

}  // namespace
