// The outlier statistics of intervention analysis on a fitted model's
// residuals: the standard regressors of an innovational, additive,
// level-shift, temporary-change and seasonal level-shift outlier on the
// model's pi weights, the least-squares effect of each and its t statistic.
//
// The model's filter is pi(B) = 1 - pi_1 B - pi_2 B^2 - ..., so that its
// residuals are e_t = pi(B) y_t. An outlier of size w at time T adds w x_t
// to e_t for t >= T, where x is the outlier's shape put through pi(B):
//
//   IO (innovational)      x_T = 1, nothing after
//   AO (additive)          x_T = 1, x_{T+j} = -pi_j
//   LS (level shift)       x_{T+j} = 1 - (pi_1 + ... + pi_j)
//   TC (temporary change)  x_{T+j} = delta^j - sum_{i=1..j} delta^(j-i) pi_i
//   SLS (seasonal level    x_{T+j} = sum over m >= 0, ms <= j, of p_{j-ms},
//        shift, period s)            p_0 = 1, p_i = -pi_i
//
// (pi_j = 0 past the k weights given). The seasonal level shift is a step in
// one season only: the series moves at T, T + s, T + 2s, ..., the seasonal
// counterpart of the level shift's step at every time from T. Regressing
// e_T..e_{n-1} on x gives the effect and its statistic
//
//   w(T)   = sum_t e_t x_t / S(T),   S(T) = sum_t x_t^2,   t = T..n-1,
//   tau(T) = w(T) sqrt(S(T)) / sigma.
//
// x_{T+j} depends on j only, so each type's sequence x_0..x_{n-1} and its
// running sum of squares are formed once: S(T) is the sum over the first
// n - T values, and w(T) = sum_j e_{T+j} x_j / S(T). The TC sequence comes
// from its recurrence x_j = delta x_{j-1} - pi_j, which equals the sum
// above term by term up to rounding, and the SLS sequence from
// x_j = p_j + x_{j-s}.
//
// Past the last weight that can matter (effective_weights) every sequence
// follows a rule of its own: IO and AO are 0, LS constant, TC geometric by
// delta, SLS periodic. The sums over that tail come from running sums of
// the residuals (regressor_correlation.cpp), so a statistic at every time
// costs O(n k) or O(n log n) per type, not O(n^2).
//
// A level shift at the last point has the additive outlier's regressor
// (x_{n-1} = 1 and nothing after), and so has a seasonal level shift at a
// time T > n - 1 - s, whose step never recurs within the series: they are
// left out, effect and statistic NaN.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>

#include "core/numbers.h"
#include "core/outliers.h"
#include "outlier_regressors.h"

namespace core {

namespace outlier_detail {

namespace {

std::string not_finite(const char* name, std::size_t i, double value)
{
    return std::string(name) + "[" + std::to_string(i) + "] is not finite (" + format_shortest(value) + ")";
}

// The median of v, which it reorders; of an even count, the mean of the two
// middle values.
double median(std::span<double> v)
{
    const std::size_t middle = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(middle), v.end());
    const double upper = v[middle];
    if (v.size() % 2 == 1) {
        return upper;
    }
    const double lower = *std::max_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(middle));
    const double sum = lower + upper;
    return std::isinf(sum) ? lower / 2 + upper / 2 : sum / 2;
}

}  // namespace

void check_residuals(std::span<const double> residuals)
{
    if (residuals.empty()) {
        throw OutlierInputError("no residuals (n = 0)");
    }
    for (std::size_t t = 0; t < residuals.size(); ++t) {
        if (!std::isfinite(residuals[t])) {
            throw OutlierInputError(not_finite("residuals", t, residuals[t]) + ": a model's residuals are numbers");
        }
    }
}

void check_weights(std::span<const double> pi)
{
    for (std::size_t j = 0; j < pi.size(); ++j) {
        if (!std::isfinite(pi[j])) {
            throw OutlierInputError(not_finite("pi", j, pi[j]) + " (the weight pi_" + std::to_string(j + 1) + ")");
        }
    }
}

void check_period(std::size_t period)
{
    if (period < 2) {
        throw OutlierInputError("period = " + std::to_string(period) +
                                ": a seasonal level shift needs the seasonal period, at least 2");
    }
}

