// Fuzzing the C interface's fit, cvhost_fit_arima, and the outlier
// procedure on the same model, cvhost_find_outliers, on any orders, period,
// mean and drift flags, series length, NaN pattern and regressor, degenerate
// series included (constant, one value repeated, a step). The series and the
// message buffer are heap blocks of exactly their size, so ASan stops a read
// or write past their ends.
//
// Input layout (short inputs are padded with zero bytes):
//   0-5   p, d, q, P, D, Q: p and q as b % 7, d as b % 4, P, D, Q as b % 3
//         (one past each range, so that refusals are reached too)
//   6     period: 0 gives 1 (no season), 1 gives 0 (refused), 2 gives 367
//         (refused), else 2 + b % 13 (short periods keep a run within the
//         fuzzer's time limit under the sanitizers)
//   7     flags: bit 0 include_mean set (bit 1 its value), bit 2 a drift,
//         bit 3 one regressor, bit 4 the values are 64-bit patterns rather
//         than single bytes, bit 5 message NULL
//   8     max_iterations, 1 + b % 8; 9 message size
//   10    the series' shape: 0 the values as read, 1 constant, 2 one value
//         repeated then a step, else the values with every b-th missing
//   11    n, the series' length, cut where the model's state would make
//         one input outlast the fuzzer's time limit (see work_budget)
//   12-   the values (a byte b is b / 16 as a signed byte, 0x80 NaN, 0x7F
//         infinity), the series first and then the regressor (cycled)
//
// Checked on every input:
//   - the status is OK or INVALID_ARGUMENT; on INVALID_ARGUMENT the fit is
//     NULL and the message a reason; on OK the message is "";
//   - where the fit succeeds on at most 100 values, the outlier procedure
//     on the same model, with a threshold and types from the header: OK or
//     INVALID_ARGUMENT, a result exactly on success, at least 5 residuals
//     tested, at most a fifth of them outliers, at distinct ascending times
//     that are not missing, of the types asked for, each |t| at or above
//     the threshold, missing values still missing in the adjusted series;
//   - a fit has p + q + P + Q coefficients plus its mean, drift and
//     regressor, n residuals that are NaN where the series is, sigma2 >= 0,
//     AIC = -2 log L + 2 (coefficients + 1), standard errors NaN or >= 0,
//     n - 1 weights (none when the log-likelihood is not finite and sigma2
//     is not 0, which is then not converged), at most max_iterations iterations, and a message
//     when it did not converge.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "cvmodule/cvhost.h"
#include "invariant.h"

namespace {

constexpr std::size_t HEADER_SIZE = 12;

// A likelihood costs about n (m + 8)^2 under the sanitizers, m the state's
// size with the differencing in it (a series with gaps is filtered so), and
// a fit is a few hundred of them: ARIMA(5,2,5)(2,1,2)[14] with gaps on 101
// values took 96 s, and the outlier procedure's refits four times one fit
// (ARMA(2,2) with gaps on 60 values, 7,260 by this measure, 2 s alone and
// past 6 s on a loaded machine). Inputs are held to budgets of that cost,
// so that one input takes seconds, not minutes; larger models and longer
// series are the unit tests' work.
constexpr std::size_t FIT_WORK_BUDGET = 40000;
constexpr std::size_t PROCEDURE_WORK_BUDGET = 4000;

std::size_t state_work(const cvhost_fit_options& o)
{
    const std::size_t s = o.period >= 1 && o.period <= 366 ? static_cast<std::size_t>(o.period) : 1;
    const std::size_t r = std::max<std::size_t>(o.p + o.P * s, o.q + o.Q * s + 1);
    const std::size_t m = r + o.d + o.D * s + 8;
    return m * m;
}

double byte_value(std::uint8_t b)
{
    if (b == 0x80)
        return std::numeric_limits<double>::quiet_NaN();
    if (b == 0x7F)
        return std::numeric_limits<double>::infinity();
    return static_cast<double>(static_cast<std::int8_t>(b)) / 16.0;
}

// Value i of the stream, cycled over the bytes after the header.
struct Values {
    const std::uint8_t* data;
    std::size_t size;
    bool wide;

