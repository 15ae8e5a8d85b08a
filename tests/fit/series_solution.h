// The exact solution of convective cooling of an infinite solid cylinder,
// for curves that do not come from the model:
//
//   theta / theta0 = sum_n A_n J0(z_n r / R) exp(-z_n^2 Fo),
//   A_n = 2 J1(z_n) / (z_n (J0(z_n)^2 + J1(z_n)^2)),  z J1(z) = Bi J0(z),
//   Bi = h R / k,  Fo = a t / R^2.
#pragma once

#include <vector>

// The first `count` roots z_n of z J1(z) = Bi J0(z).
std::vector<double> eigenvalues(double biot, int count);

// theta / theta0 at r / R = `radius_ratio` and Fourier number `fourier`.
double exact_ratio(const std::vector<double>& roots, double radius_ratio, double fourier);
