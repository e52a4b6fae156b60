// The map between unconstrained numbers and the coefficients of a
// stationary autoregressive operator 1 - phi_1 B - ... - phi_p B^p (Jones
// 1980): each number becomes a partial autocorrelation in (-1, 1) through
// tanh, and the Durbin-Levinson recursion turns those into phi. Every real
// vector maps to a stationary operator and every stationary operator has
// one preimage, so the optimiser searches without constraints.
//
// A moving-average operator 1 + theta_1 B + ... is invertible exactly when
// the autoregressive operator with phi = -theta is stationary; the ma_
// functions apply the same map to that sign-flipped polynomial.
#ifndef ENGINE_STATIONARITY_TRANSFORM_H
#define ENGINE_STATIONARITY_TRANSFORM_H

#include <optional>
#include <span>
#include <vector>

namespace engine {

std::vector<double> ar_from_unconstrained(std::span<const double> u);
// Empty optional when phi is not strictly stationary.
std::optional<std::vector<double>> unconstrained_from_ar(std::span<const double> phi);

std::vector<double> ma_from_unconstrained(std::span<const double> u);
std::optional<std::vector<double>> unconstrained_from_ma(std::span<const double> theta);

// The partial autocorrelations of phi by the step-down (reverse
// Durbin-Levinson) recursion; empty when one of them reaches +-1.
std::optional<std::vector<double>> partial_autocorrelations(std::span<const double> phi);

}  // namespace engine

#endif
