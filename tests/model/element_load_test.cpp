// The element load vector in vector registers against the same operations
// one at a time, bit for bit, on ordinary and on special values.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "model/element_terms.h"

using namespace model;

namespace {

bool same_value(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) || (std::isnan(a) && std::isnan(b));
}

TEST(ElementLoad, VectorFormMatchesTheScalarOperations) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const double special[] = {0.0, -0.0, inf, -inf, std::nan(""), 1e308, -1e308, 5e-324, -2e-310};
    std::mt19937_64 random(2);
    std::uniform_real_distribution<double> ordinary(-1000.0, 1000.0);
    std::uniform_int_distribution<int> exponent(-30, 30);
    int special_inputs = 0;
    for (int trial = 0; trial < 200000; ++trial) {
        double in[7];
        for (double& v : in) v = std::ldexp(ordinary(random), exponent(random));
        if (trial % 8 == 0) {
            in[random() % 7] = special[random() % std::size(special)];
            ++special_inputs;
        }
        const ElementLoad scalar = element_load_scalar(in[0], in[1], in[2], in[3], in[4], in[5], in[6]);
        const ElementLoad vector = element_load(in[0], in[1], in[2], in[3], in[4], in[5], in[6]);
        ASSERT_TRUE(same_value(vector.first_node, scalar.first_node)) << "trial " << trial;
        ASSERT_TRUE(same_value(vector.second_node, scalar.second_node)) << "trial " << trial;
    }
    EXPECT_GT(special_inputs, 20000);
}

}  // namespace
