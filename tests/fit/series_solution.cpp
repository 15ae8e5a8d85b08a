#include "series_solution.h"

#include <cmath>
#include <numbers>

namespace {

double biot_residual(double z, double biot) { return z * std::cyl_bessel_j(1.0, z) - biot * std::cyl_bessel_j(0.0, z); }

}  // namespace

// The n-th root lies in ((n - 1) pi, n pi); the residual changes sign once
// inside, found by a fine scan and bisection.
std::vector<double> eigenvalues(double biot, int count) {
    std::vector<double> roots;
    for (int n = 1; n <= count; ++n) {
        const double from = (n - 1) * std::numbers::pi + 1e-12;
        const double to = n * std::numbers::pi;
        double a = from;
        double fa = biot_residual(a, biot);
        for (int k = 1; k <= 400; ++k) {
            const double b = from + (to - from) * k / 400.0;
            const double fb = biot_residual(b, biot);
            if ((fa < 0.0) != (fb < 0.0)) {
                double low = a, high = b;
                for (int i = 0; i < 100; ++i) {
                    const double mid = 0.5 * (low + high);
                    if ((biot_residual(mid, biot) < 0.0) == (fa < 0.0))
                        low = mid;
                    else
                        high = mid;
                }
                roots.push_back(0.5 * (low + high));
                break;
            }
            a = b;
            fa = fb;
        }
    }
    return roots;
}

double exact_ratio(const std::vector<double>& roots, double radius_ratio, double fourier) {
    double sum = 0.0;
    for (const double z : roots) {
        const double j0 = std::cyl_bessel_j(0.0, z);
        const double j1 = std::cyl_bessel_j(1.0, z);
        sum += 2.0 * j1 / (z * (j0 * j0 + j1 * j1)) * std::cyl_bessel_j(0.0, z * radius_ratio) *
               std::exp(-z * z * fourier);
    }
    return sum;
}
