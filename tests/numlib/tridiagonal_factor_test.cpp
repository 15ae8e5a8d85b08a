// The order of the solver's operations, bit for bit: DLSLTR against a plain
// elimination written on the arrays row by row, and the factor-once pair
// DLSLTF / DLSLTS against DLSLTR on many random systems with row
// interchanges and with special values in the right-hand side.
#include "numlib_test_support.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace numlib_test;

constexpr double inf = std::numeric_limits<double>::infinity();

struct System {
    std::vector<double> sub, diag, sup, rhs;
};

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::bit_cast<std::uint64_t>(a[i]) != std::bit_cast<std::uint64_t>(b[i])) return false;
    }
    return true;
}

std::string first_difference(const char* what, const std::vector<double>& got, const std::vector<double>& expected) {
    for (std::size_t i = 0; i < got.size(); ++i) {
        if (std::bit_cast<std::uint64_t>(got[i]) != std::bit_cast<std::uint64_t>(expected[i])) {
            char text[160];
            std::snprintf(text, sizeof text, "%s(%zu): %a instead of %a", what, i + 1, got[i], expected[i]);
            return text;
        }
    }
    return {};
}

// The elimination and back substitution exactly as the algorithm states
// them, on arrays indexed from 1, with the interchanges done by swapping
// array entries.  Returns the number of interchanges (the systems here have
// no zero pivot).
int plain_elimination(System& a) {
    const int n = static_cast<int>(a.diag.size());
    std::vector<double> s(n + 1), d(n + 1), u(n + 1), b(n + 1);
    for (int k = 1; k <= n; ++k) s[k] = a.sub[k - 1], d[k] = a.diag[k - 1], u[k] = a.sup[k - 1], b[k] = a.rhs[k - 1];
    int interchanges = 0;
    s[1] = d[1];
    if (n >= 2) {
        d[1] = u[1];
        u[1] = 0;
        u[n] = 0;
    }
    for (int k = 1; k <= n - 1; ++k) {
        if (!(std::fabs(s[k]) > std::fabs(s[k + 1]))) {
            std::swap(s[k], s[k + 1]);
            std::swap(d[k], d[k + 1]);
            std::swap(u[k], u[k + 1]);
            std::swap(b[k], b[k + 1]);
            ++interchanges;
        }
        const double r = 1 / s[k];
        const double t = -(r * s[k + 1]);
        s[k + 1] = d[k + 1] + t * d[k];
        d[k + 1] = u[k + 1] + t * u[k];
        u[k + 1] = 0;
        b[k + 1] = b[k + 1] + t * b[k];
        s[k] = r;
    }
    b[n] = b[n] / s[n];
    if (n >= 2) b[n - 1] = (b[n - 1] - d[n - 1] * b[n]) * s[n - 1];
    for (int k = n - 2; k >= 1; --k) b[k] = ((b[k] - d[k] * b[k + 1]) - u[k] * b[k + 2]) * s[k];
    for (int k = 1; k <= n; ++k) a.sub[k - 1] = s[k], a.diag[k - 1] = d[k], a.sup[k - 1] = u[k], a.rhs[k - 1] = b[k];
    return interchanges;
}

// A random system whose sub-diagonal entries are often larger than the
// pivots they meet, so that about half of the elimination steps interchange
// rows.  Magnitudes spread over several decades.
System random_system(std::mt19937_64& random, int n) {
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-6, 6);
    auto value = [&] { return std::ldexp(mantissa(random), exponent(random)); };
    System a;
    for (int k = 0; k < n; ++k) {
        a.sub.push_back(value());
        a.diag.push_back(value());
        a.sup.push_back(value());
        a.rhs.push_back(value());
    }
    return a;
}

