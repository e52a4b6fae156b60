// The state-space form of a stationary ARMA(p', q') process
//   y_t = Z alpha_t,   alpha_{t+1} = T alpha_t + R eta_t,   eta_t ~ N(0, Q)
// in the names of Durbin & Koopman (2012, section 3.4): r = max(p', q' + 1),
// Z = (1, 0, ..., 0), T has phi_1..phi_r in its first column and ones on its
// superdiagonal, R = (1, theta_1, ..., theta_{r-1})'. Q = sigma^2 is
// concentrated out of the likelihood, so it is 1 here and every variance is
// in units of sigma^2.
#ifndef ENGINE_STATE_SPACE_H
#define ENGINE_STATE_SPACE_H

#include <cstddef>
#include <span>
#include <vector>

namespace engine {

struct ArmaStateSpace {
    std::size_t r = 1;
    std::vector<double> phi;  // T's first column, zero-padded to r
    std::vector<double> R;    // (1, theta_1, ..., theta_{r-1})
};

// From ar = 1 - phi_1 B - ... and ma = 1 + theta_1 B + ... (multiplied out).
ArmaStateSpace arma_state_space(std::span<const double> ar, std::span<const double> ma);

// out = T x, in O(r): (T x)_i = phi_{i+1} x_0 + x_{i+1}. out may not alias x.
void apply_transition(const ArmaStateSpace& model, std::span<const double> x, std::span<double> out);

}  // namespace engine

#endif