    double at(std::size_t i) const
    {
        if (size == 0)
            return 0.0;
        if (!wide)
            return byte_value(data[i % size]);
        const std::size_t count = size / 8;
        if (count == 0)
            return byte_value(data[i % size]);
        std::uint64_t bits = 0;
        std::memcpy(&bits, data + (i % count) * 8, 8);
        return std::bit_cast<double>(bits);
    }
};

// The outlier procedure on a model the fit took: a threshold of the input's
// (no module needed), types from the input, two rounds at most.
void check_procedure(const cvhost_fit_options& model, const double* y, const std::uint8_t* h)
{
    cvhost_outlier_options o = CVHOST_OUTLIER_OPTIONS_INIT;
    o.model = model;
    o.types = 1 + h[9] % 31;  // any nonempty set of the five types
    o.critical_value = 2.0 + 0.25 * (h[8] % 8);
    o.max_rounds = 2;
    char message[256];
    cvhost_outliers* found = nullptr;
    const std::int32_t status = cvhost_find_outliers(nullptr, &o, &found, message, sizeof message);
    check(status == CVHOST_STATUS_OK || status == CVHOST_STATUS_INVALID_ARGUMENT,
          "the procedure's status is OK or INVALID_ARGUMENT");
    check((status == CVHOST_STATUS_OK) == (found != nullptr), "a result exactly on success");
    if (found == nullptr) {
        check(message[0] != '\0', "a refusal says why");
        return;
    }
    const std::size_t n = model.n;
    const std::size_t count = cvhost_outliers_count(found);
    const std::size_t tested = cvhost_outliers_tested(found);
    check(tested >= 5 && tested <= n, "at least 5 residuals tested, at most n");
    check(count <= std::max<std::size_t>(1, tested / 5), "at most a fifth of the tested values are outliers");
    const std::size_t* index = cvhost_outliers_index(found);
    const std::int32_t* type = cvhost_outliers_type(found);
    const double* tstat = cvhost_outliers_tstat(found);
    for (std::size_t i = 0; i < count; ++i) {
        check(index[i] < n && (i == 0 || index[i - 1] < index[i]), "outliers at distinct times in order");
        check(!std::isnan(y[index[i]]), "no outlier at a missing value");
        check((type[i] & o.types) == type[i] && type[i] != 0, "an outlier of a type asked for");
        check(std::fabs(tstat[i]) >= o.critical_value, "every outlier kept passes the critical value");
    }
    const double* adjusted = cvhost_outliers_adjusted(found);
    for (std::size_t t = 0; t < n; ++t) {
        check(!std::isnan(y[t]) || std::isnan(adjusted[t]), "a missing value stays missing");
    }
    check(cvhost_fit_coefficient_count(cvhost_outliers_fit(found)) >= count, "the final fit holds the outliers");
    cvhost_outliers_free(found);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::uint8_t h[HEADER_SIZE] = {};
    std::memcpy(h, data, std::min(size, HEADER_SIZE));
    const Values values{size > HEADER_SIZE ? data + HEADER_SIZE : nullptr, size > HEADER_SIZE ? size - HEADER_SIZE : 0,
                        (h[7] & 0x10) != 0};

    cvhost_fit_options o = CVHOST_FIT_OPTIONS_INIT;
    o.p = h[0] % 7, o.d = h[1] % 4, o.q = h[2] % 7;
    o.P = h[3] % 3, o.D = h[4] % 3, o.Q = h[5] % 3;
    o.period = h[6] == 0 ? 1 : h[6] == 1 ? 0 : h[6] == 2 ? 367 : 2 + h[6] % 13;
    const std::size_t work = state_work(o);
    const std::size_t n = std::min<std::size_t>(h[11], FIT_WORK_BUDGET / work);
    auto y = std::make_unique<double[]>(std::max<std::size_t>(n, 1));
    for (std::size_t t = 0; t < n; ++t) {
        switch (h[10]) {
        case 0: y[t] = values.at(t); break;
        case 1: y[t] = values.at(0); break;
        case 2: y[t] = values.at(0) + (t >= n / 2 ? values.at(1) : 0.0); break;
        default: y[t] = t % h[10] == 0 ? std::numeric_limits<double>::quiet_NaN() : values.at(t); break;
        }
    }
    const bool with_regressor = (h[7] & 0x08) != 0;
    auto x = std::make_unique<double[]>(std::max<std::size_t>(n, 1));
    for (std::size_t t = 0; t < n; ++t)
        x[t] = values.at(n + t);
    const char* const names[] = {"x"};

    o.y = y.get();
    o.n = n;
    if ((h[7] & 0x01) != 0)
        o.include_mean = (h[7] & 0x02) != 0 ? 1 : 0;
    o.include_drift = (h[7] & 0x04) != 0 ? 1 : 0;
    o.xreg = with_regressor ? x.get() : nullptr;
    o.xreg_columns = with_regressor ? 1 : 0;
    o.xreg_names = with_regressor ? names : nullptr;
    o.max_iterations = 1 + h[8] % 8;

    const bool no_message = (h[7] & 0x20) != 0;
    const std::size_t message_size = no_message ? 0 : h[9];
    auto message = std::make_unique<char[]>(std::max<std::size_t>(message_size, 1));
    cvhost_fit* fit = nullptr;
    const std::int32_t status = cvhost_fit_arima(&o, &fit, no_message ? nullptr : message.get(), message_size);
    check(status == CVHOST_STATUS_OK || status == CVHOST_STATUS_INVALID_ARGUMENT, "status OK or INVALID_ARGUMENT");
    if (message_size > 0) {
        check(std::memchr(message.get(), '\0', message_size) != nullptr, "the message is NUL-terminated");
        check((status == CVHOST_STATUS_OK) == (message[0] == '\0') || message_size == 1,
              "the message is empty exactly on success");
    }
    if (status != CVHOST_STATUS_OK) {
        check(fit == nullptr, "no fit on a refusal");
        return 0;
    }
    check(fit != nullptr, "a fit on success");

    const std::size_t k = cvhost_fit_coefficient_count(fit);
    const bool mean = o.include_mean == 1 || (o.include_mean == -1 && o.d + o.D == 0);
    const std::size_t expected = static_cast<std::size_t>(o.p + o.q + o.P + o.Q) + (mean ? 1 : 0) +
                                 static_cast<std::size_t>(o.include_drift) + o.xreg_columns;
    check(k == expected, "the coefficients are the model's");
    for (std::size_t i = 0; i < k; ++i)
        check(cvhost_fit_coefficient_name(fit, i) != nullptr, "every coefficient has a name");
    const double* se = cvhost_fit_standard_errors(fit);
    for (std::size_t i = 0; i < k; ++i)
        check(std::isnan(se[i]) || se[i] >= 0.0, "standard errors are NaN or >= 0");
    const double* residuals = cvhost_fit_residuals(fit);
    for (std::size_t t = 0; t < n; ++t)
        check(!std::isnan(y[t]) || std::isnan(residuals[t]), "a missing value has a missing residual");
    check(!(cvhost_fit_sigma2(fit) < 0.0), "sigma2 >= 0");
    const double loglik = cvhost_fit_loglik(fit);
    if (std::isfinite(loglik)) {
        const double aic = -2.0 * loglik + 2.0 * static_cast<double>(k + 1);
        check(cvhost_fit_aic(fit) == aic, "AIC = -2 log L + 2 (k + 1)");
    }
    // A fit without an estimate (an overflow) has no weights; an exact fit
    // (sigma2 0) has them, as every fit with one does.
    const bool estimated = std::isfinite(loglik) || cvhost_fit_sigma2(fit) == 0.0;
    check(cvhost_fit_weight_count(fit) == (estimated ? n - 1 : 0), "n - 1 weights with an estimate");
    check(std::isfinite(loglik) || cvhost_fit_converged(fit) == 0, "a fit without a likelihood did not converge");
    check(cvhost_fit_iterations(fit) <= o.max_iterations, "at most max_iterations iterations");
    check(cvhost_fit_converged(fit) == 1 || cvhost_fit_message(fit)[0] != '\0',
          "a fit that did not converge says why");
    cvhost_fit_free(fit);
    // Longer series with a fifth of their values outliers take seconds
    // under the sanitizers (each refit's standard errors cost the square of
    // the regressors), past the fuzzer's time limit.
    if (n <= 100 && n * work <= PROCEDURE_WORK_BUDGET)
        check_procedure(o, y.get(), h);
    return 0;
}