TEST(TridiagonalOperationOrder, DlsltrMatchesThePlainEliminationBitForBit) {
    std::mt19937_64 random(1949);
    long interchanges = 0, rows = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        const int n = trial < 300 ? 1 + trial % 6 : 51;
        const System original = random_system(random, n);
        System expected = original;
        interchanges += plain_elimination(expected);
        rows += n - 1;
        System got = original;
        DLSLTR(n, got.sub.data(), got.diag.data(), got.sup.data(), got.rhs.data());
        ASSERT_TRUE(same_bits(got.rhs, expected.rhs))
            << "trial " << trial << ": " << first_difference("RHS", got.rhs, expected.rhs);
        ASSERT_TRUE(same_bits(got.sub, expected.sub)) << "trial " << trial;
        if (n >= 2) {
            ASSERT_TRUE(same_bits(got.diag, expected.diag)) << "trial " << trial;
            ASSERT_TRUE(same_bits(got.sup, expected.sup)) << "trial " << trial;
        }
    }
    // Both branches of the row choice are taken often.
    EXPECT_GT(interchanges, rows / 5);
    EXPECT_LT(interchanges, rows * 4 / 5);
}

// DLSLTS in its two public parts: DLSLTE, then the back substitution with
// the unknowns of numlib.h as the header lays it out.
void substitute_in_two_parts(const System& factor, const std::vector<double>& multiplier,
                             const std::vector<int>& interchanged, std::vector<double>& x) {
    const int n = static_cast<int>(x.size());
    DLSLTE(n, multiplier.data(), interchanged.data(), x.data());
    const double* s = factor.sub.data();
    const double* d = factor.diag.data();
    const double* u = factor.sup.data();
    x[n - 1] = numlib::last_unknown(x[n - 1], s[n - 1]);
    if (n >= 2) x[n - 2] = numlib::second_last_unknown(x[n - 2], d[n - 2], x[n - 1], s[n - 2]);
    for (int k = n - 3; k >= 0; --k) x[k] = numlib::unknown(x[k], d[k], x[k + 1], u[k], x[k + 2], s[k]);
}

// Solves `original` with DLSLTR and, through one factor, with DLSLTS and with
// DLSLTE and the public unknowns for the same and further right-hand sides;
// every array must agree bit for bit.
void expect_factor_matches(const System& original, const std::vector<std::vector<double>>& more_rhs, int trial) {
    const int n = static_cast<int>(original.diag.size());
    System factor = original;
    std::vector<double> multiplier(n);
    std::vector<int> interchanged(n, -1);
    DLSLTF(n, factor.sub.data(), factor.diag.data(), factor.sup.data(), multiplier.data(), interchanged.data());

    std::vector<std::vector<double>> rhs_list{original.rhs};
    rhs_list.insert(rhs_list.end(), more_rhs.begin(), more_rhs.end());
    for (const std::vector<double>& rhs : rhs_list) {
        System direct = original;
        direct.rhs = rhs;
        ASSERT_TRUE(DLSLTR(n, direct.sub.data(), direct.diag.data(), direct.sup.data(), direct.rhs.data()));
        ASSERT_TRUE(same_bits(factor.sub, direct.sub)) << "trial " << trial;
        ASSERT_TRUE(same_bits(factor.diag, direct.diag)) << "trial " << trial;
        ASSERT_TRUE(same_bits(factor.sup, direct.sup)) << "trial " << trial;
        std::vector<double> solution = rhs;
        DLSLTS(n, factor.sub.data(), factor.diag.data(), factor.sup.data(), multiplier.data(), interchanged.data(),
               solution.data());
        ASSERT_TRUE(same_bits(solution, direct.rhs))
            << "trial " << trial << ": " << first_difference("RHS", solution, direct.rhs);
        std::vector<double> in_two_parts = rhs;
        substitute_in_two_parts(factor, multiplier, interchanged, in_two_parts);
        ASSERT_TRUE(same_bits(in_two_parts, direct.rhs))
            << "trial " << trial << ": " << first_difference("RHS in two parts", in_two_parts, direct.rhs);
    }
}

