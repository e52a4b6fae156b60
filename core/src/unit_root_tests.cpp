// The KPSS test of level stationarity (Kwiatkowski, Phillips, Schmidt &
// Shin 1992, eq. (13) and Table 1), and the number of differences it asks
// for. On the T observed values x_1..x_T:
//   e_t = x_t - mean(x);  S_t = e_1 + ... + e_t;
//   s^2(l) = (1/T) sum e_t^2 + (2/T) sum_{s=1..l} w(s, l) sum_{t=s+1..T} e_t e_{t-s},
//            w(s, l) = 1 - s / (l + 1) (Bartlett), l = floor(4 (T/100)^(1/4));
//   eta = sum S_t^2 / (T^2 s^2(l)).
// Large eta rejects level stationarity. The p-value is read off the
// published upper-tail table by linear interpolation and held within its
// ends, 0.01 and 0.10.
#include <array>
#include <cmath>
#include <cstddef>
#include <span>
#include <utility>
#include <vector>

#include "core/arima_identification.h"
#include "differencing_tests.h"

namespace core {

namespace {

// eta_mu's upper-tail critical values, KPSS (1992) Table 1: (statistic, level).
constexpr std::array<std::pair<double, double>, 4> KPSS_TABLE = {
    {{0.347, 0.10}, {0.463, 0.05}, {0.574, 0.025}, {0.739, 0.01}}};

double kpss_p_value(double eta)
{
    if (eta <= KPSS_TABLE.front().first) {
        return KPSS_TABLE.front().second;
    }
    for (std::size_t i = 1; i < KPSS_TABLE.size(); ++i) {
        const auto [x0, p0] = KPSS_TABLE[i - 1];
        const auto [x1, p1] = KPSS_TABLE[i];
        if (eta <= x1) {
            return p0 + (p1 - p0) * (eta - x0) / (x1 - x0);
        }
    }
    return KPSS_TABLE.back().second;
}

}  // namespace

std::vector<double> lag_difference(std::span<const double> x, std::size_t lag)
{
    std::vector<double> z;
    for (std::size_t t = lag; t < x.size(); ++t) {
        z.push_back(x[t] - x[t - lag]);  // NaN when either is
    }
    return z;
}

KpssTest kpss_test(std::span<const double> x)
{
    std::vector<double> e;
    for (const double v : x) {
        if (std::isfinite(v)) {
            e.push_back(v);
        }
    }
    KpssTest test;
    test.observations = e.size();
    if (e.size() < 2) {
        test.statistic = NAN;
        test.p_value = NAN;
        return test;
    }
    const double T = static_cast<double>(e.size());
    double mean = 0.0;
    for (const double v : e) {
        mean += v;
    }
    mean /= T;
    for (double& v : e) {
        v -= mean;
    }
    double S = 0.0;
    double partial_sums = 0.0;  // sum S_t^2
    double s2 = 0.0;
    for (const double v : e) {
        S += v;
        partial_sums += S * S;
        s2 += v * v;
    }
    test.lags = static_cast<int>(std::floor(4.0 * std::pow(T / 100.0, 0.25)));
    const auto l = static_cast<std::size_t>(test.lags);
    for (std::size_t s = 1; s <= l && s < e.size(); ++s) {
        double autocovariance = 0.0;
        for (std::size_t t = s; t < e.size(); ++t) {
            autocovariance += e[t] * e[t - s];
        }
        const double w = 1.0 - static_cast<double>(s) / static_cast<double>(l + 1);
        s2 += 2.0 * w * autocovariance;
    }
    s2 /= T;
    // A constant series has no variation to call a trend; so does one whose
    // long-run variance rounds to nothing.
    test.statistic = s2 > 0.0 ? partial_sums / (T * T * s2) : 0.0;
    test.p_value = kpss_p_value(test.statistic);
    test.rejects = test.p_value < KPSS_LEVEL;
    return test;
}

std::vector<KpssTest> kpss_differences(std::span<const double> x, int max_d)
{
    std::vector<KpssTest> tests;
    std::vector<double> z(x.begin(), x.end());
    while (true) {
        tests.push_back(kpss_test(z));
        if (!tests.back().rejects || static_cast<int>(tests.size()) > max_d) {
            break;
        }
        z = lag_difference(z, 1);
    }
    return tests;
}

}  // namespace core
