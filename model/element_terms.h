// The terms of one linear element of the axisymmetric conduction model,
// integrated by the two-point Gauss rule with unit weights, as the step's
// system needs them.  Only the model's own code uses this header.
//
// For element e with node radii r1, r2, previous temperatures T1, T2,
// he = r2 - r1 and ce = he * volumetric_heat_capacity, at each Gauss point
// (P, Q the shape values of the first and second node, w = 1):
//   rg = r1 * P + r2 * Q                 Tg = T2 * Q + T1 * P
//   kg = ((rg * conductivity) * w) / he  mg = (rg * ce) * w
//   K11 = (K11 + kg) + ((P * P) * mg) / dt
//   K12 = (K12 - kg) + ((mg * P) * Q) / dt       (K21 = K12)
//   K22 = ((K22 + kg) + ((Q * Q) * mg) / dt) + S
//   qg = ((Tg * ce) * rg) * w
//   F1 = (qg * P) / dt + F1                F2 = ((qg * Q) / dt + F2) + L
// starting from zero, with S = (s * 2) * outer_radius, s the heat transfer
// coefficient on element 50 and 0.0 elsewhere, and L = ambient * S.  Each
// line is one binary64 expression evaluated as bracketed; the order fixes
// the rounding of every result.
#pragma once

#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace model {

// Two-point Gauss rule in shape-function values.  The values are binary32
// numbers widened exactly (bit patterns 3F49E69D and 3E58658C); they are not
// the binary64 values of (1 +- 1/sqrt(3))/2 and must not be replaced by them.
// Both weights are 1.0.
inline constexpr double shape_large = 0.788675129413604736328125;
inline constexpr double shape_small = 0.211324870586395263671875;
inline constexpr double gauss_weight = 1.0;
static_assert(shape_large == static_cast<double>(0.788675129413604736328125f));
static_assert(shape_small == static_cast<double>(0.211324870586395263671875f));
static_assert(shape_large + shape_small == 1.0);

// The element matrix (symmetric: K21 = K12), conduction, capacity over dt
// and, on element 50, the surface term.
struct ElementMatrix {
    double k11;
    double k12;
    double k22;
};

inline ElementMatrix element_matrix(double r1, double r2, double conductivity, double volumetric_heat_capacity,
                                    double surface_term, double time_step) {
    const double he = r2 - r1;
    const double ce = he * volumetric_heat_capacity;
    const double shape_first[2] = {shape_large, shape_small};
    const double shape_second[2] = {shape_small, shape_large};
    ElementMatrix k{0.0, 0.0, 0.0};
    for (int g = 0; g < 2; ++g) {
        const double P = shape_first[g];
        const double Q = shape_second[g];
        const double rg = r1 * P + r2 * Q;
        const double kg = ((rg * conductivity) * gauss_weight) / he;
        const double mg = (rg * ce) * gauss_weight;
        k.k11 = (k.k11 + kg) + ((P * P) * mg) / time_step;
        k.k12 = (k.k12 - kg) + ((mg * P) * Q) / time_step;
        k.k22 = ((k.k22 + kg) + ((Q * Q) * mg) / time_step) + surface_term;
    }
    return k;
}

// The radii of an element's two Gauss points, side by side so that the
// vector form of the load reads them with one load.
struct GaussRadii {
    double at_point_1;
    double at_point_2;
};

// What the element load vector needs besides the temperatures; fixed for a
// run.  Indexed 1..50 by element.
struct ElementLoadWeights {
    std::array<double, 51> capacity{};              // ce = he * volumetric_heat_capacity
    std::array<GaussRadii, 51> radius_at_points{};  // rg at the two Gauss points
    std::array<double, 51> surface_term{};          // S = (s * 2) * outer_radius
    // L = ambient_temperature * S for the medium of the first and of the
    // second phase: the product a step would form, formed once.
    std::array<double, 51> surface_load_1{};
    std::array<double, 51> surface_load_2{};
};

