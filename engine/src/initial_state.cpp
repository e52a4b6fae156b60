// The stationary initial state of an ARMA process from its autocovariances.
#include "initial_state.h"

#include <algorithm>
#include <cmath>

#include "polynomials.h"
#include "stationarity_transform.h"

namespace engine {

namespace {

std::vector<std::size_t> nonzero_lags(std::span<const double> c, std::size_t from)
{
    std::vector<std::size_t> lags;
    for (std::size_t j = from; j < c.size(); ++j)
        if (c[j] != 0.0)
            lags.push_back(j);
    return lags;
}

}  // namespace

// Brockwell & Davis (1991), sections 3.3 and 5.2. For the AR part
// phi~(B) x_t = e_t with partial autocorrelations kappa_k:
//   gamma(0) = 1 / prod (1 - kappa_k^2),  v_0 = gamma(0),
//   gamma(k) = kappa_k v_{k-1} + sum_{j<k} phi_{k-1,j} gamma(k-j),  v_k = v_{k-1}(1 - kappa_k^2),
// with phi_{k,.} from the Durbin-Levinson recursion, and beyond p'
//   gamma(h) = sum_j phi~_j gamma(h-j).
// y_t = ma(B) x_t then has gamma_y(h) = sum_m g_|m| gamma_x(|h - m|),
// g_m = sum_j ma_j ma_{j+m}.
std::optional<std::vector<double>> autocovariances(std::span<const double> ar, std::span<const double> ma,
                                                   std::size_t max_lag)
{
    const std::size_t p = ar.size() - 1, q = ma.size() - 1;
    std::vector<double> phi(p);
    for (std::size_t j = 1; j <= p; ++j)
        phi[j - 1] = -ar[j];
    const auto kappa = partial_autocorrelations(phi);
    if (!kappa)
        return std::nullopt;

    const std::size_t lags = max_lag + q;
    std::vector<double> gx(std::max(lags, p) + 1, 0.0);
    double g0 = 1.0;
    for (double k : *kappa)
        g0 /= 1.0 - k * k;
    if (!std::isfinite(g0))
        return std::nullopt;
    gx[0] = g0;
    std::vector<double> a, previous;  // phi_{k,1..k}
    double v = g0;
    for (std::size_t k = 1; k <= p; ++k) {
        const double kk = (*kappa)[k - 1];
        double g = kk * v;
        for (std::size_t j = 1; j < k; ++j)
            g += a[j - 1] * gx[k - j];
        gx[k] = g;
        previous = a;
        a.resize(k);
        for (std::size_t j = 1; j < k; ++j)
            a[j - 1] = previous[j - 1] - kk * previous[k - 1 - j];
        a[k - 1] = kk;
        v *= 1.0 - kk * kk;
    }
    const auto ar_lags = nonzero_lags(ar, 1);
    for (std::size_t h = p + 1; h < gx.size(); ++h) {
        double g = 0.0;
        for (std::size_t j : ar_lags)
            g -= ar[j] * gx[h - j];
        gx[h] = g;
    }

    std::vector<double> gma(q + 1, 0.0);
    for (std::size_t m = 0; m <= q; ++m)
        for (std::size_t j = 0; j + m <= q; ++j)
            gma[m] += ma[j] * ma[j + m];
    const auto ma_lags = nonzero_lags(gma, 0);
    std::vector<double> gamma(max_lag + 1, 0.0);
    for (std::size_t h = 0; h <= max_lag; ++h) {
        double g = 0.0;
        for (std::size_t m : ma_lags) {
            g += gma[m] * gx[h + m];
            if (m != 0)
                g += gma[m] * gx[h >= m ? h - m : m - h];
        }
        gamma[h] = g;
    }
    return gamma;
}

// alpha_t[i] = sum_{j=i}^{r-1} (phi_{j+1} y_{t-1-(j-i)} + R_j eps_{t-(j-i)}) (unrolling
// the transition), so with Cov(y_t, eps_{t-h}) = psi_h:
//   P_1[i][0] = sum_{j>=i} phi_{j+1} gamma(j+1-i) + R_j psi_{j-i}.
std::optional<std::vector<double>> stationary_first_column(const ArmaStateSpace& model, std::span<const double> ar,
                                                           std::span<const double> ma)
{
    const std::size_t r = model.r;
    const auto gamma = autocovariances(ar, ma, r);
    if (!gamma)
        return std::nullopt;
    std::vector<double> psi = series_quotient(ma, ar, r);
    psi.insert(psi.begin(), 1.0);
    const auto phi_lags = nonzero_lags(model.phi, 0);  // index j holds phi_{j+1}
    const auto R_lags = nonzero_lags(model.R, 0);
    std::vector<double> column(r, 0.0);
    column[0] = (*gamma)[0];
    for (std::size_t i = 1; i < r; ++i) {
        double c = 0.0;
        for (std::size_t j : phi_lags)
            if (j >= i)
                c += model.phi[j] * (*gamma)[j + 1 - i];
        for (std::size_t j : R_lags)
            if (j >= i)
                c += model.R[j] * psi[j - i];
        column[i] = c;
    }
    return column;
}

// Entry by entry, P = T P T' + R R' reads
//   P[i][j] = phi_i phi_j P[0][0] + phi_i P[0][j+1] + phi_j P[i+1][0] + P[i+1][j+1] + R_i R_j
// (phi_i = T[i][0], entries beyond r zero): with the first column known,
// the rest fills from the bottom-right corner up.
std::optional<std::vector<double>> stationary_covariance(const ArmaStateSpace& model, std::span<const double> ar,
                                                         std::span<const double> ma)
{
    const auto column = stationary_first_column(model, ar, ma);
    if (!column)
        return std::nullopt;
    const std::size_t r = model.r;
    const auto& c = *column;
    const auto& phi = model.phi;
    const auto& R = model.R;
    std::vector<double> P(r * r, 0.0);
    auto at = [&](std::size_t i, std::size_t j) -> double& { return P[i * r + j]; };
    for (std::size_t i = 0; i < r; ++i)
        at(i, 0) = at(0, i) = c[i];
    for (std::size_t i = r; i-- > 1;) {
        for (std::size_t j = r; j-- > i;) {
            const double below = (i + 1 < r && j + 1 < r) ? at(i + 1, j + 1) : 0.0;
            const double cj = j + 1 < r ? c[j + 1] : 0.0;
            const double ci = i + 1 < r ? c[i + 1] : 0.0;
            const double value = phi[i] * phi[j] * c[0] + phi[i] * cj + phi[j] * ci + below + R[i] * R[j];
            at(i, j) = at(j, i) = value;
        }
    }
    return P;
}

}  // namespace engine
