// Conditional-sum-of-squares start values (Box, Jenkins, Reinsel & Ljung
// 2016, section 7.1.2), searched on the stationarity transform's
// unconstrained parameters so that they are stationary and invertible.
#include "start_values.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "polynomials.h"
#include "stationarity_transform.h"
#include "unconstrained_search.h"

namespace engine {

namespace {

// Start values closer to the boundary than this (|partial
// autocorrelation| > tanh 3 = 0.995) are pulled back: the likelihood's
// search does poorly from the edge of the region.
constexpr double kLargestStart = 3.0;

std::vector<std::size_t> lags_of(const Polynomial& c)
{
    std::vector<std::size_t> lags;
    for (std::size_t j = 1; j < c.size(); ++j)
        if (c[j] != 0.0)
            lags.push_back(j);
    return lags;
}

}  // namespace

StartValues css_start_values(std::span<const double> w, const ArimaOrder& order, int max_iterations)
{
    const int parameters = order.p + order.q + order.P + order.Q;
    const auto count = static_cast<std::size_t>(parameters);
    StartValues start;
    start.unconstrained.assign(count, 0.0);
    const int ar_degree = order.p + order.P * order.period;  // at most 5 + 5 * 366
    const auto p_all = static_cast<std::size_t>(ar_degree);
    if (count == 0 || w.size() <= p_all + count)
        return start;

    auto css = [&](const std::vector<double>& u) {
        const auto at = [&](int offset, int length) {
            return std::span<const double>(u).subspan(static_cast<std::size_t>(offset),
                                                      static_cast<std::size_t>(length));
        };
        const Polynomial ar =
            multiply(ar_operator(ar_from_unconstrained(at(0, order.p)), 1),
                     ar_operator(ar_from_unconstrained(at(order.p + order.q, order.P)), order.period));
        const Polynomial ma =
            multiply(ma_operator(ma_from_unconstrained(at(order.p, order.q)), 1),
                     ma_operator(ma_from_unconstrained(at(order.p + order.q + order.P, order.Q)), order.period));
        const auto ar_lags = lags_of(ar), ma_lags = lags_of(ma);
        std::vector<double> e(w.size(), 0.0);
        double sum = 0.0;
        for (std::size_t t = p_all; t < w.size(); ++t) {
            double et = w[t];
            for (std::size_t j : ar_lags)
                et += ar[j] * w[t - j];
            for (std::size_t j : ma_lags) {
                if (j > t)
                    break;
                et -= ma[j] * e[t - j];
            }
            e[t] = et;
            sum += et * et;
        }
        const double used = static_cast<double>(w.size() - p_all);
        return 0.5 * std::log(sum / used);
    };

    const SearchResult found = minimize(css, start.unconstrained, max_iterations, 1e-6);
    start.evaluations = found.evaluations;
    if (!std::isfinite(found.value))
        return start;
    for (std::size_t i = 0; i < count; ++i)
        start.unconstrained[i] = std::clamp(found.x[i], -kLargestStart, kLargestStart);
    return start;
}

}  // namespace engine