TEST(TridiagonalOperationOrder, FactorOnceSolvesLikeDlsltrBitForBit) {
    std::mt19937_64 random(51);
    const double special[] = {-0.0, 0.0, inf, -inf, 1e308, -1e308, 1e-310, std::nan("")};
    std::uniform_int_distribution<int> position(0, 50);
    for (int trial = 0; trial < 20000; ++trial) {
        System original = random_system(random, 51);
        // Special values in the right-hand side of every fourth system.
        if (trial % 4 == 0) {
            for (int k = 0; k < 3; ++k) original.rhs[position(random)] = special[(trial / 4 + k) % std::size(special)];
        }
        std::vector<std::vector<double>> more;
        if (trial % 10 == 0) {
            more.push_back(random_system(random, 51).rhs);
            more.push_back(std::vector<double>(51, -0.0));
            std::vector<double> huge(51, 1e300);
            huge[position(random)] = -1e300;
            more.push_back(huge);
        }
        expect_factor_matches(original, more, trial);
        if (HasFatalFailure()) return;
    }
}

TEST(TridiagonalOperationOrder, FactorRecordsInterchangesAndMultipliers) {
    // [1 2 0; 4 1 3; 0 5 1]: both steps interchange.  Step 1: pivot 4,
    // t = -(0.25 * 1); step 2: pivot 5 against 1.75, t = -(0.2 * 1.75).
    System a{{7, 4, 5}, {1, 1, 1}, {2, 3, 7}, {-3, 11, -7}};
    double multiplier[2] = {};
    int interchanged[2] = {-1, -1};
    DLSLTF(3, a.sub.data(), a.diag.data(), a.sup.data(), multiplier, interchanged);
    EXPECT_EQ(interchanged[0], 1);
    EXPECT_EQ(interchanged[1], 1);
    EXPECT_EQ(multiplier[0], -0.25);
    EXPECT_EQ(multiplier[1], -(0.2 * 1.75));
    EXPECT_EQ(a.sub, (std::vector<double>{0.25, 0.2, -0.75 + -(0.2 * 1.75)}));

    // Diagonally dominant: no interchange.
    System b{{0, 1}, {4, 4}, {1, 0}, {5, 5}};
    DLSLTF(2, b.sub.data(), b.diag.data(), b.sup.data(), multiplier, interchanged);
    EXPECT_EQ(interchanged[0], 0);
    EXPECT_EQ(multiplier[0], -0.25);
    double rhs[2] = {5, 5};
    DLSLTS(2, b.sub.data(), b.diag.data(), b.sup.data(), multiplier, interchanged, rhs);
    EXPECT_EQ(rhs[0], 1.0);
    EXPECT_EQ(rhs[1], 1.0);
}

void factor_in_child(System a) {
    check_standard_output();
    std::vector<double> multiplier(a.diag.size());
    std::vector<int> interchanged(a.diag.size());
    DLSLTF(static_cast<int>(a.diag.size()), a.sub.data(), a.diag.data(), a.sup.data(), multiplier.data(),
           interchanged.data());
    end_child("returned");
}

void order_in_child(int n, const std::string& routine) {
    check_standard_output();
    // No array may be touched.
    if (routine == "DLSLTS") {
        DLSLTS(n, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    } else if (routine == "DLSLTE") {
        DLSLTE(n, nullptr, nullptr, nullptr);
    } else {
        DLSLTF(n, nullptr, nullptr, nullptr, nullptr, nullptr);
    }
    end_child("returned");
}

TEST_F(NumlibDeathTest, FactorFailuresAreReportedLikeDlsltr) {
    const System last_zero{{0, 1}, {1, 1}, {1, 0}, {1, 1}};  // last pivot 1 - 1
    EXPECT_PROGRAM_EXIT(factor_in_child(last_zero), ExitedWithCode(library_stop),
                        Eq(records({"", " *** FATAL    ERROR 2 from DLSLTF.  Element 2 of the diagonal became exactly",
                                    " ***          zero during execution."})));
    for (const std::string name : {"DLSLTF", "DLSLTS", "DLSLTE"}) {
        const std::string expected =
            records({"", " *** TERMINAL ERROR 1 from " + name + ".  The number of equations must be positive",
                     " ***          while N = 0 is given."});
        EXPECT_PROGRAM_EXIT(order_in_child(0, name), ExitedWithCode(library_stop), Eq(expected));
    }
}

}  // namespace