void check_delta(double delta)
{
    if (!(delta > 0.0 && delta < 1.0)) {
        throw OutlierInputError("delta = " + format_shortest(delta) +
                                " is outside (0, 1): a temporary change decays by the factor delta each step");
    }
}

std::size_t effective_weights(std::span<const double> pi, std::size_t n)
{
    const double tolerance = PI_TAIL_TOLERANCE / static_cast<double>(std::max<std::size_t>(n, 1));
    std::size_t k = std::min(pi.size(), n == 0 ? 0 : n - 1);
    double tail = 0.0;  // sum of |pi_j| for j > k
    while (k > 0 && tail + std::fabs(pi[k - 1]) <= tolerance) {
        tail += std::fabs(pi[k - 1]);
        --k;
    }
    return k;
}

Regressor make_regressor(OutlierType type, std::span<const double> pi, double delta, std::size_t period,
                         std::size_t n)
{
    Regressor r;
    r.type = type;
    r.period = period;
    const std::size_t k = effective_weights(pi, n);
    // x_0..x_k follow the weights; past them the tail's rule holds.
    std::size_t length = k + 1;
    switch (type) {
    case OutlierType::innovational:
        length = 1;
        break;
    case OutlierType::additive:
        break;
    case OutlierType::level_shift:
        r.tail = Regressor::Tail::constant;
        break;
    case OutlierType::temporary_change:
        r.tail = Regressor::Tail::geometric;
        r.ratio = delta;
        break;
    case OutlierType::seasonal_level_shift:
        r.tail = Regressor::Tail::periodic;
        length = std::max(length, period);  // a whole period to repeat
        break;
    }
    length = std::min(length, n);
    r.head.assign(length, 0.0);
    r.head[0] = 1.0;
    double cumulative = 0.0;  // pi_1 + ... + pi_j
    for (std::size_t j = 1; j < length; ++j) {
        const double weight = j <= k ? pi[j - 1] : 0.0;
        switch (type) {
        case OutlierType::innovational:
            break;
        case OutlierType::additive:
            r.head[j] = -weight;
            break;
        case OutlierType::level_shift:
            cumulative += weight;
            r.head[j] = 1.0 - cumulative;
            break;
        case OutlierType::temporary_change:
            r.head[j] = delta * r.head[j - 1] - weight;
            break;
        case OutlierType::seasonal_level_shift:
            r.head[j] = j >= period ? -weight + r.head[j - period] : -weight;
            break;
        }
    }
    std::vector<double> x(n);
    r.values(x);
    r.squares.resize(n);
    double s = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
        s += x[j] * x[j];
        r.squares[j] = s;
    }
    plan_correlation(r, n);
    return r;
}

void Regressor::values(std::span<double> x) const
{
    const std::size_t m = x.size();
    const std::size_t h = std::min(head.size(), m);
    std::copy_n(head.begin(), h, x.begin());
    for (std::size_t j = h; j < m; ++j) {
        switch (tail) {
        case Tail::none:
            x[j] = 0.0;
            break;
        case Tail::constant:
            x[j] = x[j - 1];
            break;
        case Tail::geometric:
            x[j] = ratio * x[j - 1];
            break;
        case Tail::periodic:
            x[j] = x[j - period];
            break;
        }
    }
}

Estimate estimate(const Regressor& regressor, std::size_t n, std::size_t T, double dot, double sigma)
{
    const bool recurs = regressor.type == OutlierType::level_shift             ? T + 1 < n
                        : regressor.type == OutlierType::seasonal_level_shift ? T + regressor.period < n
                                                                              : true;
    if (!recurs) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        return {nan, nan};
    }
    const double S = regressor.sum_of_squares(n - T);
    const double w = dot / S;
    return {w, w * std::sqrt(S) / sigma};
}

double default_sigma(std::span<const double> residuals, std::vector<double>& scratch)
{
    scratch.assign(residuals.begin(), residuals.end());
    const double centre = median(scratch);
    for (std::size_t t = 0; t < residuals.size(); ++t) {
        scratch[t] = std::fabs(residuals[t] - centre);
    }
    return MAD_TO_SIGMA * median(scratch);
}

