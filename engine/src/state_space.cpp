// The ARMA state-space form of Durbin & Koopman (2012), section 3.4.
#include "state_space.h"

#include <algorithm>

namespace engine {

ArmaStateSpace arma_state_space(std::span<const double> ar, std::span<const double> ma)
{
    const std::size_t p = ar.empty() ? 0 : ar.size() - 1;
    const std::size_t q = ma.empty() ? 0 : ma.size() - 1;
    ArmaStateSpace model;
    model.r = std::max(p, q + 1);
    model.phi.assign(model.r, 0.0);
    model.R.assign(model.r, 0.0);
    for (std::size_t j = 1; j <= p; ++j)
        model.phi[j - 1] = -ar[j];
    model.R[0] = 1.0;
    for (std::size_t j = 1; j <= q; ++j)
        model.R[j] = ma[j];
    return model;
}

void apply_transition(const ArmaStateSpace& model, std::span<const double> x, std::span<double> out)
{
    const std::size_t r = model.r;
    const double x0 = x[0];
    for (std::size_t i = 0; i + 1 < r; ++i)
        out[i] = model.phi[i] * x0 + x[i + 1];
    out[r - 1] = model.phi[r - 1] * x0;
}

}  // namespace engine
