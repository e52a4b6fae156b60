// Jones (1980), "Maximum likelihood fitting of ARMA models to time series
// with missing observations", Technometrics 22, section 4: partial
// autocorrelations r_k = tanh(u_k), then the Durbin-Levinson recursion
//   phi_{k,k} = r_k,  phi_{k,j} = phi_{k-1,j} - r_k phi_{k-1,k-j}  (j < k);
// the inverse steps down
//   phi_{k-1,j} = (phi_{k,j} + r_k phi_{k,k-j}) / (1 - r_k^2),  r_k = phi_{k,k}.
#include "stationarity_transform.h"

#include <cmath>

namespace engine {

std::vector<double> ar_from_unconstrained(std::span<const double> u)
{
    const std::size_t p = u.size();
    std::vector<double> phi(p, 0.0);
    for (std::size_t k = 0; k < p; ++k) {
        const double r = std::tanh(u[k]);
        const std::vector<double> previous = phi;
        for (std::size_t j = 0; j < k; ++j)
            phi[j] = previous[j] - r * previous[k - 1 - j];
        phi[k] = r;
    }
    return phi;
}

std::optional<std::vector<double>> partial_autocorrelations(std::span<const double> phi)
{
    const std::size_t p = phi.size();
    std::vector<double> a(phi.begin(), phi.end()), r(p);
    for (std::size_t k = p; k-- > 0;) {
        const double rk = a[k];
        if (!(std::fabs(rk) < 1.0))
            return std::nullopt;  // NaN too
        r[k] = rk;
        const double scale = 1.0 - rk * rk;
        const std::vector<double> previous = a;
        for (std::size_t j = 0; j < k; ++j)
            a[j] = (previous[j] + rk * previous[k - 1 - j]) / scale;
    }
    return r;
}

std::optional<std::vector<double>> unconstrained_from_ar(std::span<const double> phi)
{
    auto r = partial_autocorrelations(phi);
    if (!r)
        return std::nullopt;
    for (double& x : *r)
        x = std::atanh(x);
    return r;
}

std::vector<double> ma_from_unconstrained(std::span<const double> u)
{
    std::vector<double> theta = ar_from_unconstrained(u);
    for (double& x : theta)
        x = -x;
    return theta;
}

std::optional<std::vector<double>> unconstrained_from_ma(std::span<const double> theta)
{
    std::vector<double> flipped(theta.begin(), theta.end());
    for (double& x : flipped)
        x = -x;
    return unconstrained_from_ar(flipped);
}

}  // namespace engine