double default_sigma(std::span<const double> residuals, const std::vector<bool>& left_out,
                     std::vector<double>& scratch)
{
    scratch.clear();
    for (std::size_t t = 0; t < residuals.size(); ++t) {
        if (left_out.empty() || !left_out[t]) {
            scratch.push_back(residuals[t]);
        }
    }
    if (scratch.empty()) {
        return 0.0;
    }
    const double centre = median(scratch);
    for (double& value : scratch) {
        value = std::fabs(value - centre);
    }
    return MAD_TO_SIGMA * median(scratch);
}

}  // namespace outlier_detail

using namespace outlier_detail;

const char* outlier_type_name(OutlierType type)
{
    switch (type) {
    case OutlierType::innovational:
        return "IO";
    case OutlierType::additive:
        return "AO";
    case OutlierType::level_shift:
        return "LS";
    case OutlierType::temporary_change:
        return "TC";
    case OutlierType::seasonal_level_shift:
        break;
    }
    return "SLS";
}

std::optional<OutlierType> outlier_type_of(std::int32_t code)
{
    for (const OutlierType type : OUTLIER_TYPES) {
        if (code == static_cast<std::int32_t>(type)) {
            return type;
        }
    }
    return std::nullopt;
}

std::optional<OutlierType> outlier_type_named(std::string_view name)
{
    for (const OutlierType type : OUTLIER_TYPES) {
        const std::string_view own = outlier_type_name(type);
        if (std::equal(name.begin(), name.end(), own.begin(), own.end(),
                       [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; })) {
            return type;
        }
    }
    return std::nullopt;
}

std::optional<OutlierTypes> OutlierTypes::of_bits(std::int32_t bits)
{
    OutlierTypes set;
    set.bits_ = static_cast<std::uint32_t>(bits);
    std::uint32_t known = 0;
    for (const OutlierType type : OUTLIER_TYPES) {
        known |= static_cast<std::uint32_t>(type);
    }
    if ((set.bits_ & ~known) != 0) {
        return std::nullopt;
    }
    return set;
}

double default_sigma(std::span<const double> residuals)
{
    check_residuals(residuals);
    std::vector<double> scratch;
    return outlier_detail::default_sigma(residuals, scratch);
}

void outlier_statistics(std::span<const double> residuals, std::span<const double> pi, OutlierType type,
                        double delta, std::size_t period, std::optional<double> sigma, std::span<double> effects,
                        std::span<double> statistics)
{
    check_residuals(residuals);
    check_weights(pi);
    if (type == OutlierType::temporary_change) {
        check_delta(delta);
    }
    if (type == OutlierType::seasonal_level_shift) {
        check_period(period);
    }
    const std::size_t n = residuals.size();
    for (const std::span<double> out : {effects, statistics}) {
        if (!out.empty() && out.size() != n) {
            throw OutlierInputError("an output holds " + std::to_string(out.size()) + " values, not n = " +
                                    std::to_string(n));
        }
    }
    double scale = 0.0;
    if (sigma) {
        scale = *sigma;
        if (!(std::isfinite(scale) && scale > 0.0)) {
            throw OutlierInputError("sigma = " + format_shortest(scale) + " is not a finite positive scale");
        }
    } else {
        std::vector<double> scratch;
        scale = outlier_detail::default_sigma(residuals, scratch);
        if (!(std::isfinite(scale) && scale > 0.0)) {
            throw OutlierInputError("the default sigma (" + format_shortest(MAD_TO_SIGMA) +
                                    " times the median absolute deviation of the residuals) is " +
                                    format_shortest(scale) + "; give sigma");
        }
    }
    const Regressor regressor = make_regressor(type, pi, delta, period, n);
    std::vector<double> dot(n);
    correlate(residuals, {&regressor, 1}, {&dot, 1});
    for (std::size_t T = 0; T < n; ++T) {
        const Estimate at = estimate(regressor, n, T, dot[T], scale);
        if (!effects.empty()) {
            effects[T] = at.effect;
        }
        if (!statistics.empty()) {
            statistics[T] = at.statistic;
        }
    }
}

}  // namespace core
