// Polynomials in the backshift operator B, held as their coefficients
// c[0] + c[1] B + c[2] B^2 + ..., and the series expansions of their
// quotients that give the model's pi and psi weights (Box, Jenkins, Reinsel
// & Ljung 2016, sections 4.2.1 and 4.2.3).
#ifndef ENGINE_POLYNOMIALS_H
#define ENGINE_POLYNOMIALS_H

#include <cstddef>
#include <span>
#include <vector>

namespace engine {

using Polynomial = std::vector<double>;

// a(B) b(B).
Polynomial multiply(std::span<const double> a, std::span<const double> b);

// 1 - phi_1 B^spacing - ... - phi_p B^(p spacing): an autoregressive operator,
// phi(B) with spacing 1, Phi(B^s) with spacing s.
Polynomial ar_operator(std::span<const double> phi, int spacing);

// 1 + theta_1 B^spacing + ... + theta_q B^(q spacing): a moving-average operator.
Polynomial ma_operator(std::span<const double> theta, int spacing);

// (1 - B)^d (1 - B^s)^D.
Polynomial differencing_operator(int d, int D, int period);

// c(B) x_t for t = k..n-1 (k = deg c): the n - k values where every lag
// exists. NaN in x makes NaN where it enters.
std::vector<double> apply_operator(std::span<const double> c, std::span<const double> x);

// h_1..h_k of the power series h(B) = num(B) / den(B), den[0] = 1 and
// num[0] = 1 (so h_0 = 1).
std::vector<double> series_quotient(std::span<const double> num, std::span<const double> den, std::size_t k);

// The whole model's weights, with ar = phi(B)Phi(B^s), diff = (1-B)^d(1-B^s)^D
// and ma = theta(B)Theta(B^s):
//   pi:  e_t = y_t - sum_j pi_j y_{t-j},  1 - sum pi_j B^j = ar diff / ma
//   psi: y_t = e_t + sum_j psi_j e_{t-j},  1 + sum psi_j B^j = ma / (ar diff)
std::vector<double> pi_weights(std::span<const double> ar, std::span<const double> diff, std::span<const double> ma,
                               std::size_t k);
std::vector<double> psi_weights(std::span<const double> ar, std::span<const double> diff, std::span<const double> ma,
                                std::size_t k);

}  // namespace engine

#endif
