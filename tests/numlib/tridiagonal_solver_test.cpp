// DLSLTR: solutions, the arrays after a call, and the reports of its failures.
#include "numlib_test_support.h"

#include <cmath>
#include <cstring>
#include <random>

namespace {

using namespace numlib_test;

struct System {
    std::vector<double> sub, diag, sup, rhs;
};

void solve(System& a) {
    DLSLTR(static_cast<int>(a.diag.size()), a.sub.data(), a.diag.data(), a.sup.data(), a.rhs.data());
}

TEST(TridiagonalSolver, SolvesSmallSystems) {
    System a{{99, 1, 1}, {2, 2, 2}, {1, 1, 99}, {4, 8, 8}};  // x = (1, 2, 3)
    solve(a);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(a.rhs[k], k + 1.0, 1e-14);

    double sub = 123, diag = 4, sup = -8, rhs = 3;  // order 1: one division, DIAG and SUPDIAG kept
    DLSLTR(1, &sub, &diag, &sup, &rhs);
    EXPECT_EQ(rhs, 0.75);
    EXPECT_EQ(sub, 4.0);
    EXPECT_EQ(diag, 4.0);
    EXPECT_EQ(sup, -8.0);

    System tiny{{0, 0}, {1e-300, 1}, {0, 0}, {1e-300, 2}};  // tiny pivots are not zero
    solve(tiny);
    EXPECT_DOUBLE_EQ(tiny.rhs[0], 1.0);
    EXPECT_EQ(tiny.rhs[1], 2.0);
}

TEST(TridiagonalSolver, LeavesPivotsAndUpperFactorInTheMatrixArrays) {
    // [1 2 0; 4 1 3; 0 5 1] x = (-3, 11, -7), x = (1, -2, 3): both steps
    // interchange; row 1 of U is (4 1 3), row 2 is (5 1), the last pivot is
    // what is left of (1.75 -0.75) after row 2.
    System a{{7, 4, 5}, {1, 1, 1}, {2, 3, 7}, {-3, 11, -7}};
    solve(a);
    EXPECT_EQ(a.sub, (std::vector<double>{0.25, 0.2, -0.75 + -(0.2 * 1.75)}));
    EXPECT_EQ(a.diag, (std::vector<double>{1, 1, 0}));
    EXPECT_EQ(a.sup, (std::vector<double>{3, 0, 0}));
    EXPECT_NEAR(a.rhs[0], 1, 1e-14);
    EXPECT_NEAR(a.rhs[1], -2, 1e-14);
    EXPECT_NEAR(a.rhs[2], 3, 1e-14);

    // [1 1; -1 1]: equal magnitudes interchange, so SUBDIAG(1) = 1 / -1.
    System tie{{0, -1}, {1, 1}, {1, 0}, {3, 0}};
    solve(tie);
    EXPECT_EQ(tie.sub, (std::vector<double>{-1, 2}));
    EXPECT_EQ(tie.rhs, (std::vector<double>{1.5, 1.5}));
}

TEST(TridiagonalSolver, ModelSizedSystemIgnoresTheCornerEntries) {
    std::mt19937_64 random(51);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    System a;
    for (int k = 0; k < 51; ++k) {
        for (auto* v : {&a.sub, &a.diag, &a.sup, &a.rhs}) v->push_back(value(random));
    }
    System b = a;
    b.sub[0] = std::nan("");
    b.sup[50] = 1e300;
    const System original = a;
    solve(a);
    solve(b);
    EXPECT_EQ(std::memcmp(a.rhs.data(), b.rhs.data(), 51 * sizeof(double)), 0);
    for (std::size_t k = 0; k < 51; ++k) {
        long double row = static_cast<long double>(original.diag[k]) * a.rhs[k];
        if (k > 0) row += static_cast<long double>(original.sub[k]) * a.rhs[k - 1];
        if (k < 50) row += static_cast<long double>(original.sup[k]) * a.rhs[k + 1];
        EXPECT_NEAR(static_cast<double>(row), original.rhs[k], 1e-9) << "row " << k + 1;
    }
    // The solver's level is left readable above the top of the stack.
    const numlib::detail::ErrorState& state = numlib::detail::error_state();
    EXPECT_EQ(state.current_level, 1);
    EXPECT_EQ(state.routine_name[2], numlib::detail::make_routine_name("DLSLTR"));
}

TEST(TridiagonalSolver, SaysWhetherTheRightHandSideHoldsTheSolution) {
    System good{{99, 1, 1}, {2, 2, 2}, {1, 1, 99}, {4, 8, 8}};
    EXPECT_TRUE(DLSLTR(3, good.sub.data(), good.diag.data(), good.sup.data(), good.rhs.data()));
    // Below the user level a zero pivot is recorded and passed to the
    // caller's level, and the routine returns: the only way a caller learns
    // that RHS holds no solution.
    System singular{{0, 1}, {1, 1}, {1, 0}, {1, 1}};  // last pivot 1 - 1
    E1PSH("SOLVER_TEST");
    const bool solved = DLSLTR(2, singular.sub.data(), singular.diag.data(), singular.sup.data(), singular.rhs.data());
    const numlib::detail::ErrorState& state = numlib::detail::error_state();
    EXPECT_EQ(state.error_type[state.current_level], numlib::fatal);
    E1MES(0, 0, "");  // discards the recorded error
    E1POP("SOLVER_TEST");
    EXPECT_FALSE(solved);
}

void solve_in_child(System a) {
    check_standard_output();
    solve(a);
    end_child("returned");
}

void solve_order_in_child(int n) {
    check_standard_output();
    DLSLTR(n, nullptr, nullptr, nullptr, nullptr);  // no array may be touched
    end_child("returned");
}

std::vector<std::string> zero_pivot(int element) {
    return {"",
            " *** FATAL    ERROR 2 from DLSLTR.  Element " + std::to_string(element) +
                " of the diagonal became exactly",
            " ***          zero during execution."};
}

TEST_F(NumlibDeathTest, SolverFailuresAreReportedAndEndTheRun) {
    // Identity of order 40 with column 37 zero in rows 37 and 38.
    System at37{std::vector<double>(40, 0), std::vector<double>(40, 1), std::vector<double>(40, 0),
                std::vector<double>(40, 1)};
    at37.diag[36] = 0;
    const std::string expected37 = records(zero_pivot(37));
    EXPECT_EQ(expected37.size(), 2u + 77 + 2 + 36 + 2);
    EXPECT_PROGRAM_EXIT(solve_in_child(at37), ExitedWithCode(library_stop), Eq(expected37));

    const double nan = std::nan("");
    const struct {
        System system;
        std::vector<std::string> lines;
    } cases[] = {
        {{{5, 0, 1}, {0, 1, 1}, {1, 1, 5}, {1, 1, 1}}, zero_pivot(1)},  // first column zero
        {{{1}, {-0.0}, {1}, {1}}, zero_pivot(1)},
        {{{0, 1}, {1, 1}, {1, 0}, {1, 1}}, zero_pivot(2)},    // last pivot 1 - 1
        {{{1}, {nan}, {1}, {1}}, zero_pivot(1)},              // NaN pivots count as zero
        {{{0, 2}, {nan, 1}, {1, 0}, {1, 1}}, zero_pivot(2)},  // NaN candidate interchanges
    };
    for (const auto& c : cases)
        EXPECT_PROGRAM_EXIT(solve_in_child(c.system), ExitedWithCode(library_stop), Eq(records(c.lines)));

    for (int n : {0, -5}) {
        const std::string expected =
            records({"", " *** TERMINAL ERROR 1 from DLSLTR.  The number of equations must be positive",
                     " ***          while N = " + std::to_string(n) + " is given."});
        EXPECT_PROGRAM_EXIT(solve_order_in_child(n), ExitedWithCode(library_stop), Eq(expected));
    }
}

}  // namespace