// The Gauss-point loads qg of an element from its previous temperatures.
inline double point_1_load(double T1, double T2, double ce, double rg) {
    const double tg = T2 * shape_small + T1 * shape_large;
    return ((tg * ce) * rg) * gauss_weight;
}
inline double point_2_load(double T1, double T2, double ce, double rg) {
    const double tg = T2 * shape_large + T1 * shape_small;
    return ((tg * ce) * rg) * gauss_weight;
}

// F1 of an element: its load on its first node.
inline double first_node_load(double q1, double q2, double dt) {
    const double F1 = (q1 * shape_large) / dt + 0.0;
    return (q2 * shape_small) / dt + F1;
}

// F2 of an element: its load on its second node, L = ambient * S added at
// both points.
inline double second_node_load(double q1, double q2, double dt, double surface_load) {
    const double F2 = ((q1 * shape_small) / dt + 0.0) + surface_load;
    return ((q2 * shape_large) / dt + F2) + surface_load;
}

// Both entries of an element's load vector (F1 on its first node, F2 on its
// second) from its previous temperatures T1, T2.
struct ElementLoad {
    double first_node;
    double second_node;
};

// The operations one at a time: the form for processors without SSE2, and
// the reference the vector form is tested against.
inline ElementLoad element_load_scalar(double T1, double T2, double ce, double rg1, double rg2, double dt,
                                       double surface_load) {
    const double q1 = point_1_load(T1, T2, ce, rg1);
    const double q2 = point_2_load(T1, T2, ce, rg2);
    return {first_node_load(q1, q2, dt), second_node_load(q1, q2, dt, surface_load)};
}

#if defined(__SSE2__)
// The same operations two at a time in SSE2 registers: the two Gauss
// points' temperatures and loads side by side, then the four divisions as
// two packed divisions.  Each lane rounds exactly like the scalar
// operation it stands for.
inline ElementLoad element_load(double T1, double T2, double ce, double rg1, double rg2, double dt,
                                double surface_load) {
    const __m128d t1 = _mm_set1_pd(T1), t2 = _mm_set1_pd(T2);
    const __m128d small_large = _mm_set_pd(shape_large, shape_small);  // lanes {small, large}
    const __m128d large_small = _mm_set_pd(shape_small, shape_large);  // lanes {large, small}
    // tg = T2 * Q + T1 * P at point 1 (lane 0) and point 2 (lane 1).
    const __m128d tg = _mm_add_pd(_mm_mul_pd(t2, small_large), _mm_mul_pd(t1, large_small));
    // qg = ((tg * ce) * rg) * w.
    const __m128d qg =
        _mm_mul_pd(_mm_mul_pd(_mm_mul_pd(tg, _mm_set1_pd(ce)), _mm_set_pd(rg2, rg1)), _mm_set1_pd(gauss_weight));
    const __m128d step = _mm_set1_pd(dt);
    // {(q1 * P1) / dt, (q2 * P2) / dt} for F1 and {(q1 * Q1) / dt, (q2 * Q2) / dt} for F2.
    const __m128d to_first = _mm_div_pd(_mm_mul_pd(qg, large_small), step);
    const __m128d to_second = _mm_div_pd(_mm_mul_pd(qg, small_large), step);
    // F1 = first_2 + (first_1 + 0.0) in lane 0 and
    // F2 = (second_2 + ((second_1 + 0.0) + L)) + L in lane 1; lane 0 adds
    // -0.0 where lane 1 adds L, which leaves every value as it is.
    const __m128d at_point_1 = _mm_unpacklo_pd(to_first, to_second);
    const __m128d at_point_2 = _mm_unpackhi_pd(to_first, to_second);
    const __m128d surface = _mm_set_pd(surface_load, -0.0);
    __m128d sum = _mm_add_pd(_mm_add_pd(at_point_1, _mm_setzero_pd()), surface);
    sum = _mm_add_pd(_mm_add_pd(at_point_2, sum), surface);
    return {_mm_cvtsd_f64(sum), _mm_cvtsd_f64(_mm_unpackhi_pd(sum, sum))};
}
#else
inline ElementLoad element_load(double T1, double T2, double ce, double rg1, double rg2, double dt,
                                double surface_load) {
    return element_load_scalar(T1, T2, ce, rg1, rg2, dt, surface_load);
}
#endif

}  // namespace model
