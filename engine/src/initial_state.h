// The stationary initial state of an ARMA process: a_1 = 0 and P_1 the
// solution of P = T P T' + R R' (in units of sigma^2). P_1 is built from the
// process's autocovariances and psi weights in O(r^2) (its first column in
// O(r p')), not by solving the r^2 linear equations of the Lyapunov equation
// (Gardner, Harvey & Phillips 1980), which would cost O(r^6) and rule out
// seasonal periods in the hundreds.
#ifndef ENGINE_INITIAL_STATE_H
#define ENGINE_INITIAL_STATE_H

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "state_space.h"

namespace engine {

// gamma(0..max_lag) of ar(B) y_t = ma(B) e_t with Var e_t = 1 (Brockwell &
// Davis 1991, section 3.3): the pure AR part's autocovariances by the
// Durbin-Levinson recursion from its partial autocorrelations, then the MA
// filter applied to them. Empty when ar is not stationary.
std::optional<std::vector<double>> autocovariances(std::span<const double> ar, std::span<const double> ma,
                                                   std::size_t max_lag);

// P_1's first column, Cov(alpha_1, y_1): all the complete-data filter needs.
std::optional<std::vector<double>> stationary_first_column(const ArmaStateSpace& model, std::span<const double> ar,
                                                           std::span<const double> ma);

// P_1 in full, r x r row-major.
std::optional<std::vector<double>> stationary_covariance(const ArmaStateSpace& model, std::span<const double> ar,
                                                         std::span<const double> ma);

}  // namespace engine

#endif
