// Products and series quotients of backshift polynomials.
#include "polynomials.h"

#include <algorithm>

namespace engine {

Polynomial multiply(std::span<const double> a, std::span<const double> b)
{
    if (a.empty() || b.empty())
        return {};
    Polynomial c(a.size() + b.size() - 1, 0.0);
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == 0.0)
            continue;  // seasonal operators are mostly zeros
        for (std::size_t j = 0; j < b.size(); ++j)
            c[i + j] += a[i] * b[j];
    }
    return c;
}

namespace {

// 1 + sign (c_1 B^spacing + c_2 B^(2 spacing) + ...)
Polynomial lag_operator(std::span<const double> c, int spacing, double sign)
{
    const auto s = static_cast<std::size_t>(spacing);
    Polynomial p(c.size() * s + 1, 0.0);
    p[0] = 1.0;
    for (std::size_t j = 0; j < c.size(); ++j)
        p[(j + 1) * s] = sign * c[j];
    return p;
}

}  // namespace

Polynomial ar_operator(std::span<const double> phi, int spacing)
{
    return lag_operator(phi, spacing, -1.0);
}

Polynomial ma_operator(std::span<const double> theta, int spacing)
{
    return lag_operator(theta, spacing, 1.0);
}

Polynomial differencing_operator(int d, int D, int period)
{
    Polynomial c{1.0};
    const Polynomial first{1.0, -1.0};
    for (int i = 0; i < d; ++i)
        c = multiply(c, first);
    if (D > 0) {
        Polynomial seasonal(static_cast<std::size_t>(period) + 1, 0.0);
        seasonal.front() = 1.0;
        seasonal.back() = -1.0;
        for (int i = 0; i < D; ++i)
            c = multiply(c, seasonal);
    }
    return c;
}

std::vector<double> apply_operator(std::span<const double> c, std::span<const double> x)
{
    const std::size_t k = c.size() - 1;
    if (x.size() <= k)
        return {};
    std::vector<double> out(x.size() - k);
    for (std::size_t t = k; t < x.size(); ++t) {
        double sum = 0.0;
        for (std::size_t j = 0; j <= k; ++j)
            if (c[j] != 0.0)
                sum += c[j] * x[t - j];
        out[t - k] = sum;
    }
    return out;
}

// Equating coefficients of den(B) h(B) = num(B):
//   h_j = num_j - sum_{i=1}^{min(j, deg den)} den_i h_{j-i},  h_0 = 1.
std::vector<double> series_quotient(std::span<const double> num, std::span<const double> den, std::size_t k)
{
    std::vector<double> h(k + 1, 0.0);
    h[0] = 1.0;
    std::vector<std::size_t> terms;  // den's nonzero lags
    for (std::size_t i = 1; i < den.size(); ++i)
        if (den[i] != 0.0)
            terms.push_back(i);
    for (std::size_t j = 1; j <= k; ++j) {
        double hj = j < num.size() ? num[j] : 0.0;
        for (std::size_t i : terms) {
            if (i > j)
                break;
            hj -= den[i] * h[j - i];
        }
        h[j] = hj;
    }
    h.erase(h.begin());
    return h;
}

std::vector<double> pi_weights(std::span<const double> ar, std::span<const double> diff, std::span<const double> ma,
                               std::size_t k)
{
    std::vector<double> pi = series_quotient(multiply(ar, diff), ma, k);
    for (double& w : pi)
        w = -w;
    return pi;
}

std::vector<double> psi_weights(std::span<const double> ar, std::span<const double> diff, std::span<const double> ma,
                                std::size_t k)
{
    return series_quotient(ma, multiply(ar, diff), k);
}

}  // namespace engine
